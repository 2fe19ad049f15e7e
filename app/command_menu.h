#pragma once
// A menu whose items may carry a caption or hint of their own and run a command's
// action. Such an item is an action of its own but holds no key: the key stays with
// the command's one action (two actions on one key make Qt ignore the key), and the
// menu shows it beside the item's caption, where a screen reader does not read it as
// part of the name.

#include <QAction>
#include <QHash>
#include <QKeySequence>
#include <QMenu>
#include <QStyleOptionMenuItem>

namespace luckyscope {

class CommandMenu final : public QMenu {
 public:
  using QMenu::QMenu;

  // Adds an item that runs `command` and shows its key.
  void AddItemOf(QAction* item, QAction* command) {
    runs_.insert(item, command);
    connect(item, &QAction::triggered, command, &QAction::trigger);
    addAction(item);
  }

 protected:
  void initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const override {
    QMenu::initStyleOption(option, action);
    const QAction* command = runs_.value(action);
    if (command == nullptr || command->shortcut().isEmpty() || option->text.contains(QLatin1Char('\t'))) return;
    option->text += QLatin1Char('\t') + command->shortcut().toString(QKeySequence::NativeText);
  }

 private:
  QHash<const QAction*, QAction*> runs_;
};

}  // namespace luckyscope

// What a screen reader finds: every window's accessibility tree, walked through Qt's
// accessibility interfaces as the AT-SPI bridge walks it, holds no interactive control
// without a name, no two buttons of one window with the same name, no menu item with
// its shortcut inside its name, and no unnamed part of the tool bar or the splitter.

#include <algorithm>
#include <map>
#include <set>

#include <QAccessible>
#include <QAction>
#include <QDialog>
#include <QKeySequence>
#include <QMenu>
#include <QShortcut>
#include <gtest/gtest.h>

#include "app/sdi_app_form.h"
#include "tests/support/main_window_harness.h"
#include "ui/report_list.h"

namespace luckyscope {
namespace {

using testing::MainWindowHarness;

bool Interactive(QAccessible::Role role) {
  static const std::set<QAccessible::Role> roles = {
      QAccessible::PushButton,     QAccessible::CheckBox, QAccessible::RadioButton, QAccessible::ComboBox,
      QAccessible::EditableText,   QAccessible::SpinBox,  QAccessible::Slider,      QAccessible::List,
      QAccessible::Table,          QAccessible::Tree,     QAccessible::MenuItem,    QAccessible::ButtonMenu,
      QAccessible::ButtonDropDown, QAccessible::PageTab,  QAccessible::Link,        QAccessible::Grip,
      QAccessible::MenuBar,        QAccessible::ToolBar,  QAccessible::Splitter};
  return roles.count(role) != 0;
}

bool HoldsRows(QAccessible::Role role) {
  return role == QAccessible::List || role == QAccessible::Table || role == QAccessible::Tree;
}

class AccessibilityWalk {
 public:
  void Walk(QAccessibleInterface* node, const QString& path, bool parentIsBar = false) {
    if (node == nullptr || !node->isValid()) return;
    const QAccessible::Role role = node->role();
    const QString name = node->text(QAccessible::Name).trimmed();
    const QString here =
        path + QLatin1Char('/') +
        (node->object() != nullptr && !node->object()->objectName().isEmpty() ? node->object()->objectName()
                                                                              : QString::number(role, 16));
    // A name of glyphs alone ("<", ">") tells a listener nothing.
    const bool named = std::any_of(name.begin(), name.end(), [](QChar ch) { return ch.isLetterOrNumber(); });
    if ((Interactive(role) || (parentIsBar && role != QAccessible::Separator)) && !named) {
      unnamed.append(here);
    }
    if (role == QAccessible::MenuItem) {
      const QString shortcut = node->text(QAccessible::Accelerator);
      if (name.contains(QLatin1Char('\t')) || (!shortcut.isEmpty() && name.contains(shortcut))) {
        shortcutInName.append(here + QStringLiteral(" \"") + name + QLatin1Char('"'));
      }
    }
    if (role == QAccessible::PushButton && !name.isEmpty() && !buttonNames.insert(name).second) {
      sameName.append(here + QStringLiteral(" \"") + name + QLatin1Char('"'));
    }
    ++visited;
    if (HoldsRows(role)) return;  // the rows name themselves by their texts
    const bool bar = role == QAccessible::ToolBar || role == QAccessible::Splitter;
    for (int i = 0; i < node->childCount(); ++i) Walk(node->child(i), here, bar);
  }

  QStringList unnamed;
  QStringList shortcutInName;
  QStringList sameName;
  std::set<QString> buttonNames;
  int visited = 0;
};

class AccessibilityTest : public MainWindowHarness {};

TEST_F(AccessibilityTest, EveryControlOfEveryWindowHasAName) {
  const TSDIAppForm::Dialogs& dialogs = form_->GetDialogs();
  QList<QWidget*> windows = {form_, form_->PopupMenu1()};
  for (const TSDIAppForm::DialogSlot* slot : {&dialogs.aboutBox, &dialogs.schEdit, &dialogs.atrEdit, &dialogs.sysEdit,
                                              &dialogs.esyCheck, &dialogs.cntCheck, &dialogs.importDlg}) {
    windows.append(slot->Get());
  }
  for (QWidget* window : windows) {
    ASSERT_NE(window, nullptr);
    SCOPED_TRACE(window->objectName().toStdString());
    AccessibilityWalk walk;
    walk.Walk(QAccessible::queryAccessibleInterface(window), QString());
    EXPECT_GE(walk.visited, 3);
    EXPECT_TRUE(walk.unnamed.isEmpty()) << walk.unnamed.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(walk.shortcutInName.isEmpty()) << walk.shortcutInName.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(walk.sameName.isEmpty()) << walk.sameName.join(QLatin1Char('\n')).toStdString();
  }
  // Hints are the descriptions.
  QAccessibleInterface* list = QAccessible::queryAccessibleInterface(form_->ListView2());
  EXPECT_EQ(list->text(QAccessible::Description), QStringLiteral("検索対象データです[DELキーで削除できます]"));
}

// One key, one command: a key held by two actions or shortcuts of one window (menus
// and the right-click menu count as the window's) does nothing at all in Qt.
TEST_F(AccessibilityTest, NoWindowHoldsAKeyTwice) {
  const TSDIAppForm::Dialogs& dialogs = form_->GetDialogs();
  for (const TSDIAppForm::DialogSlot* slot : {&dialogs.aboutBox, &dialogs.schEdit, &dialogs.atrEdit, &dialogs.sysEdit,
                                              &dialogs.esyCheck, &dialogs.cntCheck, &dialogs.importDlg,
                                              static_cast<const TSDIAppForm::DialogSlot*>(nullptr)}) {
    QWidget* window = slot != nullptr ? static_cast<QWidget*>(slot->Get()) : form_;
    ASSERT_NE(window, nullptr);
    SCOPED_TRACE(window->objectName().toStdString());
    std::map<QString, QStringList> holders;
    for (const QAction* action : window->findChildren<QAction*>()) {
      for (const QKeySequence& key : action->shortcuts()) holders[key.toString()] << action->objectName();
    }
    for (const QShortcut* shortcut : window->findChildren<QShortcut*>()) {
      for (const QKeySequence& key : shortcut->keys()) holders[key.toString()] << shortcut->objectName();
    }
    EXPECT_GE(holders.size(), slot == nullptr ? 10u : 0u);
    for (const auto& [key, names] : holders) {
      EXPECT_EQ(names.size(), 1) << key.toStdString() << ": " << names.join(QLatin1Char(' ')).toStdString();
    }
  }
}

}  // namespace
}  // namespace luckyscope

#pragma once
// Helpers for driving the editing dialogs as a user would: shown as the active window,
// typed into with key events, buttons found by their control names.

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QString>
#include <QTest>
#include <gtest/gtest.h>

#include "core/data_core.h"
#include "tests/support/store_builders.h"
#include "tests/support/test_application.h"
#include "ui/byte_line_edit.h"
#include "ui/cp932_codec.h"

namespace luckyscope::testing {

// Shows the dialog (its activation runs) and makes it the active window, so that the
// keyboard focus lands where the dialog puts it, offscreen too.
inline void ShowActive(QDialog& dialog) {
  dialog.show();
  QApplication::setActiveWindow(&dialog);
  QCoreApplication::processEvents();
}

inline QWidget* Focused() { return QApplication::focusWidget(); }

// One key to the focused widget.
inline void PressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QWidget* target = Focused();
  ASSERT_NE(target, nullptr) << "no widget has the focus";
  QTest::keyClick(target, key, modifiers);
}

// Typed text, one key event per character carrying it (Japanese included).
inline void TypeText(const QString& text) {
  for (const QChar ch : text) {
    QWidget* target = Focused();
    ASSERT_NE(target, nullptr) << "no widget has the focus";
    QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(ch), Qt::NoModifier);
  }
}

template <typename T>
T* Control(QWidget& dialog, const char* name) {
  T* found = dialog.findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(found, nullptr) << "no control " << name;
  return found;
}

inline ByteLineEdit* Box(QWidget& dialog, const char* name) { return Control<ByteLineEdit>(dialog, name); }

inline QString Shown(QWidget& dialog, const char* name) { return Box(dialog, name)->text(); }

// Replaces a box's text the way a user would: select all, type over it.
inline void Retype(QWidget& dialog, const char* name, const QString& text) {
  ByteLineEdit* box = Box(dialog, name);
  box->setFocus(Qt::MouseFocusReason);
  box->selectAll();
  if (text.isEmpty()) {
    QTest::keyClick(box, Qt::Key_Delete);
  } else {
    TypeText(text);
  }
}

inline void Click(QWidget& dialog, const char* name) {
  QPushButton* button = Control<QPushButton>(dialog, name);
  button->setFocus(Qt::MouseFocusReason);  // a click takes the focus first
  QTest::mouseClick(button, Qt::LeftButton);
}

// A data core with empty tables and settings, as after start-up.
inline std::unique_ptr<DataCore> NewCore() {
  auto core = std::make_unique<DataCore>();
  core->ResetAll();
  return core;
}

// Tickets 1..count named "t<k>", group "<k mod 100>", number "<100000+k>"; the table
// is then as after loading a file (no unsaved changes).
inline void FillTargets(LotteryStore& store, int count) {
  for (int k = 1; k <= count; ++k) {
    store.PutTarget(k, Target("t" + std::to_string(k), std::to_string(k % 100), std::to_string(100000 + k)));
  }
  store.SetTargetCount(count);
  store.SetTargetsChanged(0);
}

inline std::string NameOf(const LotteryStore& store, int regNo) {
  SearchTarget t{};
  if (store.GetTarget(0, regNo, t) != 0) return "<none>";
  return t.name;
}

// The store's bytes, for "left exactly as it was".
inline std::vector<unsigned char> Snapshot(const LotteryStore& store) {
  std::vector<unsigned char> bytes(sizeof store);
  std::memcpy(bytes.data(), &store, sizeof store);
  return bytes;
}

}  // namespace luckyscope::testing

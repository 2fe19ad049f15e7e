#pragma once
// Shared by the easy check and count check tests: a data core in a temporary folder,
// and typing at whatever has the focus; the store builders fill the tables.

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include "core/data_core.h"
#include "tests/support/cp932_text.h"
#include "tests/support/store_builders.h"
#include "tests/support/test_application.h"
#include "ui/cp932_codec.h"

// Readable QStrings in failure messages.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace luckyscope::testing {

// Types ASCII text key by key into the widget that has the focus at each key, as a
// user at the keyboard does.
inline void Type(const char* text) {
  for (const char* p = text; *p != '\0'; ++p) {
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr) << "no focus for key " << *p;
    QTest::keyClick(focus, *p);
  }
}

inline void Press(Qt::Key key) {
  QWidget* focus = QApplication::focusWidget();
  ASSERT_NE(focus, nullptr);
  QTest::keyClick(focus, key);
}

inline QString FocusName() {
  QWidget* focus = QApplication::focusWidget();
  return focus != nullptr ? focus->objectName() : QString();
}

// Shows a window and makes it the active one, so that it gets the keyboard focus
// offscreen.
inline void ShowActive(QWidget& window) {
  window.show();
  QApplication::setActiveWindow(&window);
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

}  // namespace luckyscope::testing

#pragma once
// The one QApplication of a test program, made on first use (tests run with
// QT_QPA_PLATFORM=offscreen).

class QApplication;

namespace luckyscope {

QApplication& TestApplication();

// A fixture's first member: the application exists before any widget member is made.
struct ApplicationFirst {
  ApplicationFirst() { TestApplication(); }
};

}  // namespace luckyscope

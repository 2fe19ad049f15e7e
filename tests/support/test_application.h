#pragma once
// The one QApplication of a test program, made on first use (tests run with
// QT_QPA_PLATFORM=offscreen).

class QApplication;

namespace luckyscope {

QApplication& TestApplication();

}  // namespace luckyscope

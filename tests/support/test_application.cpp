#include "tests/support/test_application.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace luckyscope {
namespace {

QApplication* application = nullptr;

// The application goes when the tests are done, before the exit-time statics: torn
// down among them it would outlive the input devices that QTest registered and crash,
// and never torn down it would leave the font caches for the leak checker to report.
class ApplicationEnvironment final : public ::testing::Environment {
 public:
  void TearDown() override {
    delete application;
    application = nullptr;
  }
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

}  // namespace

QApplication& TestApplication() {
  if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) return *existing;
  // The windows keep their layout and recent files in the user's configuration
  // folder: the tests get one of their own, never the user's.
  static QTemporaryDir config(QDir::tempPath() + QStringLiteral("/luckyscope-config-XXXXXX"));
  qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
  static QTemporaryDir state(QDir::tempPath() + QStringLiteral("/luckyscope-state-XXXXXX"));
  qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
  static int argc = 1;
  static char name[] = "luckyscope-test";
  static char* argv[] = {name, nullptr};
  application = new QApplication(argc, argv);
  return *application;
}

}  // namespace luckyscope

#include "app/application.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

namespace luckyscope {
namespace {

const char* gNoDisplayHint = nullptr;
QtMessageHandler gPreviousHandler = nullptr;
bool gApplicationReady = false;

// Qt ends with a fatal message when no platform plugin can open a display; before the
// application exists every fatal message is that one.
void StartupMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtFatalMsg && !gApplicationReady) {
    std::fprintf(stderr, "%s\n", gNoDisplayHint != nullptr ? gNoDisplayHint : "cannot open a display");
    std::fflush(stderr);
    std::_Exit(kNoDisplayExitCode);
  }
  if (gPreviousHandler != nullptr) {
    gPreviousHandler(type, context, message);
  } else {
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
  }
}

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0';
}

}  // namespace

bool DisplayConfigured() { return IsSet("QT_QPA_PLATFORM") || IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY"); }

void ExitCleanlyWithoutDisplay(const char* hint) {
  gNoDisplayHint = hint;
  gPreviousHandler = qInstallMessageHandler(StartupMessageHandler);
}

LuckyScopeApplication::LuckyScopeApplication(int& argc, char** argv) : QApplication(argc, argv) {
  // The display is open: Qt's own message handling takes over again.
  gApplicationReady = true;
  if (gNoDisplayHint != nullptr) qInstallMessageHandler(gPreviousHandler);
}

LuckyScopeApplication::~LuckyScopeApplication() { gApplicationReady = false; }

bool LuckyScopeApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    if (display_) display_(QString::fromLocal8Bit(error.what()));
  } catch (...) {
    if (display_) display_(QStringLiteral("unknown error"));
  }
  return false;
}

}  // namespace luckyscope

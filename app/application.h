#pragma once
// The program's QApplication: errors that escape an event handler are shown in a
// message box instead of tearing the program down, and a desktop that cannot be
// reached ends the program with a plain explanation instead of a crash.

#include <functional>

#include <QApplication>

namespace luckyscope {

// Whether Qt can be expected to find a display: a platform was named
// (QT_QPA_PLATFORM), or DISPLAY or WAYLAND_DISPLAY is set.
bool DisplayConfigured();

// Exit code of a program that found no display.
inline constexpr int kNoDisplayExitCode = 2;

// Makes a failure of Qt to open the display print `hint` and end the process with
// kNoDisplayExitCode instead of aborting. Call before the application is built; it
// stays in force until the application exists.
void ExitCleanlyWithoutDisplay(const char* hint);

class LuckyScopeApplication : public QApplication {
 public:
  LuckyScopeApplication(int& argc, char** argv);
  ~LuckyScopeApplication() override;

  // Shows the text of an exception that reached the event loop.
  using ErrorDisplay = std::function<void(const QString& text)>;
  void SetErrorDisplay(ErrorDisplay display) { display_ = std::move(display); }

  bool notify(QObject* receiver, QEvent* event) override;

 private:
  ErrorDisplay display_;
};

}  // namespace luckyscope

#pragma once
// A private X server (Xvfb) for tests that run the real program and drive it from
// outside with xdotool, the way a user's keyboard would. Every wait is bounded; the
// server ends with the object. Tests skip when Xvfb or xdotool is missing.

#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QThread>

namespace luckyscope::testing {

class XSession {
 public:
  XSession() {
    xvfb_ = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    xdotool_ = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    import_ = QStandardPaths::findExecutable(QStringLiteral("import"));
  }
  ~XSession() {
    if (server_.state() == QProcess::NotRunning) return;
    server_.terminate();
    if (!server_.waitForFinished(5000)) {
      server_.kill();
      server_.waitForFinished(5000);
    }
  }
  XSession(const XSession&) = delete;
  XSession& operator=(const XSession&) = delete;

  // Empty when the tools are there; otherwise what is missing.
  QString Missing() const {
    if (xvfb_.isEmpty()) return QStringLiteral("Xvfb is not installed");
    if (xdotool_.isEmpty()) return QStringLiteral("xdotool is not installed");
    return {};
  }

  // Starts the server on a display it picks itself; false (with the server's words in
  // Error()) when it does not come up.
  bool Start(const QString& screen = QStringLiteral("1280x800x24")) {
    server_.setProgram(xvfb_);
    // -noreset: by default the server resets when its last client goes, and a program
    // started in that moment cannot connect (seen when the only copy was killed).
    server_.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                          QStringLiteral("0"), screen, QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                          QStringLiteral("-noreset")});
    server_.start();
    if (!server_.waitForStarted(5000)) return false;
    QByteArray number;
    QElapsedTimer clock;
    clock.start();
    while (!number.contains('\n') && clock.elapsed() < 20000 && server_.state() == QProcess::Running) {
      server_.waitForReadyRead(500);
      number += server_.readAllStandardOutput();
    }
    number = number.trimmed();
    if (number.isEmpty()) return false;
    display_ = QStringLiteral(":") + QString::fromLatin1(number);
    return true;
  }
  QString Error() { return QString::fromLocal8Bit(server_.readAllStandardError()); }
  const QString& Display() const { return display_; }

  // The environment for the program: this display, the X11 platform, and a runtime
  // folder of its own (where the single-instance lock lives, and the user state).
  QProcessEnvironment ProgramEnvironment(const QString& runtimeFolder) const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("DISPLAY"), display_);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder);
    // The layout and the recent files go to a configuration folder of the test's own.
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), runtimeFolder + QStringLiteral("/config"));
    // In a sanitizer build, what the desktop libraries keep until exit would change the
    // exit codes that the tests read.
    if (env.contains(QStringLiteral("ASAN_OPTIONS"))) {
      env.insert(QStringLiteral("ASAN_OPTIONS"),
                 env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
    }
    return env;
  }

  // Runs xdotool; its output in `out` when given.
  bool Xdotool(const QStringList& args, QString* out = nullptr) const {
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display_);
    run.setProcessEnvironment(env);
    run.start(xdotool_, args);
    const bool ok = run.waitForFinished(10000) && run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0;
    if (out != nullptr) *out = QString::fromUtf8(run.readAllStandardOutput()).trimmed();
    return ok;
  }

  // Visible windows whose names match the pattern, waiting up to `ms` for at least
  // `count` of them.
  QStringList Windows(const QString& pattern, int ms = 0, int count = 1) const {
    QElapsedTimer clock;
    clock.start();
    QStringList found;
    for (;;) {
      QString out;
      Xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), pattern}, &out);
      found = out.isEmpty() ? QStringList() : out.split(u'\n');
      if (found.size() >= count || clock.elapsed() >= ms) return found;
      QThread::msleep(100);
    }
  }
  // Visible windows of a process.
  QStringList WindowsOf(qint64 pid) const {
    QString out;
    Xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"), QString::number(pid)},
            &out);
    return out.isEmpty() ? QStringList() : out.split(u'\n');
  }
  qint64 PidOf(const QString& window) const {
    QString out;
    return Xdotool({QStringLiteral("getwindowpid"), window}, &out) ? out.toLongLong() : -1;
  }
  QString NameOf(const QString& window) const {
    QString out;
    Xdotool({QStringLiteral("getwindowname"), window}, &out);
    return out;
  }

  // Keys go to the focused window: without a window manager, a key sent with --window
  // does not reach Qt, so the window is focused first.
  bool Keys(const QString& window, const QStringList& keys) const {
    if (!Xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window})) return false;
    QStringList args{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("60")};
    return Xdotool(args + keys);
  }
  bool Type(const QString& window, const QString& text) const {
    if (!Xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window})) return false;
    return Xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), text});
  }
  bool Click(const QString& window, int x, int y) const {
    return Xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window, QString::number(x),
                    QString::number(y), QStringLiteral("click"), QStringLiteral("1")});
  }

  // A picture of the window (the whole screen for "root"); false without ImageMagick.
  bool Screenshot(const QString& window, const QString& path) const {
    if (import_.isEmpty()) return false;
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display_);
    run.setProcessEnvironment(env);
    run.start(import_, {QStringLiteral("-window"), window, path});
    return run.waitForFinished(20000) && run.exitCode() == 0;
  }

 private:
  QString xvfb_, xdotool_, import_, display_;
  QProcess server_;
};

// Ends a process when the test leaves, however it leaves.
struct ProcessReaper {
  QProcess& process;
  ~ProcessReaper() {
    if (process.state() == QProcess::NotRunning) return;
    process.kill();
    process.waitForFinished(5000);
  }
};

}  // namespace luckyscope::testing

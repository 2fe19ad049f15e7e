// The program's entry: one copy at a time, the main window and its dialogs, the data core started
// with the settings and the start-up file, the event loop, and the way out.

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include <QIcon>
#include <QLibraryInfo>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QTranslator>

#include "app/application.h"
#include "app/command_line.h"
#include "app/core_notifier.h"
#include "app/program_windows.h"
#include "app/running_copy.h"
#include "app/single_instance.h"
#include "app/startup.h"
#include "core/data_core.h"
#include "sound/gst_sound_backend.h"
#include "ui/qt_ui_services.h"
#include "ui/ui_helpers.h"

namespace {

using namespace luckyscope;

// What the terminal is told when there is no display to open.
std::string NoDisplayMessage() {
  std::string text = "luckyscope: cannot open a display";
  for (const char* name : {"WAYLAND_DISPLAY", "DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && value[0] != '\0') text += std::string(" (") + name + "=" + value + ")";
  }
  if (text.back() != ')') text += " (DISPLAY and WAYLAND_DISPLAY are unset)";
  return text + ".\nStart it from a desktop session, or under a virtual display: xvfb-run -a luckyscope";
}

// An error that reached the entry ends the program with this code after it was shown.
constexpr int kFailedExitCode = 3;

// The program speaks Japanese whatever the session's language is, so Qt's own texts in
// the message boxes and file dialogs ("はい", "いいえ", "キャンセル", "ファイル名") are
// Japanese too. Without the translation files (package qt6-translations-l10n) Qt's
// English texts remain; nothing else changes.
void InstallJapaneseQtTexts(QApplication& app) {
  static QTranslator translator;
  if (translator.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    app.installTranslator(&translator);
  }
}

// The locale the terminal's messages are meant for, as the C library would pick it.
const char* MessagesLocale() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && value[0] != '\0') return value;
  }
  return nullptr;
}

// The command line's files as absolute paths: a copy that runs already may be in
// another folder.
QStringList AbsoluteFiles(const std::vector<std::string>& files) {
  std::string folder;
  if (char* here = ::getcwd(nullptr, 0)) {
    folder = here;
    std::free(here);
  }
  QStringList paths;
  for (const std::string& file : files) {
    paths.append(QFile::decodeName(file[0] == '/' || folder.empty() ? file.c_str() : (folder + "/" + file).c_str()));
  }
  return paths;
}

// Brings the window to the front, out of the dock when it was minimised.
void BringToFront(QWidget& window) {
  if (window.isMinimized()) window.showNormal();
  window.raise();
  window.activateWindow();
}

// Steps 2 to 6 of the start-up: everything that runs while the lock is held.
int RunProgram(LuckyScopeApplication& app, const SingleInstanceLock& lock, const QStringList& files) {
  // The application's title is the main window's caption, which the desktop shows for
  // the program. Qt's display name is left unset: Qt would append it to the caption of
  // every dialog and message box.
  QApplication::setApplicationName(QStringLiteral("luckyscope"));
  QApplication::setApplicationVersion(QStringLiteral("1.01"));
  QApplication::setDesktopFileName(QStringLiteral("org.luckyscope.LuckyScope"));
  QApplication::setFont(UiFont(12));
  InitMainWindowResources();
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/luckyscope.svg")));
  // The program ends when the main window has run its close sequence, not when some
  // window happens to be the last one open (a message box before the window shows).
  QApplication::setQuitOnLastWindowClosed(false);

  QtUiServices ui(std::make_unique<GstSoundBackend>(QuietAudioSink(CurrentAudioEnvironment())));
  app.SetErrorDisplay([&ui](const QString& text) { ui.MessageBox(text, kMessageCaption, kCriticalOk); });
  struct ForgetDisplay {
    LuckyScopeApplication& app;
    ~ForgetDisplay() { app.SetErrorDisplay(nullptr); }
  } forget{app};
  UiCoreNotifier notifier(ui);
  DataCore core(&notifier);

  // The main window, and the dialogs it opens, each made the first time it is opened.
  ProgramWindows windows(core, ui);
  TSDIAppForm& form = windows.form;

  // The data core starts once the main window exists.
  StartDataCore(core, ui);

  QObject::connect(&form, &TSDIAppForm::Closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
  form.show();
  // The files named on the command line come after the start-up file, once the
  // window shows, as the user's own opening would.
  if (!files.isEmpty()) QTimer::singleShot(0, &form, [&form, files] { form.OpenFiles(files); });

  // A second start hands its files over: the window comes to the front and opens them
  // as it would a drop, which a dialog open in front of it also turns away.
  RunningCopyChannel channel;
  QObject::connect(&channel, &RunningCopyChannel::FilesHandedOver, &form, [&form](const QStringList& handed) {
    BringToFront(form);
    if (QApplication::activeModalWidget() != nullptr || handed.isEmpty()) return;
    form.OpenFiles(handed);
  });
  if (!channel.Listen(RunningCopySocketPath(lock.LockedPath()))) {
    std::fprintf(stderr, "luckyscope: a second start cannot hand files over (no socket beside %s)\n",
                 lock.LockedPath().c_str());
  }
  QApplication::exec();
  // Closed by other means than the window (the session ending): the close sequence
  // still runs, once.
  form.FormClose();
  return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
  const CommandLine line = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (line.action != CommandLine::Action::Run) {
    const bool english = WantsEnglish(MessagesLocale());
    switch (line.action) {
      case CommandLine::Action::Help:
        std::fputs(UsageText(english).c_str(), stdout);
        return 0;
      case CommandLine::Action::Version:
        std::fputs(VersionText().c_str(), stdout);
        return 0;
      default:
        std::fputs(RefusalText(line, english).c_str(), stderr);
        return kRefusedExitCode;
    }
  }
  const QStringList files = AbsoluteFiles(line.files);

  // Without a display Qt would abort; say what is missing instead.
  static const std::string noDisplay = NoDisplayMessage();
  if (!DisplayConfigured()) {
    std::fprintf(stderr, "%s\n", noDisplay.c_str());
    return kNoDisplayExitCode;
  }
  SingleInstanceLock lock;
  const SingleInstanceLock::Result locked = lock.Acquire();

  ExitCleanlyWithoutDisplay(noDisplay.c_str());
  LuckyScopeApplication app(argc, argv);
  InstallJapaneseQtTexts(app);

  if (locked != SingleInstanceLock::Result::Acquired) {
    // No window exists yet, and the running copy is left alone.
    QApplication::setFont(UiFont(12));
    QtUiServices ui(nullptr);
    if (locked == SingleInstanceLock::Result::HeldByAnother) {
      // The running copy comes to the front; files it takes are its to open.
      std::vector<std::string> sockets;
      for (const std::string& path : lock.Paths()) sockets.push_back(RunningCopySocketPath(path));
      if (HandOverToRunningCopy(sockets, files) && !files.isEmpty()) return 0;
      ui.MessageBox(QStringLiteral("すでに起動済みです。"), kMessageCaption, kExclamationOk);
      return 1;
    }
    // No copy runs, but there is no folder to hold the lock in (each was another
    // user's, a link, open to others, or could not be made): say where to look.
    std::fprintf(stderr, "luckyscope: %s\n", lock.Error().c_str());
    QString text = QStringLiteral(
        "二重起動を防ぐロックファイルを置ける安全なフォルダーがないため、起動できません。\n"
        "次のフォルダーを確かめてください（他のユーザーのもの、リンク、"
        "他のユーザーにも開かれたものは使えません）。\n");
    for (const std::string& folder : lock.Folders()) text += QStringLiteral("\n") + QString::fromLocal8Bit(folder);
    ui.MessageBox(text, kMessageCaption, kExclamationOk);
    return 1;
  }

  int code = 0;
  try {
    code = RunProgram(app, lock, files);
  } catch (const std::exception& error) {
    QtUiServices ui(nullptr);
    ui.MessageBox(QString::fromLocal8Bit(error.what()), kMessageCaption, kCriticalOk);
    code = kFailedExitCode;
  } catch (...) {
    QtUiServices ui(nullptr);
    ui.MessageBox(QStringLiteral("unknown error"), kMessageCaption, kCriticalOk);
    code = kFailedExitCode;
  }
  lock.Release();
  return code;
}

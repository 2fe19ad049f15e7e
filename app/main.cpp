// The program's entry: one copy at a time, the main window and its dialogs, the data core started
// with the settings and the start-up file, the event loop, and the way out.

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>

#include <QIcon>
#include <QLibraryInfo>
#include <QString>
#include <QTranslator>

#include "app/about_box.h"
#include "app/application.h"
#include "app/core_notifier.h"
#include "app/sdi_app_form.h"
#include "app/single_instance.h"
#include "app/startup.h"
#include "checks/cnt_check_dlg.h"
#include "checks/esy_check_dlg.h"
#include "core/data_core.h"
#include "dialogs/atr_edit_dlg.h"
#include "dialogs/sch_edit_dlg.h"
#include "dialogs/sys_edit_dlg.h"
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

const QString kCaption = QStringLiteral("ヒットメモ");

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

// Steps 2 to 6 of the start-up: everything that runs while the lock is held.
int RunProgram(LuckyScopeApplication& app) {
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

  QtUiServices ui(std::make_unique<GstSoundBackend>("autoaudiosink"));
  app.SetErrorDisplay([&ui](const QString& text) { ui.MessageBox(text, kCaption, kCriticalOk); });
  struct ForgetDisplay {
    LuckyScopeApplication& app;
    ~ForgetDisplay() { app.SetErrorDisplay(nullptr); }
  } forget{app};
  UiCoreNotifier notifier(ui);
  DataCore core(&notifier);

  // The main window, and the six dialogs it opens, each made the first time it is
  // opened and then shown again and again.
  TSDIAppForm form(core, ui);
  auto made = [](auto make) { return TSDIAppForm::DialogSlot::MadeWhenFirstOpened(make); };
  form.SetDialogs(
      {made([&form] { return new TAboutBox(&form); }), made([&] { return new TSchEditDlg(core, ui, &form); }),
       made([&] { return new TAtrEditDlg(core, ui, &form); }), made([&] { return new TSysEditDlg(core, ui, &form); }),
       made([&] { return new TEsyCheckDlg(core, ui, form.SoundCue(), &form); }),
       made([&] { return new TCntCheckDlg(core, ui, &form); })});

  // The data core starts once the main window exists.
  StartDataCore(core, ui);

  QObject::connect(&form, &TSDIAppForm::Closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
  form.show();
  QApplication::exec();
  // Closed by other means than the window (the session ending): the close sequence
  // still runs, once.
  form.FormClose();
  return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
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
    if (locked == SingleInstanceLock::Result::Failed) std::fprintf(stderr, "luckyscope: %s\n", lock.Error().c_str());
    // No window exists yet, and the running copy is left alone.
    QApplication::setFont(UiFont(12));
    QtUiServices ui(nullptr);
    ui.MessageBox(QStringLiteral("すでに起動済みです。"), kCaption, kExclamationOk);
    return 1;
  }

  int code = 0;
  try {
    code = RunProgram(app);
  } catch (const std::exception& error) {
    QtUiServices ui(nullptr);
    ui.MessageBox(QString::fromLocal8Bit(error.what()), kCaption, kCriticalOk);
    code = kFailedExitCode;
  } catch (...) {
    QtUiServices ui(nullptr);
    ui.MessageBox(QStringLiteral("unknown error"), kCaption, kCriticalOk);
    code = kFailedExitCode;
  }
  lock.Release();
  return code;
}

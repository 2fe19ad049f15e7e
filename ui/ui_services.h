#pragma once
// What the windows ask of the desktop: message boxes, the open and save dialogs, the
// help window, the web browser, the sound output and work in the background behind a
// progress box. Windows reach these only through
// UiServices, so that the program runs on the Qt implementation (QtUiServices) and the
// window tests on a scripted one that answers like a user.

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QString>

#include "sound/sound_backend.h"

namespace luckyscope {

// The caption of every message box the program shows.
inline const QString kMessageCaption = QStringLiteral("ヒットメモ");

// Answers of MessageBox.
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerYes = 6;
inline constexpr int kAnswerNo = 7;

enum class MessageIcon { None, Question, Exclamation, Critical };
enum class MessageButtons { Ok, YesNo };

struct MessageFlags {
  MessageIcon icon = MessageIcon::None;
  MessageButtons buttons = MessageButtons::Ok;
  // Yes/No with No as the default button (Enter answers No): for a question whose Yes
  // may cost the user something.
  bool defaultNo = false;
  friend bool operator==(const MessageFlags&, const MessageFlags&) = default;
};

// The three kinds of message the program shows.
inline constexpr MessageFlags kQuestionYesNo{MessageIcon::Question, MessageButtons::YesNo};
inline constexpr MessageFlags kExclamationOk{MessageIcon::Exclamation, MessageButtons::Ok};
inline constexpr MessageFlags kPlainOk{MessageIcon::None, MessageButtons::Ok};
inline constexpr MessageFlags kQuestionYesNoDefaultNo{MessageIcon::Question, MessageButtons::YesNo, true};
// For errors that reach the program's entry.
inline constexpr MessageFlags kCriticalOk{MessageIcon::Critical, MessageButtons::Ok};

// What an open or save dialog is set to before each use: the default extension
// (without the dot) and the filter in the "description|pattern|description|pattern"
// form, e.g. "検索対象ファイル(*.dat)|*.dat". Every use also selects the first filter
// and starts with an empty file name.
struct FileDialogPreset {
  QString defaultExtension;
  QString filter;
  // A file name (without folder) that the dialog does not list, in any folder; empty
  // lists every file.
  QString hiddenFileName = {};
};

// "desc|pattern|desc|pattern" -> Qt's "desc (pattern);;desc (pattern)". Several
// patterns in one pair may be separated by ';' as on Windows; an odd last piece is
// taken as a description for every file ("*").
QString ToQtFilter(const QString& filter);

// What a background job shares with its progress box: the job counts the steps it has
// done in `done` and looks at `cancel` between steps (a card reader takes it as its
// ReadCancel, and so stops inside an image too). Both may be touched from any thread.
struct JobProgress {
  std::atomic<int> done{0};
  std::atomic<bool> cancel{false};
};
using BackgroundJob = std::function<void(JobProgress&)>;

class UiServices {
 public:
  virtual ~UiServices() = default;

  // Modal over the program; answers kAnswerYes or kAnswerNo for YesNo (closing the
  // box counts as No) and kAnswerOk for Ok.
  virtual int MessageBox(const QString& text, const QString& caption, MessageFlags flags) = 0;

  // The chosen file's full path as file-name bytes, or nothing when cancelled. The save
  // dialog asks before it overwrites an existing file.
  virtual std::optional<std::string> OpenFileDialog(const FileDialogPreset& preset) = 0;
  virtual std::optional<std::string> SaveFileDialog(const FileDialogPreset& preset) = 0;
  // An open dialog in which several files may be chosen at once. The default asks for
  // one file with OpenFileDialog.
  virtual std::optional<std::vector<std::string>> OpenFilesDialog(const FileDialogPreset& preset);

  // Shows the help file at its default topic. A missing or damaged file is not
  // reported: nothing opens.
  virtual void HelpDisplayTopic(const std::string& helpFile) = 0;
  // Closes every help window.
  virtual void HelpCloseAll() = 0;

  // Opens a web address in the user's browser. False when no browser could be started
  // for it (none installed, no desktop helper); the caller tells the user.
  virtual bool OpenUrl(const QString& url) = 0;

  // The audio output of the sound cues.
  virtual SoundBackend& Sound() = 0;

  // Runs the job off the window's thread behind a modal progress box that says `label`
  // and counts to `steps` (0: a busy bar without count); the program's windows are
  // repainted meanwhile. Cancel sets progress.cancel; the call returns only once the job
  // has returned, so the job may use whatever the caller owns. True when the job ran to
  // its end without Cancel.
  virtual bool RunWithProgress(const QString& label, int steps, const BackgroundJob& job) = 0;
};

}  // namespace luckyscope

#pragma once
// UiServices for window tests: a script of the user's answers, played in order, and a
// record of everything the windows asked. A test reads like a session:
//
//   ScriptedUiServices ui;
//   ui.ExpectMessage("現在の検索対象データをセーブしますか？").Answer(kAnswerYes);
//   ui.ExpectSaveDialog().Choose("/tmp/t/targets.dat");
//   window.Action(QStringLiteral("FileOpen1"))->trigger();
//
// A message box or file dialog that the script does not expect fails the test at once
// (with what was shown) and gets a safe answer (No / OK / cancel), so a test never
// hangs on a box nobody answers. Steps left unused when the object goes away fail the
// test too.

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include <QString>

#include "ui/ui_services.h"

namespace luckyscope {

enum class FileDialogKind { Open, Save };

struct RecordedMessage {
  QString text;
  QString caption;
  MessageIcon icon;
  MessageButtons buttons;
  int answer;
  bool expected;           // false when no scripted step was waiting for it
  bool defaultNo = false;  // Yes/No with No as the default button
};

struct RecordedFileDialog {
  FileDialogKind kind;
  QString defaultExtension;
  QString filter;    // as the window gave it ("desc|pattern|...")
  int filterIndex;   // 1 = first filter
  QString fileName;  // the name field when the dialog opened
  std::optional<std::string> answer;
  bool expected;
};

enum class HelpCallKind { DisplayTopic, CloseAll };

struct RecordedHelpCall {
  HelpCallKind kind;
  std::string helpFile;  // empty for CloseAll
};

struct RecordedProgress {
  QString label;
  int steps;
  int done;        // the steps the job counted
  bool cancelled;  // the script pressed Cancel
};

// A sound output that plays nothing and writes down every call.
class RecordingSoundBackend final : public SoundBackend {
 public:
  struct Call {
    enum Kind { OpenByType, OpenByFileName, Length, Play, Close } kind;
    std::int32_t device = 0;  // the device the call was about (or returned)
    SoundDeviceType type{};   // OpenByType only
    std::string path;         // the opens only
  };

  std::int32_t OpenByType(SoundDeviceType type, const char* path) override;
  std::int32_t OpenByFileName(const char* path) override;
  std::int64_t Length(std::int32_t device) override;
  bool Play(std::int32_t device) override;
  void Close(std::int32_t device) override;

  // Behaviour: opens fail (answer 0) while failOpens is set; Length answers length.
  bool failOpens = false;
  std::int64_t length = 1000;

  const std::vector<Call>& Calls() const { return calls_; }
  // Devices opened and not closed yet.
  std::vector<std::int32_t> OpenDevices() const { return open_; }
  int PlayCount() const;
  void ClearCalls() { calls_.clear(); }

 private:
  std::int32_t Open();

  std::vector<Call> calls_;
  std::vector<std::int32_t> open_;
  std::int32_t next_ = 1;
};

class ScriptedUiServices final : public UiServices {
 public:
  // One scripted step; the Expect... calls return it so that the answer follows.
  class Step {
   public:
    // Answer of a message box: kAnswerYes, kAnswerNo or kAnswerOk.
    Step& Answer(int answer);
    // A file dialog picks this path (file-name bytes)...
    Step& Choose(std::string path);
    // ...or is cancelled.
    Step& Cancel();

   private:
    friend class ScriptedUiServices;
    enum class Kind { Message, FileDialog } kind = Kind::Message;
    std::optional<QString> text;     // expected message text, if given
    std::optional<QString> caption;  // expected caption, if given
    std::optional<FileDialogKind> dialog;
    int answer = kAnswerOk;
    std::optional<std::string> path;
  };

  ScriptedUiServices() = default;
  ~ScriptedUiServices() override;
  ScriptedUiServices(const ScriptedUiServices&) = delete;
  ScriptedUiServices& operator=(const ScriptedUiServices&) = delete;

  // The next thing shown must be a message box (with this text and caption, when
  // given). Without .Answer() it is answered OK.
  Step& ExpectMessage(std::optional<QString> text = std::nullopt, std::optional<QString> caption = std::nullopt);
  // The next thing shown must be a file dialog of that kind (any kind when not
  // given). Without .Choose() it is cancelled.
  Step& ExpectOpenDialog();
  Step& ExpectSaveDialog();
  Step& ExpectFileDialog();

  // Shorthands for the common answers.
  void AnswerYes() { ExpectMessage().Answer(kAnswerYes); }
  void AnswerNo() { ExpectMessage().Answer(kAnswerNo); }
  void AnswerOk() { ExpectMessage().Answer(kAnswerOk); }
  void ChooseFile(std::string path) { ExpectFileDialog().Choose(std::move(path)); }
  void CancelFile() { ExpectFileDialog().Cancel(); }

  // The next progress box is cancelled once its job has counted `afterSteps` steps (0:
  // before the job starts). The job runs on the caller's thread as always; Cancel comes
  // from another, as from the real box.
  void CancelNextProgress(int afterSteps = 0) { cancelAfter_ = afterSteps; }

  // Steps not used yet.
  std::size_t PendingSteps() const { return script_.size(); }
  // Forgets the unused steps (so that the destructor does not complain).
  void DropPendingSteps() { script_.clear(); }

  const std::vector<RecordedMessage>& Messages() const { return messages_; }
  const std::vector<RecordedFileDialog>& FileDialogs() const { return dialogs_; }
  const std::vector<RecordedHelpCall>& HelpCalls() const { return helpCalls_; }
  const std::vector<QString>& Urls() const { return urls_; }
  // Whether OpenUrl finds a browser (it does unless told otherwise).
  void SetBrowserAvailable(bool available) { browser_ = available; }
  const std::vector<RecordedProgress>& Progresses() const { return progresses_; }
  // Message boxes and file dialogs that came with no step waiting for them.
  int UnexpectedCount() const { return unexpected_; }
  // Forgets everything recorded so far (not the script).
  void ClearRecords();

  RecordingSoundBackend& Recorder() { return sound_; }

  int MessageBox(const QString& text, const QString& caption, MessageFlags flags) override;
  std::optional<std::string> OpenFileDialog(const FileDialogPreset& preset) override;
  std::optional<std::string> SaveFileDialog(const FileDialogPreset& preset) override;
  void HelpDisplayTopic(const std::string& helpFile) override;
  void HelpCloseAll() override;
  bool OpenUrl(const QString& url) override;
  SoundBackend& Sound() override { return sound_; }
  // Runs the job at once on the calling thread and records it.
  bool RunWithProgress(const QString& label, int steps, const BackgroundJob& job) override;

 private:
  std::optional<std::string> FileDialog(FileDialogKind kind, const FileDialogPreset& preset);

  std::deque<Step> script_;
  std::vector<RecordedMessage> messages_;
  std::vector<RecordedFileDialog> dialogs_;
  std::vector<RecordedHelpCall> helpCalls_;
  std::vector<QString> urls_;
  bool browser_ = true;
  std::vector<RecordedProgress> progresses_;
  std::optional<int> cancelAfter_;
  int unexpected_ = 0;
  RecordingSoundBackend sound_;
};

// Readable names in failure messages.
const char* ToString(MessageIcon icon);
const char* ToString(MessageButtons buttons);
const char* ToString(FileDialogKind kind);

}  // namespace luckyscope

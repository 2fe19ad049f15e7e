#include "tests/support/scripted_ui_services.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

#include <gtest/gtest.h>

namespace luckyscope {

const char* ToString(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::None:
      return "no icon";
    case MessageIcon::Question:
      return "question";
    case MessageIcon::Exclamation:
      return "exclamation";
    case MessageIcon::Critical:
      return "critical";
  }
  return "?";
}

const char* ToString(MessageButtons buttons) { return buttons == MessageButtons::YesNo ? "Yes/No" : "OK"; }

const char* ToString(FileDialogKind kind) { return kind == FileDialogKind::Open ? "open dialog" : "save dialog"; }

// --- RecordingSoundBackend ---------------------------------------------------------

std::int32_t RecordingSoundBackend::Open() {
  if (failOpens) return 0;
  const std::int32_t id = next_++;
  open_.push_back(id);
  return id;
}

std::int32_t RecordingSoundBackend::OpenByType(SoundDeviceType type, const char* path) {
  const std::int32_t id = Open();
  calls_.push_back({Call::OpenByType, id, type, path != nullptr ? path : ""});
  return id;
}

std::int32_t RecordingSoundBackend::OpenByFileName(const char* path) {
  const std::int32_t id = Open();
  calls_.push_back({Call::OpenByFileName, id, {}, path != nullptr ? path : ""});
  return id;
}

std::int64_t RecordingSoundBackend::Length(std::int32_t device) {
  calls_.push_back({Call::Length, device, {}, {}});
  return std::find(open_.begin(), open_.end(), device) != open_.end() ? length : 0;
}

bool RecordingSoundBackend::Play(std::int32_t device) {
  calls_.push_back({Call::Play, device, {}, {}});
  return std::find(open_.begin(), open_.end(), device) != open_.end();
}

void RecordingSoundBackend::Close(std::int32_t device) {
  calls_.push_back({Call::Close, device, {}, {}});
  open_.erase(std::remove(open_.begin(), open_.end(), device), open_.end());
}

int RecordingSoundBackend::PlayCount() const {
  return static_cast<int>(
      std::count_if(calls_.begin(), calls_.end(), [](const Call& c) { return c.kind == Call::Play; }));
}

// --- ScriptedUiServices ------------------------------------------------------------

ScriptedUiServices::Step& ScriptedUiServices::Step::Answer(int value) {
  answer = value;
  return *this;
}

ScriptedUiServices::Step& ScriptedUiServices::Step::Choose(std::string value) {
  path = std::move(value);
  return *this;
}

ScriptedUiServices::Step& ScriptedUiServices::Step::Cancel() {
  path.reset();
  return *this;
}

ScriptedUiServices::~ScriptedUiServices() {
  if (!script_.empty()) {
    ADD_FAILURE() << script_.size() << " scripted answer(s) never used; the first waited for a "
                  << (script_.front().kind == Step::Kind::Message
                          ? "message box \"" + script_.front().text.value_or("(any)").toStdString() + "\""
                          : std::string("file dialog"));
  }
}

ScriptedUiServices::Step& ScriptedUiServices::ExpectMessage(std::optional<QString> text,
                                                            std::optional<QString> caption) {
  Step step;
  step.kind = Step::Kind::Message;
  step.text = std::move(text);
  step.caption = std::move(caption);
  script_.push_back(std::move(step));
  return script_.back();
}

ScriptedUiServices::Step& ScriptedUiServices::ExpectOpenDialog() {
  Step& step = ExpectFileDialog();
  step.dialog = FileDialogKind::Open;
  return step;
}

ScriptedUiServices::Step& ScriptedUiServices::ExpectSaveDialog() {
  Step& step = ExpectFileDialog();
  step.dialog = FileDialogKind::Save;
  return step;
}

ScriptedUiServices::Step& ScriptedUiServices::ExpectFileDialog() {
  Step step;
  step.kind = Step::Kind::FileDialog;
  script_.push_back(std::move(step));
  return script_.back();
}

void ScriptedUiServices::ClearRecords() {
  messages_.clear();
  dialogs_.clear();
  helpCalls_.clear();
  urls_.clear();
  progresses_.clear();
  unexpected_ = 0;
}

int ScriptedUiServices::MessageBox(const QString& text, const QString& caption, MessageFlags flags) {
  RecordedMessage shown{text, caption, flags.icon, flags.buttons, kAnswerOk, false};
  shown.defaultNo = flags.defaultNo;
  // A safe answer for a box nobody expected: No to a question, OK otherwise.
  const int safe = flags.buttons == MessageButtons::YesNo ? kAnswerNo : kAnswerOk;
  const std::string what = "message box \"" + text.toStdString() + "\" (caption \"" + caption.toStdString() + "\", " +
                           ToString(flags.icon) + ", " + ToString(flags.buttons) + ")";
  if (script_.empty() || script_.front().kind != Step::Kind::Message) {
    ++unexpected_;
    ADD_FAILURE() << "Unexpected " << what
                  << (script_.empty() ? std::string(": no scripted answer left")
                                      : std::string(": the script waited for a file dialog"));
    shown.answer = safe;
    messages_.push_back(shown);
    return safe;
  }
  Step step = std::move(script_.front());
  script_.pop_front();
  if (step.text && *step.text != text) {
    ADD_FAILURE() << "Expected message box \"" << step.text->toStdString() << "\", got " << what;
  }
  if (step.caption && *step.caption != caption) {
    ADD_FAILURE() << "Expected caption \"" << step.caption->toStdString() << "\", got " << what;
  }
  int answer = step.answer;
  const bool fits =
      flags.buttons == MessageButtons::YesNo ? (answer == kAnswerYes || answer == kAnswerNo) : answer == kAnswerOk;
  if (!fits) {
    ADD_FAILURE() << "Scripted answer " << answer << " is not a button of " << what;
    answer = safe;
  }
  shown.answer = answer;
  shown.expected = true;
  messages_.push_back(shown);
  return answer;
}

std::optional<std::string> ScriptedUiServices::FileDialog(FileDialogKind kind, const FileDialogPreset& preset) {
  RecordedFileDialog shown{kind, preset.defaultExtension, preset.filter, 1, QString(), std::nullopt, false};
  const std::string what = std::string(ToString(kind)) + " (extension \"" + preset.defaultExtension.toStdString() +
                           "\", filter \"" + preset.filter.toStdString() + "\")";
  if (script_.empty() || script_.front().kind != Step::Kind::FileDialog) {
    ++unexpected_;
    ADD_FAILURE() << "Unexpected " << what
                  << (script_.empty() ? std::string(": no scripted answer left")
                                      : std::string(": the script waited for a message box"));
    dialogs_.push_back(shown);
    return std::nullopt;
  }
  Step step = std::move(script_.front());
  script_.pop_front();
  if (step.dialog && *step.dialog != kind) {
    ADD_FAILURE() << "Expected " << ToString(*step.dialog) << ", got " << what;
  }
  shown.answer = step.path;
  shown.expected = true;
  dialogs_.push_back(shown);
  return step.path;
}

std::optional<std::string> ScriptedUiServices::OpenFileDialog(const FileDialogPreset& preset) {
  return FileDialog(FileDialogKind::Open, preset);
}

std::optional<std::string> ScriptedUiServices::SaveFileDialog(const FileDialogPreset& preset) {
  return FileDialog(FileDialogKind::Save, preset);
}

void ScriptedUiServices::HelpDisplayTopic(const std::string& helpFile) {
  helpCalls_.push_back({HelpCallKind::DisplayTopic, helpFile});
}

void ScriptedUiServices::HelpCloseAll() { helpCalls_.push_back({HelpCallKind::CloseAll, {}}); }

bool ScriptedUiServices::OpenUrl(const QString& url) {
  urls_.push_back(url);
  return browser_;
}

bool ScriptedUiServices::RunWithProgress(const QString& label, int steps, const BackgroundJob& job) {
  JobProgress progress;
  const std::optional<int> cancelAfter = std::exchange(cancelAfter_, std::nullopt);
  std::atomic<bool> finished{false};
  std::thread canceller;
  if (cancelAfter && *cancelAfter <= 0) {
    progress.cancel = true;
  } else if (cancelAfter) {
    canceller = std::thread([&] {
      while (!finished && progress.done < *cancelAfter) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      if (!finished) progress.cancel = true;
    });
  }
  job(progress);
  finished = true;
  if (canceller.joinable()) canceller.join();
  progresses_.push_back({label, steps, progress.done.load(), progress.cancel.load()});
  return !progress.cancel.load();
}

}  // namespace luckyscope

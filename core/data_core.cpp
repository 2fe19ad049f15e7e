// DataCore's operations: the base folder and help file, the settings record and its
// file, the data files and matching. The file formats live in data_files.cpp and
// settings_file.cpp, matching in matching.cpp and search.cpp; here they meet the
// store, the settings and the notifier.

#include "core/data_core.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <functional>
#include <unistd.h>

#include "core/matching.h"
#include "core/search.h"

namespace luckyscope {

namespace {

template <std::size_t N>
void Terminate(char (&text)[N]) {
  text[N - 1] = '\0';
}

}  // namespace

DataCore::DataCore(CoreNotifier* notifier) : store_(std::make_unique<LotteryStore>()), notifier_(notifier) {}

DataCore::~DataCore() = default;

void DataCore::Notify(CoreMessage message) const {
  if (notifier_ != nullptr) notifier_->ShowCoreMessage(message);
}

// ---------------------------------------------------------------------------
// Base folder and help file

int DataCore::InitBaseFolder() {
  char cwd[kPathSize];
  if (::getcwd(cwd, sizeof cwd) == nullptr) {
    // A current directory deeper than 511 bytes, or one that was removed: the
    // process's own current directory still serves as the base.
    std::strcpy(baseFolder_, ".");
    return -1;
  }
  return InitBaseFolder(cwd);
}

int DataCore::InitBaseFolder(const char* folder) {
  if (folder == nullptr || folder[0] == '\0' || strnlen(folder, kPathSize) >= kPathSize) {
    return -1;
  }
  // Trailing separators go, so that joins never double them: the root "/" becomes
  // the empty text and base + "/" + name gives "/name".
  std::size_t len = std::strlen(folder);
  while (len > 0 && folder[len - 1] == '/') --len;
  std::memcpy(baseFolder_, folder, len);
  baseFolder_[len] = '\0';
  return 0;
}

int DataCore::HelpFilePath(char (&out)[kPathSize]) {
  int n = std::snprintf(out, sizeof out, "%s/%s", baseFolder_, kHelpFileName);
  if (n < 0 || n >= kPathSize) {
    // A cut path would name some other file; no help file is better.
    out[0] = '\0';
    helpPath_[0] = '\0';
    return -1;
  }
  std::memcpy(helpPath_, out, sizeof helpPath_);
  return 0;
}

// ---------------------------------------------------------------------------
// Settings record and settings file

int DataCore::ResetSettings() {
  std::memset(&settings_, 0, sizeof settings_);
  return 0;
}

int DataCore::ResetAll() {
  ResetSettings();
  store_->ClearTargets();
  store_->ClearWinningEntries();
  return 0;
}

int DataCore::GetSettings(SystemSettings& out) const {
  out = settings_;
  return 0;
}

int DataCore::SetSettings(const SystemSettings& in) {
  settings_ = in;
  // Every text stays terminated within its field, whatever the caller handed over.
  Terminate(settings_.startupFile);
  Terminate(settings_.logFile);
  Terminate(settings_.hitSoundFile);
  Terminate(settings_.missSoundFile);
  return 0;
}

int DataCore::LoadSettingsFile() {
  const int result = luckyscope::LoadSettingsFile(baseFolder_, settings_);
  settingsOfOtherUser_ = result == kFileOfOtherUser;
  return result;
}

int DataCore::SaveSettingsFile() {
  // Another user's settings file stays theirs: the run used the defaults instead.
  if (settingsOfOtherUser_) return 0;
  int reason = 0;
  const int result = luckyscope::SaveSettingsFile(baseFolder_, settings_, &writeFault_, &reason);
  if (result == kFileDone) return 0;
  // The settings file from before stays as it was (the writer only ever replaces it
  // whole), so the next start still finds the previous settings. A full disk has its
  // own message; any other reason is named, so that no failure goes unsaid.
  if (result == kFileWriteFailed && (reason == ENOSPC || reason == EDQUOT)) {
    Notify(CoreMessage::SettingsDiskFull);
  } else if (notifier_ != nullptr) {
    notifier_->ShowSettingsSaveFailure(SettingsFilePath(baseFolder_).c_str(), reason);
  }
  return result == kFileCannotOpen ? -1 : 0;
}

// ---------------------------------------------------------------------------
// Matching over the store

int DataCore::RunSearch() { return luckyscope::RunSearch(*store_); }

int DataCore::HitText(int index, int forFile, char (&out)[kTextSize]) const {
  return luckyscope::HitText(*store_, index, forFile, out);
}

// ---------------------------------------------------------------------------
// Data files

int DataCore::ClassifyDataFile(const char* path) const { return luckyscope::ClassifyDataFile(path); }

int DataCore::SniffCsvFile(const char* path) const { return luckyscope::SniffCsvFile(path); }

int DataCore::ResolveDataPath(const char* name, char (&out)[kPathSize]) const {
  return luckyscope::ResolveDataPath(baseFolder_, name, out);
}

bool DataCore::LooksForeign(const char* path) const {
  char full[kPathSize];
  if (ResolveDataPath(path, full) != 0) return false;
  return LooksLikeBinary(full) || LooksLikeSettingsFile(full);
}

int DataCore::ReadTargetFile(const char* path) { return luckyscope::ReadTargetFile(*store_, path); }

int DataCore::ReadWinningFile(const char* path) { return luckyscope::ReadWinningFile(*store_, path); }

int DataCore::WriteTargetFile(const char* path) {
  saveError_ = 0;
  return luckyscope::WriteTargetFile(*store_, path, settings_.saveResults == 1, &writeFault_, &saveError_);
}

int DataCore::WriteWinningFile(const char* path) {
  saveError_ = 0;
  return luckyscope::WriteWinningFile(*store_, path, &writeFault_, &saveError_);
}

int DataCore::OpenDataFile(const char* path) {
  char full[kPathSize];
  ResolveDataPath(path, full);
  if (ExceedsReadLimit(full)) {
    if (notifier_ != nullptr) notifier_->ShowFileTooLarge(full);
    return kFileCannotOpen;
  }
  int kind = ClassifyDataFile(full);
  int result = kFileUnusableName;
  if (kind == kTargetFile) {
    result = ReadTargetFile(full);
  } else if (kind == kWinningFile) {
    result = ReadWinningFile(full);
  } else {
    Notify(CoreMessage::UnusableFile);
    return result;
  }
  if (result == kFileDone) NoteFileUsed(kind, full);
  return result;
}

int DataCore::SaveDataFile(const char* path) {
  // The path is taken as given: a save dialog always hands over a full path. A new
  // csv name has no first line to tell its kind yet and is refused.
  int kind = ClassifyDataFile(path);
  int result = kFileUnusableName;
  if (kind == kTargetFile) {
    result = WriteTargetFile(path);
  } else if (kind == kWinningFile) {
    result = WriteWinningFile(path);
  } else {
    saveError_ = 0;
    Notify(CoreMessage::UnusableFile);
    return result;
  }
  if (result == kFileDone) NoteFileUsed(kind, path);
  return result;
}

void DataCore::NoteFileUsed(int kind, const char* path) {
  if (kind == kTargetFile) {
    store_->SetTargetFile(path);
  } else {
    store_->SetWinningFile(path);
  }
  usedFiles_.emplace_back(path);
}

std::vector<std::string> DataCore::TakeUsedFiles() {
  std::vector<std::string> used;
  used.swap(usedFiles_);
  return used;
}

// ---------------------------------------------------------------------------
// Removing tickets, and taking the last removal back

int DataCore::RemoveTargets(std::vector<int> regNos) {
  LotteryStore& store = *store_;
  // From the highest number down, so that each removal leaves the numbers of the
  // tickets still to go as the caller named them.
  std::sort(regNos.begin(), regNos.end(), std::greater<>());
  regNos.erase(std::unique(regNos.begin(), regNos.end()), regNos.end());
  std::vector<Removed> removed;
  const int changedBefore = store.TargetsChanged();
  for (int regNo : regNos) {
    Removed entry{regNo, {}};
    if (store.GetTarget(1, regNo, entry.target) != 0) continue;
    store.RemoveTarget(regNo);
    removed.push_back(entry);
  }
  if (removed.empty()) return 0;  // nothing changed: an earlier removal stays undoable
  std::reverse(removed.begin(), removed.end());
  removed_ = std::move(removed);
  appendedAfter_ = -1;
  removedChangedFlag_ = changedBefore;
  removedVersion_ = store.TargetsVersion();
  return static_cast<int>(removed_.size());
}

bool DataCore::CanUndoRemoval() const {
  return (!removed_.empty() || appendedAfter_ >= 0) && removedVersion_ == store_->TargetsVersion();
}

int DataCore::UndoRemoval() {
  if (!CanUndoRemoval()) {
    removed_.clear();
    appendedAfter_ = -1;
    return -1;
  }
  // Descending: the appended tickets go from the last one back.
  for (int regNo = store_->TargetCount(); regNo > appendedAfter_ && appendedAfter_ >= 0; --regNo) {
    store_->RemoveTarget(regNo);
  }
  appendedAfter_ = -1;
  // Ascending: each ticket goes back in front of the one that took its number.
  for (const Removed& entry : removed_) store_->InsertTarget(entry.regNo, entry.target);
  store_->SetTargetsChanged(removedChangedFlag_);
  removed_.clear();
  return 0;
}

void DataCore::AppendUndoably(const std::function<void()>& append) {
  const int before = store_->TargetCount();
  const int changedBefore = store_->TargetsChanged();
  append();
  if (store_->TargetCount() <= before) return;  // nothing added: an earlier undo stays
  removed_.clear();
  appendedAfter_ = before;
  removedChangedFlag_ = changedBefore;
  removedVersion_ = store_->TargetsVersion();
}

}  // namespace luckyscope

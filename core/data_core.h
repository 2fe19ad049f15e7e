#pragma once
// The data core: one object that owns the lottery store, the settings record, the
// base folder and the help file path, and that loads and saves the data files and
// the settings file. It knows no windows: the two messages it may need are asked
// for through the notifier.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/data_files.h"
#include "core/file_io.h"
#include "core/lottery_store.h"
#include "core/settings_file.h"

namespace luckyscope {

enum class CoreMessage {
  UnusableFile,      // "選択されたファイルは使用できません。"
  SettingsDiskFull,  // "ディスク容量不足のため、システムデータが保存できません。"
};

class CoreNotifier {
 public:
  virtual ~CoreNotifier() = default;
  virtual void ShowCoreMessage(CoreMessage message) = 0;
  // A settings file that could not be saved for another reason than a full disk: the
  // path and the system's error number (errno).
  virtual void ShowSettingsSaveFailure(const char* path, int errorNumber) = 0;
  // A data file larger than any the program writes (kReadLimitBytes): not read.
  virtual void ShowFileTooLarge(const char* path) = 0;
};

class DataCore {
 public:
  explicit DataCore(CoreNotifier* notifier = nullptr);
  ~DataCore();
  DataCore(const DataCore&) = delete;
  DataCore& operator=(const DataCore&) = delete;

  void SetNotifier(CoreNotifier* notifier) { notifier_ = notifier; }

  // Test seam: every later save (data files and settings file) fails at its
  // failAtStep-th write as a full disk would; 0 turns the fault off.
  void SetWriteFault(int failAtStep) { writeFault_.failAtStep = failAtStep; }

  LotteryStore& Store() { return *store_; }
  const LotteryStore& Store() const { return *store_; }

  // Settings and base folder. The base folder is held without a trailing '/', and
  // the root folder as the empty text, so that base + "/" + name is always a path.
  // Until InitBaseFolder runs it is "." (the current directory).
  int InitBaseFolder();                    // the current directory; -1: unknown, "." kept
  int InitBaseFolder(const char* folder);  // a given folder (tests, tools); -1: too long
  const char* BaseFolder() const { return baseFolder_; }
  int HelpFilePath(char (&out)[kPathSize]);  // also remembered for HelpPath(); -1: too long
  const char* HelpPath() const { return helpPath_; }
  int ResetSettings();
  int ResetAll();
  // LoadSettingsFile: kFileDone, kFileCannotOpen, or kFileOfOtherUser; after the last
  // the defaults stay and SaveSettingsFile leaves that file alone for the whole run.
  int LoadSettingsFile();
  int SaveSettingsFile();
  int GetSettings(SystemSettings& out) const;
  int SetSettings(const SystemSettings& in);

  // Matching over the store.
  int RunSearch();
  int HitText(int index, int forFile, char (&out)[kTextSize]) const;

  // Data files (core/data_files.h). Paths longer than 511 bytes do not fit the
  // program's path buffers and are treated as unusable rather than cut to some other
  // name. Readers and writers give the results of core/file_io.h (kFileDone and on).
  // ResolveDataPath: 0, or -1 with an empty text when the joined path would not fit.
  // OpenDataFile: kFileDone, kFileCannotOpen (a file of a usable kind that cannot be
  // read; not reported), or kFileUnusableName (reported). SaveDataFile: the writer's
  // result, or kFileUnusableName (reported); a failed write leaves its reason in
  // SaveErrorNumber() for the window to report.
  int OpenDataFile(const char* path);
  int SaveDataFile(const char* path);
  // The system's error number (errno) of the last data-file write that failed; 0 after
  // one that succeeded.
  int SaveErrorNumber() const { return saveError_; }
  int ClassifyDataFile(const char* path) const;
  int SniffCsvFile(const char* path) const;
  int ReadTargetFile(const char* path);
  int ReadWinningFile(const char* path);
  int WriteTargetFile(const char* path);
  int WriteWinningFile(const char* path);
  int ResolveDataPath(const char* name, char (&out)[kPathSize]) const;
  // True when the file (a bare name in the base folder) is plainly not a data file:
  // binary bytes (LooksLikeBinary), or the program's own settings file.
  bool LooksForeign(const char* path) const;

  // The data files opened or saved since the last call, oldest first. Each table's
  // current file is the store's TargetFile()/WinningFile().
  std::vector<std::string> TakeUsedFiles();

  // Removing tickets that can be taken back. RemoveTargets removes the given
  // registration numbers (any order; duplicates and numbers outside 1..count are
  // skipped) and keeps them, with their hit results and the unsaved-changes flag from
  // before, for one UndoRemoval. Any other change to the targets forgets them.
  // RemoveTargets answers how many tickets went; UndoRemoval 0, or -1 when there is
  // nothing to take back.
  int RemoveTargets(std::vector<int> regNos);
  bool CanUndoRemoval() const;
  int UndoRemoval();
  // Appending tickets that can be taken back the same way (an import, postcards read):
  // `append` may only add tickets after the last one. When it added any, the next
  // UndoRemoval removes them again and gives back the unsaved-changes flag from before,
  // in place of an earlier removal.
  void AppendUndoably(const std::function<void()>& append);

 private:
  void Notify(CoreMessage message) const;
  void NoteFileUsed(int kind, const char* path);

  std::unique_ptr<LotteryStore> store_;
  SystemSettings settings_{};
  char baseFolder_[kPathSize] = ".";
  char helpPath_[kPathSize] = {};
  CoreNotifier* notifier_ = nullptr;
  WriteFault writeFault_;
  int saveError_ = 0;
  bool settingsOfOtherUser_ = false;
  std::vector<std::string> usedFiles_;
  // The last removal: the tickets by their numbers before it, ascending.
  struct Removed {
    int regNo;
    SearchTarget target;
  };
  std::vector<Removed> removed_;
  // The count before the last undoable append, or -1.
  int appendedAfter_ = -1;
  int removedChangedFlag_ = 0;
  std::uint32_t removedVersion_ = 0;
};

}  // namespace luckyscope

#pragma once
// Reading and writing of the program's text files on disk.
//
// PieceReader reads a file the way the data and settings readers want it: CR LF
// arrives as LF (a lone LF ends a line too, a lone CR is an ordinary byte), and a
// line arrives in pieces of at most kPieceLimit bytes, each NUL-terminated in a
// kLineBufferSize buffer. Only regular files are opened, so that a folder, a pipe or
// a device named as a data file is refused instead of hanging or reading forever.
//
// SafeFileWriter never truncates the file it replaces: it writes a temporary file in
// the same folder, flushes and syncs it, and renames it over the name only when every
// write succeeded. Until Commit() succeeds the old file stays exactly as it was.
// Where no temporary file can take the name's place (a folder the user may not write
// to, another user's file in /tmp, a file with several hard links or of another
// owner) the file is written in place instead: the text is kept until Commit(), which
// reserves the new size on the disk before it overwrites the old bytes, after a copy of
// the old bytes is kept in the user's state folder (KeptCopiesFolder), so that a crash
// in the middle of the overwrite costs nothing that cannot be got back.
//
// Every file the program writes goes through one rule for shared folders (MayUseInFolder):
// in a sticky, world-writable folder such as /tmp a link is followed, and an existing
// file written to, only when it belongs to the user or to the folder's owner. The rule
// holds for every part of the path, not only its last name, and whether or not the
// kernel's own protection (fs.protected_symlinks, fs.protected_regular) is switched on.

#include <cerrno>
#include <cstddef>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>

namespace luckyscope {

inline constexpr int kLineBufferSize = 1024;
inline constexpr int kPieceLimit = 1022;

// Results of the program's file readers and writers. Paths longer than 511 bytes do
// not fit the program's path buffers and count as files that cannot be opened rather
// than being cut to some other name.
inline constexpr int kFileDone = 0;            // loaded, or written
inline constexpr int kFileCannotOpen = -1;     // a reader cannot open it, a writer cannot create it
inline constexpr int kFileWriteFailed = -2;    // a write failed; an earlier file of that name is left as it was
inline constexpr int kFileNothingToSave = -3;  // the table is empty: nothing written
inline constexpr int kFileUnusableName = -4;   // a name of no kind the program writes (already reported)
inline constexpr int kFileOfOtherUser = -5;    // a settings file another user owns: not used

// No file the program writes comes near this size (10,000 tickets with the longest
// fields and their results take under 6 MB); readers stop at it, so that a file padded
// with gigabytes of zeros cannot hold the window for minutes.
inline constexpr long long kReadLimitBytes = 64LL * 1024 * 1024;

// The reasons (errno values) the program's own rules give for refusing a file, beside
// the system's: a link the shared-folder rule does not follow, another user's file in a
// shared folder, and a file past kReadLimitBytes.
inline constexpr int kRefusedLink = ELOOP;
inline constexpr int kRefusedOthersFile = EEXIST;
inline constexpr int kRefusedTooLarge = EFBIG;

// True for a folder whose sticky bit is set and that everybody may write to (/tmp).
bool IsSharedFolder(mode_t folderMode);

// The shared-folder rule over lstat results: may `user` follow a link, or write to an
// existing file, owned by `itemOwner` in a folder of `folderMode` owned by `folderOwner`?
// Outside shared folders always; inside only the user's own items or the folder owner's.
bool MayUseInFolder(uid_t user, uid_t itemOwner, mode_t folderMode, uid_t folderOwner);

// Resolves the links of `path` in every part, each under MayUseInFolder, the way the
// kernel would walk it. The last name may be missing (or a link may point at a missing
// name): the result then names the file a writer would create. 0 with the resolved
// path in `out` (whose folder parts are no links), or the error number of the refusal.
int ResolveWritePath(const std::string& path, std::string& out);

// Opens a file for appending under the same rules as SafeFileWriter: links resolved by
// ResolveWritePath, another user's file in a shared folder refused, only a regular file
// taken (a FIFO is refused at once instead of blocking), a new file made rw-rw-rw- less
// the umask. The descriptor, or -1 with the reason in `errorNumber`.
int OpenForAppend(const char* path, int& errorNumber);

// The program's folder for the user's state: $XDG_STATE_HOME/luckyscope, by default
// ~/.local/state/luckyscope, from the two variables' values (null or relative ones do not
// count). Empty when neither gives an absolute folder.
std::string UserStateFolder(const char* stateHome, const char* home);

// The folder in which copies of files written in place are kept:
// $XDG_STATE_HOME/luckyscope/copies, by default ~/.local/state/luckyscope/copies. The
// newest kKeptCopies stay; older ones go as new ones come. Empty when there is no home.
inline constexpr int kKeptCopies = 20;
std::string KeptCopiesFolder();

// When the last failed save of `path` had overwritten part of the file in place: where
// the copy of its old content is; otherwise empty. The save-failure message tells it.
std::string KeptCopyOfFailedSave(const std::string& path);

// Reads a whole regular file of at most `limit` bytes into `out`, never blocking on a
// FIFO or device. False when it is missing, unreadable, of another kind or too large.
bool ReadWholeFile(const char* path, std::string& out, long long limit = kReadLimitBytes);

// True when `path` names a regular file larger than kReadLimitBytes.
bool ExceedsReadLimit(const char* path);

// Opens a file to read by the rule every reader of outside files follows: the open does
// not wait (a pipe's would wait for a writer for ever) and only a regular file is kept,
// so that a folder, a pipe or a device given as a file is refused instead of hanging or
// reading without end. The descriptor reads blocking once open. -1 when refused, with
// errno telling why (EINVAL for a name that is not a regular file); `info`, when given,
// receives the open file's status.
int OpenRegularFile(const char* path, struct stat* info = nullptr);

class PieceReader {
 public:
  PieceReader() = default;
  ~PieceReader();
  PieceReader(const PieceReader&) = delete;
  PieceReader& operator=(const PieceReader&) = delete;

  // False when the path is empty, missing, unreadable, not a regular file, or larger
  // than kReadLimitBytes (ErrorNumber() then tells kRefusedTooLarge). A file that grows
  // past the limit while it is read ends there.
  bool Open(const char* path);
  void Close();

  // Why the last Open failed or the reading stopped early (errno); 0 when it did not.
  int ErrorNumber() const { return error_; }
  // The owner of the open file.
  uid_t Owner() const { return owner_; }

  // Reads the next piece into `out`, terminated; a piece ends after its line feed or
  // after kPieceLimit bytes. Returns the piece's length in bytes, 0 at end of file
  // (a read error counts as the end of the file).
  int ReadPiece(char (&out)[kLineBufferSize]);

 private:
  int NextByte();
  int PeekByte();
  bool Fill();

  int fd_ = -1;
  std::size_t pos_ = 0;
  std::size_t len_ = 0;
  bool atEnd_ = false;
  int error_ = 0;
  uid_t owner_ = 0;
  long long total_ = 0;
  char buf_[64 * 1024];
};

// Turns every line feed among the first `length` bytes into NUL, so that the text
// ends at its first line feed. Returns 0.
int StripLineFeeds(char* buffer, int length);

// Reads the next piece of a file and strips its line feed (StripLineFeeds).
// Returns the piece's length in bytes before stripping, 0 at the end of the file
// (the line is then empty).
int ReadStrippedLine(PieceReader& reader, char (&line)[kLineBufferSize]);

// Test seam: makes a writer fail as a full disk would. Steps are counted per writer
// from 1: every WriteLine() or Write() is one step and Commit() is the step after the last
// line. A file written in place has one step more, its overwrite, which then stops
// half-way as a crash would. failAtStep 0 never fails.
struct WriteFault {
  int failAtStep = 0;
};

class SafeFileWriter {
 public:
  explicit SafeFileWriter(const WriteFault* fault = nullptr) : fault_(fault) {}
  ~SafeFileWriter();  // a writer that was not committed removes its temporary file
  SafeFileWriter(const SafeFileWriter&) = delete;
  SafeFileWriter& operator=(const SafeFileWriter&) = delete;

  // Prepares to replace `path`. False when it cannot be created: an empty path, a
  // folder that does not exist or cannot be written, an existing file that may not be
  // written, a name that is not a regular file (a folder, a device), or a link or file
  // that the shared-folder rule refuses.
  bool Open(const char* path);

  // Appends the text and CR LF as one write; false once any write has failed (and
  // every later call fails too).
  bool WriteLine(const char* text);
  // Appends the bytes as they are, no line end added, as one step (a file that is not
  // text, such as a PDF or a workbook); false once any write has failed.
  bool Write(const char* data, std::size_t size);

  // Flushes, syncs and renames the temporary file over the name. False when any step
  // failed; the temporary file is then gone and the old file untouched.
  bool Commit();

  // Drops the temporary file; the old file stays as it was.
  void Abort();

  // The system's error number (errno) of the first step that failed, 0 while none has;
  // what a failure message tells the user as the reason.
  int ErrorNumber() const { return error_; }

 private:
  bool Step();
  bool Append(const char* data, std::size_t size);
  bool Flush();
  bool Refuse(int errorNumber);
  bool CommitInPlace();
  void KeepCopyOfOldContent();

  const WriteFault* fault_;
  int steps_ = 0;
  int fd_ = -1;
  bool failed_ = false;
  int error_ = 0;
  std::string given_;
  std::string target_;
  std::string temp_;
  std::string keptCopy_;
  std::string folder_;
  std::size_t used_ = 0;
  bool inPlace_ = false;
  std::string content_;  // in place: the whole new text, written at Commit()
  char buf_[64 * 1024];
};

}  // namespace luckyscope

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
// reserves the new size on the disk before it overwrites the old bytes. Links are
// followed only where the kernel's link protection lets open() follow them.

#include <cstddef>
#include <string>
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

class PieceReader {
 public:
  PieceReader() = default;
  ~PieceReader();
  PieceReader(const PieceReader&) = delete;
  PieceReader& operator=(const PieceReader&) = delete;

  // False when the path is empty, missing, unreadable or not a regular file.
  bool Open(const char* path);
  void Close();

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
// line. failAtStep 0 never fails.
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
  // written, or a name that is not a regular file (a folder, a device).
  bool Open(const char* path);

  // Appends the text and CR LF as one write; false once any write has failed (and
  // every later call fails too).
  bool WriteLine(const char* text);
  // Appends the bytes as they are, no line end added, as one step (a file that is not
  // text, such as a workbook); false once any write has failed.
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

  const WriteFault* fault_;
  int steps_ = 0;
  int fd_ = -1;
  bool failed_ = false;
  int error_ = 0;
  std::string target_;
  std::string temp_;
  std::string folder_;
  std::size_t used_ = 0;
  bool inPlace_ = false;
  std::string content_;  // in place: the whole new text, written at Commit()
  char buf_[64 * 1024];
};

}  // namespace luckyscope

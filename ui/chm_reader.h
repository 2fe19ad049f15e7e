#pragma once
// Reads a compiled HTML help file (.chm) into memory: its pages, pictures and the
// default topic. No Qt, so that a fuzz target can drive it alone.
//
// chmlib does not survive every damaged file (a few flipped bytes can make it read
// through a wild pointer), and the help file is whatever lies in the user's folder.
// Both opens first check the file's structure themselves (CheckLayout), which turns
// away the damage that chmlib trusts blindly. Open() then lets chmlib read the file in
// a short-lived child process and takes the objects back through a pipe, so that what
// is left (damaged compressed data) only means "no help file". OpenInProcess() is the
// same reading without the child, for the child itself and for fuzzing.

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace luckyscope {

class ChmReader {
 public:
  // Limits for one file: help files are a few hundred kilobytes; anything far beyond
  // is not read.
  static constexpr std::size_t kMaxObjectBytes = 32u << 20;
  static constexpr std::size_t kMaxTotalBytes = 128u << 20;
  static constexpr int kTimeoutMs = 10000;

  // Reads the file; false (and an empty reader) for a missing, empty, unreadable or
  // damaged file, or one that is not a regular file.
  bool Open(const std::string& path);
  bool OpenInProcess(const std::string& path);

  bool IsOpen() const { return open_; }
  // Path of the first page to show, e.g. "/top.html" (possibly with "#anchor"): the
  // default topic of the file; without one, the first page of the contents file;
  // without that, "/index.html". Empty when none of these is in the file.
  const std::string& DefaultTopic() const { return defaultTopic_; }
  // The title the help file gives itself, as stored (empty when none).
  const std::string& Title() const { return title_; }
  // The bytes of an object, looked up without regard to letter case (as help viewers
  // do); a leading '/' may be left out. Nothing when there is no such object.
  std::optional<std::string> ReadObject(std::string_view path) const;
  std::size_t ObjectCount() const { return objects_.size(); }

  // Whether the container's structure is sound enough to hand the file to chmlib:
  // headers, directory chunks and their entries, the chunk chain and index (no cycles),
  // and the compressed section's control data and reset table, all within the file.
  // chmlib trusts these fields; a few damaged bytes there make it divide by zero,
  // allocate gigabytes or loop forever. Both opens refuse a file that fails it.
  static bool CheckLayout(std::string_view file);

  // Pieces of the reading, public for tests and fuzzing.
  // Record `code` of a "/#SYSTEM" object (record 2 = default topic, 3 = title,
  // 0 = contents file), up to its terminating NUL; nothing when absent or malformed.
  static std::optional<std::string> SystemRecord(std::string_view system, int code);
  // The first page named by a contents file (the value of its first "Local" param).
  static std::optional<std::string> FirstContentsPage(std::string_view contents);
  // "/a/b.html" for "a/b.html", "/a/b.html", "a\b.html"; "" for an empty name.
  static std::string NormalizePath(std::string_view name);

 private:
  void Clear();
  void Adopt(std::map<std::string, std::string> objects);
  // Whether an object exists for a topic path that may carry "#anchor".
  bool HasTopic(const std::string& topic) const;

  bool open_ = false;
  std::map<std::string, std::string> objects_;  // key: path in lower case
  std::string defaultTopic_;
  std::string title_;
};

}  // namespace luckyscope

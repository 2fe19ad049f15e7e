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
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace luckyscope {

class ChmReader {
 public:
  // Limits for one file. The program's own help is about 35 KB; these leave room for
  // help files a hundred times larger and stop a small file built to expand to more
  // than memory and the viewer can take.
  static constexpr std::size_t kMaxObjectBytes = 4u << 20;      // one page or picture: larger ones are left out
  static constexpr std::size_t kMaxTotalBytes = 8u << 20;       // all pages and pictures kept: beyond, no file
  static constexpr std::uint64_t kMaxSectionBytes = 32u << 20;  // the compressed section, expanded: beyond, no file
  // How long the program waits for the reading child at most: a help file within the
  // limits reads in a small fraction of this.
  static constexpr int kTimeoutMs = 4000;

  // Reads the file; false (and an empty reader) for a missing, empty, unreadable or
  // damaged file, one that is not a regular file, or one beyond the limits above
  // (TooLarge() then tells so).
  bool Open(const std::string& path);
  bool OpenInProcess(const std::string& path);

  bool IsOpen() const { return open_; }
  // Whether the last Open refused the file for what it would expand to.
  bool TooLarge() const { return tooLarge_; }
  // Whether the file holds an object at `path` that was left out for its size.
  bool Oversized(std::string_view path) const;
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
  // `expanded`, when given, receives the size of the compressed section's contents.
  static bool CheckLayout(std::string_view file, std::uint64_t* expanded = nullptr);

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
  // Open and OpenInProcess: the checks, then `read` (in a child or here), then the objects kept.
  template <typename Read>
  bool OpenWith(const std::string& path, Read read);
  void Adopt(std::map<std::string, std::string> objects, const std::set<std::string>& oversized);
  // The checks before chmlib sees the file; false (with tooLarge_ set for a file beyond
  // the limits) when it is not to be read.
  bool Prepare(const std::string& path);
  // Whether an object exists for a topic path that may carry "#anchor".
  bool HasTopic(const std::string& topic) const;

  bool open_ = false;
  bool tooLarge_ = false;
  std::map<std::string, std::string> objects_;  // key: path in lower case
  std::set<std::string> oversized_;             // paths in lower case
  std::string defaultTopic_;
  std::string title_;
};

}  // namespace luckyscope

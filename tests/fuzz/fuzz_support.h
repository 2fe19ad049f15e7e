#pragma once
// Helpers of the fuzz targets: the readers under test take file names, so each input
// is put into a file first. A memory file (memfd) named through /proc/self/fd serves
// the readers that take any path; the settings file must sit in a folder under its
// own name, so a private temporary folder serves that one.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace luckyscope::fuzz {

// Stops the run with a message: libFuzzer reports the abort as a finding and keeps the
// input that caused it.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

inline void Check(bool condition, const char* what) {
  if (!condition) Fail(what);
}

// True when `text` ends within `size` bytes: every field of the store must stay
// terminated inside its buffer.
inline bool Terminated(const char* text, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    if (text[i] == '\0') return true;
  }
  return false;
}

// One file in memory, rewritten for every input.
class MemoryFile {
 public:
  MemoryFile() {
    fd_ = ::memfd_create("luckyscope-fuzz", MFD_CLOEXEC);
    if (fd_ < 0) Fail("memfd_create");
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  ~MemoryFile() { ::close(fd_); }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  // Replaces the contents with the bytes; returns the path that opens them.
  const char* Put(const std::uint8_t* data, std::size_t size) {
    if (::ftruncate(fd_, 0) != 0) Fail("ftruncate");
    std::size_t done = 0;
    while (done < size) {
      const ssize_t n = ::pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
      if (n <= 0) Fail("pwrite");
      done += static_cast<std::size_t>(n);
    }
    return path_.c_str();
  }

 private:
  int fd_ = -1;
  std::string path_;
};

// A private folder for the run, removed at exit: under $TMPDIR when it is set (the
// fuzz script points it at a folder it removes, even after a crash), else in shared
// memory when there is some, so that files written there cost no disk.
inline const std::string& ScratchFolder() {
  static const std::string folder = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp != nullptr && tmp[0] != '\0' ? tmp : ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = base + "/luckyscope-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) Fail("mkdtemp");
    return pattern;
  }();
  static const struct Remover {
    ~Remover() {
      const std::string cmd = "rm -rf '" + folder + "'";
      if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", folder.c_str());
    }
  } remover;
  return folder;
}

// Writes the bytes to `path` whole.
inline void PutFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) Fail("fopen");
  if (size > 0 && std::fwrite(data, 1, size, f) != size) Fail("fwrite");
  if (std::fclose(f) != 0) Fail("fclose");
}

}  // namespace luckyscope::fuzz

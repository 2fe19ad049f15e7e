#pragma once
// A small tmpfs mounted for one test, to make a real full disk or a real read-only
// folder (running as root, chmod does not stop writing). Needs the right to mount;
// tests skip with the reason where the machine does not give it.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace luckyscope::testing {

class SmallMount {
 public:
  // Mounts a tmpfs of `size` (e.g. "64k") at `at`, made if missing. Check Ok().
  SmallMount(std::string at, const char* size) : at_(std::move(at)) {
    ::mkdir(at_.c_str(), 0755);
    const std::string options = std::string("size=") + size + ",mode=0755";
    if (::mount("tmpfs", at_.c_str(), "tmpfs", 0, options.c_str()) == 0) {
      mounted_ = true;
    } else {
      error_ = std::strerror(errno);
    }
  }
  ~SmallMount() {
    if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
  }
  SmallMount(const SmallMount&) = delete;
  SmallMount& operator=(const SmallMount&) = delete;

  bool Ok() const { return mounted_; }
  const std::string& Error() const { return error_; }
  const std::string& Path() const { return at_; }

  bool ReadOnly(bool on) {
    const unsigned long flags = MS_REMOUNT | (on ? MS_RDONLY : 0);
    return ::mount(nullptr, at_.c_str(), nullptr, flags, nullptr) == 0;
  }

  // Fills the free space with a file of that name, leaving about `leave` bytes.
  void Fill(const std::string& name, std::size_t leave = 0) {
    FILE* f = std::fopen((at_ + "/" + name).c_str(), "wb");
    if (f == nullptr) return;
    const std::string block(leave > 0 ? 256 : 4096, 'z');
    std::size_t written = 0;
    while (std::fwrite(block.data(), 1, block.size(), f) == block.size() && std::fflush(f) == 0) {
      written += block.size();
    }
    std::fclose(f);
    if (leave > 0 && written > leave) ::truncate((at_ + "/" + name).c_str(), static_cast<off_t>(written - leave));
  }

 private:
  std::string at_;
  bool mounted_ = false;
  std::string error_;
};

}  // namespace luckyscope::testing

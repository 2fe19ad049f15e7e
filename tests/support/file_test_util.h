#pragma once
// Helpers of the tests that read and write files: temporary folders, a data core in a
// folder of its own, a notifier that records the messages, and whole-file reads and
// writes.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "core/data_core.h"
#include "tests/support/store_builders.h"

namespace luckyscope::testing {

struct RecordingNotifier : CoreNotifier {
  std::vector<CoreMessage> messages;
  // The settings saves that failed for another reason than a full disk: path, errno.
  std::vector<std::pair<std::string, int>> settingsFailures;
  void ShowCoreMessage(CoreMessage message) override { messages.push_back(message); }
  void ShowSettingsSaveFailure(const char* path, int errorNumber) override {
    settingsFailures.emplace_back(path, errorNumber);
  }
  std::vector<std::string> tooLarge;  // data files refused for their size
  void ShowFileTooLarge(const char* path) override { tooLarge.emplace_back(path); }
};

inline void PutFile(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

inline std::string GetFile(const std::string& path) {
  std::string out;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return "<missing>";
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  std::fclose(f);
  return out;
}

// A new folder under /tmp whose name starts with `prefix`; empty when none could be made.
inline std::string MakeTempFolder(const std::string& prefix) {
  std::string pattern = "/tmp/" + prefix + "-XXXXXX";
  return ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

// Removes a folder and everything in it; true when it went.
inline bool RemoveFolder(const std::string& folder) { return std::system(("rm -rf '" + folder + "'").c_str()) == 0; }

inline bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// Names in a folder, without "." and "..", sorted.
inline std::vector<std::string> ListFolder(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* d = ::opendir(folder.c_str())) {
    while (dirent* e = ::readdir(d)) {
      std::string n = e->d_name;
      if (n != "." && n != "..") names.push_back(n);
    }
    ::closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

class CoreInFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = MakeTempFolder("luckyscope-test");
    ASSERT_FALSE(dir.empty());
    stateDir = MakeTempFolder("luckyscope-state");  // for the copies that saves in place keep
    ASSERT_EQ(::setenv("XDG_STATE_HOME", stateDir.c_str(), 1), 0);
    core = std::make_unique<DataCore>(&notifier);
    ASSERT_EQ(core->InitBaseFolder(dir.c_str()), 0);
    core->ResetAll();
  }
  void TearDown() override {
    core.reset();
    ASSERT_TRUE(RemoveFolder(dir));
    ASSERT_TRUE(RemoveFolder(stateDir));
  }
  std::string In(const std::string& name) const { return dir + "/" + name; }

  void AddTarget(const char* name, const char* group, const char* number) {
    AppendTarget(core->Store(), testing::Target(name, group, number));
  }
  void AddEntry(const char* title, std::initializer_list<std::pair<std::string, std::string>> pairs) {
    AppendEntry(core->Store(), testing::Entry(title, pairs));
  }
  const SearchTarget& Target(int regNo) const { return core->Store().TargetSlots()[regNo - 1]; }
  const WinningEntry& Entry(int regNo) const { return core->Store().WinningSlots()[regNo - 1]; }

  std::string dir;
  std::string stateDir;
  RecordingNotifier notifier;
  std::unique_ptr<DataCore> core;
};

}  // namespace luckyscope::testing

#pragma once
// Helpers of the data-file and settings tests: a data core in a temporary folder of
// its own, a notifier that records the messages, and whole-file reads and writes.

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

namespace luckyscope::testing {

struct RecordingNotifier : CoreNotifier {
  std::vector<CoreMessage> messages;
  void ShowCoreMessage(CoreMessage message) override { messages.push_back(message); }
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
    char pattern[] = "/tmp/luckyscope-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir = pattern;
    core = std::make_unique<DataCore>(&notifier);
    ASSERT_EQ(core->InitBaseFolder(dir.c_str()), 0);
    core->ResetAll();
  }
  void TearDown() override {
    core.reset();
    std::string cmd = "rm -rf '" + dir + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
  }
  std::string In(const std::string& name) const { return dir + "/" + name; }

  void AddTarget(const char* name, const char* group, const char* number) {
    SearchTarget t{};
    std::snprintf(t.name, sizeof t.name, "%s", name);
    std::snprintf(t.group, sizeof t.group, "%s", group);
    std::snprintf(t.number, sizeof t.number, "%s", number);
    LotteryStore& s = core->Store();
    s.PutTarget(s.TargetCount() + 1, t);
    s.SetTargetCount(s.TargetCount() + 1);
  }
  void AddEntry(const char* title, std::vector<std::pair<const char*, const char*>> pairs) {
    WinningEntry e{};
    std::snprintf(e.title, sizeof e.title, "%s", title);
    e.pairCount = static_cast<int>(pairs.size());
    for (std::size_t k = 0; k < pairs.size(); ++k) {
      std::snprintf(e.pairs[k].group, sizeof e.pairs[k].group, "%s", pairs[k].first);
      std::snprintf(e.pairs[k].number, sizeof e.pairs[k].number, "%s", pairs[k].second);
    }
    LotteryStore& s = core->Store();
    s.PutWinningEntry(s.WinningCount() + 1, e);
    s.SetWinningCount(s.WinningCount() + 1);
  }
  const SearchTarget& Target(int regNo) const { return core->Store().TargetSlots()[regNo - 1]; }
  const WinningEntry& Entry(int regNo) const { return core->Store().WinningSlots()[regNo - 1]; }

  std::string dir;
  RecordingNotifier notifier;
  std::unique_ptr<DataCore> core;
};

}  // namespace luckyscope::testing

// A save killed at a random moment never leaves a torn file: after every SIGKILL the
// file holds one whole generation, the one from before or a newer one, byte for byte.

#include <chrono>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <random>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "core/data_core.h"
#include "tests/support/file_test_util.h"
#include "tests/system/save_loop_format.h"

#ifndef SAVE_LOOP_EXE
#error "SAVE_LOOP_EXE must name the save_loop helper"
#endif

namespace luckyscope::testing {
namespace {

// Generation of a file written by save_loop, read from its first name; -1 when the
// file does not start like one.
long GenerationOf(const std::string& bytes) {
  long generation = -1;
  if (std::sscanf(bytes.c_str(), "\"gen%8ld ", &generation) != 1) return -1;
  return generation;
}

// Removes the temporary files that killed saves left behind; returns how many.
int RemoveLeftovers(const std::string& folder) {
  int count = 0;
  for (const std::string& name : ListFolder(folder)) {
    if (name.rfind(".luckyscope-save-", 0) == 0) {
      ::unlink((folder + "/" + name).c_str());
      ++count;
    }
  }
  return count;
}

TEST_F(CoreInFolder, KilledSavesLeaveTheOldOrTheNewFileWhole) {
  const std::string file = In("tickets.dat");
  std::mt19937 random(std::random_device{}());
  const unsigned seed = random();
  random.seed(seed);
  std::uniform_int_distribution<int> delayUs(0, 60000);

  // A bounded number of rounds, cut short on a slow machine (sanitizer builds): the
  // figure that matters is that every round found a whole file.
  constexpr int kRounds = 300;
  const auto stopAt = std::chrono::steady_clock::now() + std::chrono::seconds(90);
  long newest = -1;  // newest whole generation seen so far
  int rounds = 0, torn = 0, missing = 0, kept = 0, advanced = 0, midSave = 0;
  for (; rounds < kRounds && std::chrono::steady_clock::now() < stopAt; ++rounds) {
    const std::string next = std::to_string(newest + 1);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::execl(SAVE_LOOP_EXE, SAVE_LOOP_EXE, file.c_str(), next.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "save_loop ended by itself, status " << status;

    midSave += RemoveLeftovers(dir) > 0;
    const std::string bytes = GetFile(file);
    if (bytes == "<missing>") {
      // Only before the very first save has finished.
      EXPECT_EQ(newest, -1) << "the file vanished in round " << rounds;
      ++missing;
      continue;
    }
    const long generation = GenerationOf(bytes);
    const bool whole = generation >= 0 && bytes == ExpectedTargetFile(generation);
    if (!whole || generation < newest) {
      ++torn;
      ADD_FAILURE() << "round " << rounds << " (seed " << seed << "): " << bytes.size() << " bytes, generation "
                    << generation << ", newest before " << newest;
      continue;
    }
    (generation == newest ? kept : advanced) += 1;
    newest = generation;
  }
  // The last file also loads as a whole table.
  ASSERT_GE(newest, 0) << "no save finished in " << rounds << " rounds";
  ASSERT_EQ(core->ReadTargetFile(file.c_str()), 0);
  EXPECT_EQ(core->Store().TargetCount(), kLoopTargets);

  std::printf(
      "kill-during-save: %d rounds (seed %u): %d kept the old file, %d found a newer whole file, "
      "%d before any save, %d torn; %d kills landed mid-save (temporary file left)\n",
      rounds, seed, kept, advanced, missing, torn, midSave);
  RecordProperty("rounds", rounds);
  RecordProperty("torn", torn);
  RecordProperty("killed_mid_save", midSave);
  EXPECT_EQ(torn, 0);
  EXPECT_GE(rounds, 20);
}

}  // namespace
}  // namespace luckyscope::testing

// Reading and writing a full search-target file (10,000 targets), a full winning-number
// file (32 entries of 32 pairs), and loading and saving the settings file. Every save
// goes through the temporary file, fsync and rename, so the write figures include the
// sync of this machine's disk.

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include "core/data_core.h"

namespace {

using luckyscope::DataCore;

// One temporary folder for the whole run, removed at exit.
const std::string& Folder() {
  static struct TempFolder {
    std::string path;
    TempFolder() {
      char pattern[] = "/tmp/luckyscope-bench-XXXXXX";
      path = ::mkdtemp(pattern) ? pattern : "/tmp";
    }
    ~TempFolder() {
      if (path != "/tmp") std::system(("rm -rf '" + path + "'").c_str());
    }
  } folder;
  return folder.path;
}

std::unique_ptr<DataCore> FullCore() {
  auto core = std::make_unique<DataCore>();
  core->InitBaseFolder(Folder().c_str());
  core->ResetAll();
  luckyscope::LotteryStore& s = core->Store();
  for (int i = 0; i < luckyscope::kMaxTargets; ++i) {
    luckyscope::SearchTarget t{};
    std::snprintf(t.name, sizeof t.name, "\x8e\x52\x93\x63 \x91\xbe\x98\x59 %05d", i);
    std::snprintf(t.group, sizeof t.group, "%02d", i % 100);
    std::snprintf(t.number, sizeof t.number, "%06d", (i * 7919) % 1000000);
    s.PutTarget(i + 1, t);
  }
  s.SetTargetCount(luckyscope::kMaxTargets);
  for (int j = 0; j < luckyscope::kMaxWinningEntries; ++j) {
    luckyscope::WinningEntry e{};
    std::snprintf(e.title, sizeof e.title, "%d\x93\x99", j + 1);
    e.pairCount = luckyscope::kMaxPairs;
    for (int k = 0; k < luckyscope::kMaxPairs; ++k) {
      std::snprintf(e.pairs[k].group, sizeof e.pairs[k].group, "%s", k % 2 ? "*" : "12");
      std::snprintf(e.pairs[k].number, sizeof e.pairs[k].number, "*%04d", j * 32 + k);
    }
    s.PutWinningEntry(j + 1, e);
  }
  s.SetWinningCount(luckyscope::kMaxWinningEntries);
  return core;
}

std::string PathOf(const char* name) { return Folder() + "/" + name; }

void BM_WriteTargetFile(benchmark::State& state) {
  auto core = FullCore();
  luckyscope::SystemSettings settings{};
  settings.saveResults = static_cast<int>(state.range(0));
  core->SetSettings(settings);
  core->RunSearch();
  const std::string path = PathOf("targets.dat");
  for (auto _ : state) benchmark::DoNotOptimize(core->WriteTargetFile(path.c_str()));
  state.SetLabel(settings.saveResults ? "with results" : "three fields");
}
BENCHMARK(BM_WriteTargetFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ReadTargetFile(benchmark::State& state) {
  auto core = FullCore();
  const std::string path = PathOf("read.dat");
  core->WriteTargetFile(path.c_str());
  for (auto _ : state) benchmark::DoNotOptimize(core->ReadTargetFile(path.c_str()));
  if (core->Store().TargetCount() != luckyscope::kMaxTargets) state.SkipWithError("short read");
}
BENCHMARK(BM_ReadTargetFile)->Unit(benchmark::kMillisecond);

void BM_WriteWinningFile(benchmark::State& state) {
  auto core = FullCore();
  const std::string path = PathOf("winning.ban");
  for (auto _ : state) benchmark::DoNotOptimize(core->WriteWinningFile(path.c_str()));
}
BENCHMARK(BM_WriteWinningFile)->Unit(benchmark::kMicrosecond);

void BM_ReadWinningFile(benchmark::State& state) {
  auto core = FullCore();
  const std::string path = PathOf("read.ban");
  core->WriteWinningFile(path.c_str());
  for (auto _ : state) benchmark::DoNotOptimize(core->ReadWinningFile(path.c_str()));
  if (core->Store().WinningCount() != luckyscope::kMaxWinningEntries) {
    state.SkipWithError("short read");
  }
}
BENCHMARK(BM_ReadWinningFile)->Unit(benchmark::kMicrosecond);

void BM_SaveSettingsFile(benchmark::State& state) {
  auto core = std::make_unique<DataCore>();
  core->InitBaseFolder(Folder().c_str());
  luckyscope::SystemSettings s{};
  std::snprintf(s.startupFile, sizeof s.startupFile, "%s/targets.dat", Folder().c_str());
  std::snprintf(s.hitSoundFile, sizeof s.hitSoundFile, "/usr/share/sounds/hit.wav");
  std::snprintf(s.missSoundFile, sizeof s.missSoundFile, "/usr/share/sounds/miss.wav");
  s.saveResults = 1;
  core->SetSettings(s);
  for (auto _ : state) benchmark::DoNotOptimize(core->SaveSettingsFile());
}
BENCHMARK(BM_SaveSettingsFile)->Unit(benchmark::kMicrosecond);

void BM_LoadSettingsFile(benchmark::State& state) {
  auto core = std::make_unique<DataCore>();
  core->InitBaseFolder(Folder().c_str());
  luckyscope::SystemSettings s{};
  std::snprintf(s.logFile, sizeof s.logFile, "check.log");
  std::snprintf(s.missSoundFile, sizeof s.missSoundFile, "/usr/share/sounds/miss.wav");
  core->SetSettings(s);
  core->SaveSettingsFile();
  for (auto _ : state) benchmark::DoNotOptimize(core->LoadSettingsFile());
}
BENCHMARK(BM_LoadSettingsFile)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

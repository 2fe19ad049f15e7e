// The main window at full load, through its real widgets (offscreen): 10,000 tickets
// against 32 winning entries of 32 pairs.
//  - SearchAndRefill: the search command with the filter at "全表示": the search, the
//    refill of the search-target list with every ticket and its hit type, and the
//    window settling (the message is answered at once).
//  - SortByName: one click on the "名前" header of the 10,000-row list.
// Goals: search and refill <= 50 ms, sort <= 100 ms.
// Run: build/default/tests/bench/bench_main_window

#include <cstdio>
#include <memory>
#include <random>
#include <string>

#include <QApplication>
#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include "app/core_notifier.h"
#include "app/sdi_app_form.h"
#include "core/data_core.h"
#include "core/text_util.h"
#include "tests/support/list_gestures.h"
#include "tests/support/scripted_ui_services.h"
#include "ui/cp932_codec.h"
#include "ui/report_list.h"

namespace luckyscope {
namespace {

// Answers every message with OK and cancels every file dialog.
class AnsweringUi final : public UiServices {
 public:
  int MessageBox(const QString&, const QString&, MessageFlags) override { return kAnswerOk; }
  std::optional<std::string> OpenFileDialog(const FileDialogPreset&) override { return std::nullopt; }
  std::optional<std::string> SaveFileDialog(const FileDialogPreset&) override { return std::nullopt; }
  void HelpDisplayTopic(const std::string&) override {}
  void HelpCloseAll() override {}
  bool OpenUrl(const QString&) override { return true; }
  SoundBackend& Sound() override { return sound_; }
  bool RunWithProgress(const QString&, int, const BackgroundJob& job) override {
    JobProgress progress;
    job(progress);
    return true;
  }

 private:
  RecordingSoundBackend sound_;  // plays nothing
};

QApplication& Application() {
  static int argc = 1;
  static char name[] = "bench_main_window";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication app(argc, argv);
  return app;
}

std::string Digits(std::mt19937& rng, int count) {
  std::string s;
  for (int i = 0; i < count; ++i) s += static_cast<char>('0' + rng() % 10);
  return s;
}

// Names as people type them: family names in kanji or kana, and romaji in either case.
std::string Name(std::mt19937& rng, int n) {
  static const char* const kFamilies[] = {"山田", "佐藤", "鈴木", "たかはし", "田中", "伊藤", "ワタナベ", "中村"};
  static const char* const kRomaji[] = {"yamada", "Sato", "SUZUKI", "takahashi", "Tanaka", "ito"};
  std::string utf8 = rng() % 3 == 0 ? kRomaji[rng() % 6] : kFamilies[rng() % 8];
  utf8 += " " + std::to_string(n % 977);
  return ToCp932(QString::fromStdString(utf8));
}

struct Loaded {
  AnsweringUi ui;
  UiCoreNotifier notifier{ui};
  DataCore core{&notifier};
  std::unique_ptr<TSDIAppForm> form;

  Loaded() {
    Application();
    LotteryStore& store = core.Store();
    store.ClearTargets();
    store.ClearWinningEntries();
    std::mt19937 rng(2024);
    for (int n = 1; n <= kMaxTargets; ++n) {
      SearchTarget t{};
      CopyCut(t.name, Name(rng, n).c_str());
      char group[8];
      std::snprintf(group, sizeof group, "%02u", 1 + static_cast<unsigned>(rng() % 99));
      CopyCut(t.group, group);
      CopyCut(t.number, Digits(rng, 6).c_str());
      store.PutTarget(n, t);
    }
    store.SetTargetCount(kMaxTargets);
    for (int e = 1; e <= kMaxWinningEntries; ++e) {
      WinningEntry entry{};
      CopyCut(entry.title, ToCp932(QStringLiteral("%1等").arg(e)).c_str());
      entry.pairCount = kMaxPairs;
      for (int p = 0; p < kMaxPairs; ++p) {
        // Exact numbers and suffixes of 2 to 5 digits, with the group "*" or exact.
        const int digits = 2 + static_cast<int>(rng() % 5);
        const std::string number = digits >= 6 ? Digits(rng, 6) : "*" + Digits(rng, digits);
        char group[8];
        std::snprintf(group, sizeof group, "%02u", 1 + static_cast<unsigned>(rng() % 99));
        CopyCut(entry.pairs[p].group, rng() % 2 ? "*" : group);
        CopyCut(entry.pairs[p].number, number.c_str());
      }
      store.PutWinningEntry(e, entry);
    }
    store.SetWinningCount(kMaxWinningEntries);
    form = std::make_unique<TSDIAppForm>(core, ui);
    form->resize(800, 600);
    form->show();
    QCoreApplication::processEvents();
  }
};

Loaded& Load() {
  static Loaded loaded;
  return loaded;
}

void BM_SearchAndRefill(benchmark::State& state) {
  Loaded& l = Load();
  l.form->FormActivate();  // filter at "全表示"
  for (auto _ : state) {
    l.form->Action(QStringLiteral("ExecSch1"))->trigger();
    QCoreApplication::processEvents();
  }
  state.counters["rows"] = l.form->ListView2()->RowCount();
  int hits = 0;
  for (int r = 0; r < l.form->ListView2()->RowCount(); ++r) hits += !l.form->ListView2()->Text(r, 4).isEmpty();
  state.counters["hits"] = hits;
}
BENCHMARK(BM_SearchAndRefill)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_SortByName(benchmark::State& state) {
  Loaded& l = Load();
  l.form->FormActivate();
  testing::PickFilter(*l.form, 0);
  for (auto _ : state) {
    state.PauseTiming();
    // Back to registration order, so every sort starts from the same rows.
    l.form->FormActivate();
    l.form->FillSearchList(FillMode::ShowAll, 0);
    QCoreApplication::processEvents();
    state.ResumeTiming();
    testing::ClickColumnHeader(*l.form, 2);
    QCoreApplication::processEvents();
  }
  state.counters["rows"] = l.form->ListView2()->RowCount();
}
BENCHMARK(BM_SortByName)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace
}  // namespace luckyscope

BENCHMARK_MAIN();

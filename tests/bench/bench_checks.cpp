// The count check at full size: opening it (activation with both lists filled, then
// the first paint) and switching the view (both lists refilled), with 10,000 tickets.
// Spread: random six-digit numbers; Crowded: every number ends in 0, so the first
// picked value lists all 10,000 tickets.
// Run: build/default/tests/bench/bench_checks   (QT_QPA_PLATFORM=offscreen is set for you)
#include <cstdio>
#include <cstring>
#include <random>

#include <QApplication>
#include <QComboBox>
#include <benchmark/benchmark.h>

#include "checks/cnt_check_dlg.h"
#include "core/data_core.h"
#include "ui/qt_ui_services.h"

namespace {

using namespace luckyscope;

void FillTargets(DataCore& core, bool crowded) {
  std::mt19937 random(12345);
  std::uniform_int_distribution<int> six(0, 999999);
  SearchTarget target{};
  for (int regNo = 1; regNo <= kMaxTargets; ++regNo) {
    const int number = crowded ? six(random) / 10 * 10 : six(random);
    std::snprintf(target.number, sizeof target.number, "%06d", number);
    std::snprintf(target.group, sizeof target.group, "%02d", regNo % 100);
    // A name in CP932: "山田" and the registration number.
    std::snprintf(target.name, sizeof target.name, "\x8E\x52\x93\x63 %d", regNo);
    core.Store().PutTarget(regNo, target);
  }
  core.Store().SetTargetCount(kMaxTargets);
}

void BM_CountCheckOpen(benchmark::State& state) {
  DataCore core;
  FillTargets(core, state.range(0) != 0);
  QtUiServices ui(nullptr);
  TCntCheckDlg dlg(core, ui);
  for (auto _ : state) {
    dlg.show();
    QCoreApplication::processEvents();
    state.PauseTiming();
    dlg.hide();
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_CountCheckOpen)->ArgName("crowded")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_CountCheckSwitchView(benchmark::State& state) {
  DataCore core;
  FillTargets(core, state.range(0) != 0);
  QtUiServices ui(nullptr);
  TCntCheckDlg dlg(core, ui);
  dlg.show();
  QCoreApplication::processEvents();
  auto* combo = dlg.findChild<QComboBox*>(QStringLiteral("ComboBox1"));
  for (auto _ : state) {
    combo->setCurrentIndex(1 - combo->currentIndex());
    QCoreApplication::processEvents();
  }
  dlg.hide();
}
BENCHMARK(BM_CountCheckSwitchView)->ArgName("crowded")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

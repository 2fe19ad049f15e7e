// Fifty single-card scans chosen at once, from the file dialog to the confirmation
// dialog (generated 300 dpi PNG cards):
//  - Command/again:0: a new command, as at the first reading of a session: the readers
//    are made (their models loaded) before the cards are read.
//  - Command/again:1: the same command once more: the readers made before are used.
//  Both with the real progress box (Qt services, offscreen) and the confirmation's rows.
//  - Readers/<n>: the reading alone with n readers kept loaded (1 is one image at a
//    time, the way the command read before; the decoding of the next image overlaps).
// Each also reports cpu_s: the processor time of all the program's threads per
// iteration, which on a busy shared machine tells more than the wall clock (on an idle
// machine with n cores the wall time is at least cpu_s / n).
// Goal: Command/again:0 <= 3 s on a 2-core machine.
// Run: build/default/tests/bench/bench_scan_command

#include <atomic>
#include <chrono>
#include <memory>
#include <time.h>

#include <QApplication>
#include <QDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

#include "app/scan_command.h"
#include "core/data_core.h"
#include "dialogs/scan_confirm_dlg.h"
#include "scan/scan_loader.h"
#include "tests/scan/postcard_generator.h"
#include "ui/qt_ui_services.h"

namespace luckyscope {
namespace {

constexpr int kCards = 50;

const QStringList& Cards() {
  static QTemporaryDir dir;
  static QStringList paths = [] {
    QStringList made;
    for (int i = 0; i < kCards; ++i) {
      made << dir.filePath(QStringLiteral("card%1.png").arg(i));
      testing::GeneratePostcards(testing::CardVariant::Clean, static_cast<std::uint32_t>(100 + i))
          .image.save(made.back());
    }
    return made;
  }();
  return paths;
}

// Processor seconds of every thread of the program so far.
double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Counts the processor time of the timed iterations.
class CpuCounter {
 public:
  void Start() { start_ = ProcessCpuSeconds(); }
  void Stop() { total_ += ProcessCpuSeconds() - start_; }
  void Report(benchmark::State& state) const {
    state.counters["cpu_s"] = benchmark::Counter(total_, benchmark::Counter::kAvgIterations);
  }

 private:
  double start_ = 0;
  double total_ = 0;
};

// Seconds from the start of the reading to the confirmation on screen; the dialog is
// then closed.
double TimeToConfirmation(ScanCommand& command) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  Clock::time_point shown = start;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<TScanConfirmDlg*>(QApplication::activeModalWidget());
    if (dialog == nullptr || !dialog->isVisible()) return;
    shown = Clock::now();
    poll.stop();
    dialog->reject();
  });
  poll.start(2);
  command.ReadFiles(Cards());
  return std::chrono::duration<double>(shown - start).count();
}

// Argument 0: a new command per reading (the first of a session); 1: one command that
// has read once before.
void BM_Command(benchmark::State& state) {
  DataCore core;
  QtUiServices ui(nullptr);
  QWidget window;
  const bool again = state.range(0) != 0;
  auto kept = std::make_unique<ScanCommand>(core, ui, window, ScanCommand::TargetsChanged());
  if (again) TimeToConfirmation(*kept);
  CpuCounter cpu;
  for (auto _ : state) {
    cpu.Start();
    if (!again) kept = std::make_unique<ScanCommand>(core, ui, window, ScanCommand::TargetsChanged());
    state.SetIterationTime(TimeToConfirmation(*kept));
    cpu.Stop();
  }
  cpu.Report(state);
  state.counters["cards"] = kCards;
}
BENCHMARK(BM_Command)
    ->Name("Command")
    ->ArgName("again")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

void BM_Readers(benchmark::State& state) {
  ScanReaders readers(static_cast<int>(state.range(0)));
  QString error;
  readers.ReadFiles({}, nullptr, nullptr, &error);  // made before the timing
  const QStringList& cards = Cards();
  int read = 0;
  CpuCounter cpu;
  for (auto _ : state) {
    cpu.Start();
    for (const ImageReading& reading : readers.ReadFiles(cards, nullptr, nullptr, &error)) {
      read += static_cast<int>(reading.numbers.size());
    }
    cpu.Stop();
  }
  cpu.Report(state);
  state.counters["numbers"] = benchmark::Counter(read, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_Readers)->Name("Readers")->Arg(1)->Arg(2)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace luckyscope

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

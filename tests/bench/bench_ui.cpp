// The window layer's figures: opening the help window on a compiled help file, and
// filling and sorting the report list at 10,000 rows (the search-target list's size).
// Run: build/default/tests/bench/bench_ui   (QT_QPA_PLATFORM=offscreen is set for you;
// build test_ui first, which compiles the help file)
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QLocale>
#include <benchmark/benchmark.h>

#include "ui/chm_reader.h"
#include "ui/cp932_codec.h"
#include "ui/help_window.h"
#include "ui/list_compare.h"
#include "ui/report_list.h"

namespace {

using namespace luckyscope;

// The help file that the ui tests compile (tests/ui/help_pages) beside this program's
// folder in the build tree.
std::string HelpFile() {
  return (QCoreApplication::applicationDirPath() + QStringLiteral("/../ui/help_pages/with_topic.chm")).toStdString();
}
constexpr int kRows = 10000;

void BM_ChmReaderOpen(benchmark::State& state) {
  const std::string file = HelpFile();
  for (auto _ : state) {
    ChmReader reader;
    if (!reader.Open(file)) state.SkipWithError("help file not readable");
    benchmark::DoNotOptimize(reader.ObjectCount());
  }
}
BENCHMARK(BM_ChmReaderOpen)->Unit(benchmark::kMillisecond);

// From the call to a shown, laid-out first page.
void BM_HelpWindowOpen(benchmark::State& state) {
  const std::string file = HelpFile();
  for (auto _ : state) {
    HelpWindow window;
    if (!window.ShowFile(file)) state.SkipWithError("help file not shown");
    window.show();
    QCoreApplication::processEvents();
    benchmark::DoNotOptimize(window.Browser()->document()->pageCount());
  }
}
BENCHMARK(BM_HelpWindowOpen)->Unit(benchmark::kMillisecond);

// CP932 bytes as the store holds them: a name, a group, a number and a hit type.
struct StoredTicket {
  std::string name, group, number, hit;
};

std::vector<StoredTicket> MakeTickets() {
  std::vector<StoredTicket> tickets;
  tickets.reserve(kRows);
  const std::string family[] = {"\x8E\x52\x93\x63", "\x93\x63\x92\x86", "\x97\xE9\x96\xD8", "Suzuki", "sato"};
  for (int i = 0; i < kRows; ++i) {
    tickets.push_back({family[(i * 7) % 5] + std::to_string((i * 7919) % kRows), std::to_string(10 + i % 90),
                       std::to_string(100000 + (i * 104729) % 900000), i % 13 == 0 ? "\x82\x50\x93\x99" : ""});
  }
  return tickets;
}

void Fill(ReportList& list, const std::vector<StoredTicket>& tickets) {
  list.Clear();
  std::vector<ReportRow> rows;
  rows.reserve(tickets.size());
  for (std::size_t i = 0; i < tickets.size(); ++i) {
    const StoredTicket& t = tickets[i];
    rows.push_back(
        {QString::number(i + 1), {FromCp932(t.name), FromCp932(t.group), FromCp932(t.number), FromCp932(t.hit)}});
  }
  list.AddRows(std::move(rows));
}

// The list the fill and sort benchmarks share. A widget must go before the
// QApplication does: main() drops it once the benchmarks have run.
std::unique_ptr<ReportList> sharedList;

ReportList& MakeList() {
  if (!sharedList) {
    sharedList = std::make_unique<ReportList>();
    ReportList& list = *sharedList;
    list.SetColumns({{QStringLiteral("No."), 40},
                     {QStringLiteral("名前"), 150},
                     {QStringLiteral("組"), 50},
                     {QStringLiteral("番号"), 72},
                     {QStringLiteral("当たり種別"), 90}});
    list.SetMultiSelect(true);
    list.resize(600, 400);
    list.show();
  }
  return *sharedList;
}

// Fill from CP932 bytes (conversion included), then let the view lay itself out.
void BM_ReportListFill(benchmark::State& state) {
  const std::vector<StoredTicket> tickets = MakeTickets();
  ReportList& list = MakeList();
  for (auto _ : state) {
    Fill(list, tickets);
    list.SelectAndFocusRow(0);
    QCoreApplication::processEvents();
  }
  state.counters["rows"] = list.RowCount();
}
BENCHMARK(BM_ReportListFill)->Unit(benchmark::kMillisecond);

// The "No." column: numeric value of the caption.
int CompareNumber(const ReportRow& a, const ReportRow& b, int key) {
  const int x = a.caption.toInt();
  const int y = b.caption.toInt();
  return x == y ? 0 : (x > y ? key : -key);
}

// Arguments: what is sorted (0 the "No." column descending, 1 the name column with
// CompareListItems per pair of rows, as before, 2 the name column as the windows sort it,
// collation keys computed once per row), and the locale (0 the environment's, 1
// Japanese, as the program's users run it).
void BM_ReportListSort(benchmark::State& state) {
  const std::vector<StoredTicket> tickets = MakeTickets();
  ReportList& list = MakeList();
  const int what = static_cast<int>(state.range(0));
  const QLocale before;
  if (state.range(1) == 1) QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
  for (auto _ : state) {
    state.PauseTiming();
    Fill(list, tickets);
    list.SelectAndFocusRow(5);
    QCoreApplication::processEvents();
    state.ResumeTiming();
    if (what == 0) {
      list.SortRows(CompareNumber, -1);
    } else if (what == 1) {
      list.SortRows(CompareListItems, 2);
    } else {
      SortListItems(list, 2);
    }
    QCoreApplication::processEvents();
  }
  state.SetLabel(QStringLiteral("%1, %2")
                     .arg(what == 0   ? QStringLiteral("No. column, descending")
                          : what == 1 ? QStringLiteral("name column, CompareListItems per comparison")
                                      : QStringLiteral("name column, SortListItems"),
                          QLocale().name())
                     .toStdString());
  QLocale::setDefault(before);
}
BENCHMARK(BM_ReportListSort)
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({1, 1})
    ->Args({2, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  sharedList.reset();
  return 0;
}

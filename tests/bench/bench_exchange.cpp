// Tickets to and from other tools at full load, 10,000 tickets:
//  - ImportCsv: read a UTF-8 spreadsheet file (BOM, header, quoted names), guess its
//    layout and take every row into the search targets (replace), CP932 conversion
//    included.
//  - ExportCsv: write the 10,000-row search-target list to csv through the safe save.
//  - WritePdf: the 10,000-row list as a PDF (about 200 A4 pages) with its summary.
// Goals: import and export <= 50 ms each, PDF <= 2 s.
// And import of hostile files, one argument each:
//   0  8 MB name in one row        1  60 MB name in one row
//   2  60 MB header cell           3  60 MB of commas on one line
//   4  1,000,000 short rows (about 20 MB)
//  - ReadSource: the file read and its rows found (what the import keeps).
//  - WholeRows: every row parsed into strings at once, as the reader did before it
//    kept the text and parsed rows when asked; for comparison.
//  - Preview: the dialog prepared (guess, counts, preview), shown and painted once,
//    then closed; stall_ms is the longest time the window's event loop did not run.
//  - Import: the rows taken into the search targets as the layout guess says.
// Goals: stall_ms <= 200; peak
// memory <= 3 x the file size + 100 MB. Peak memory of one case:
//   /usr/bin/time -v build/default/tests/bench/bench_exchange --benchmark_filter='Preview/3/'
// Run: build/default/tests/bench/bench_exchange
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <QApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

#include "core/csv_exchange.h"
#include "core/data_core.h"
#include "core/file_io.h"
#include "dialogs/import_dlg.h"
#include "tests/support/scripted_ui_services.h"
#include "ui/list_export.h"
#include "ui/list_print.h"
#include "ui/report_fonts.h"
#include "ui/report_list.h"

namespace luckyscope {
namespace {

QApplication& Application() {
  static int argc = 1;
  static char name[] = "bench_exchange";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication app(argc, argv);
  return app;
}

const QTemporaryDir& Folder() {
  static QTemporaryDir dir;
  return dir;
}

std::string FilePath(const char* name) {
  return QFile::encodeName(Folder().filePath(QString::fromLatin1(name))).toStdString();
}

std::string SpreadsheetFile() {
  const std::string path = FilePath("in.csv");
  std::string text = "\xEF\xBB\xBF名前,組,番号\r\n";
  for (int i = 0; i < kMaxTargets; ++i) {
    text += (i % 3 == 0 ? "\"山田, 太郎" + std::to_string(i) + "\"" : "さとう花子" + std::to_string(i)) + "," +
            std::to_string(i % 100) + "," + std::to_string(100000 + i) + "\r\n";
  }
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
  return path;
}

ReportList& FullList() {
  Application();
  static ReportList list;
  static bool filled = [] {
    list.SetColumns({{QStringLiteral("No."), 40},
                     {QStringLiteral("名前"), 150},
                     {QStringLiteral("組"), 50},
                     {QStringLiteral("番号"), 72},
                     {QStringLiteral("当たり種別"), 90}});
    std::vector<ReportRow> rows;
    for (int i = 1; i <= kMaxTargets; ++i) {
      rows.push_back({QString::number(i),
                      {QStringLiteral("山田 太郎%1").arg(i), QString::number(i % 100), QString::number(100000 + i),
                       i % 50 == 0 ? QStringLiteral("1等") : QString()}});
    }
    list.AddRows(std::move(rows));
    return true;
  }();
  (void)filled;
  return list;
}

void BM_ImportCsv(benchmark::State& state) {
  Application();
  const std::string path = SpreadsheetFile();
  DataCore core;
  for (auto _ : state) {
    const ImportSource source = ReadImportSource(path.c_str());
    const ImportSummary s = ImportTargets(core, source.rows, GuessLayout(source.rows), ImportMode::Replace,
                                          ImportFieldConverter(source.encoding));
    benchmark::DoNotOptimize(s.added);
  }
}
BENCHMARK(BM_ImportCsv)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_ExportCsv(benchmark::State& state) {
  ReportList& list = FullList();
  ScriptedUiServices ui;
  const std::string path = FilePath("out.csv");
  for (auto _ : state) benchmark::DoNotOptimize(ExportListCsv(ui, list, path));
}
BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_ExportXlsx(benchmark::State& state) {
  ReportList& list = FullList();
  ScriptedUiServices ui;
  const std::string path = FilePath("out.xlsx");
  for (auto _ : state) benchmark::DoNotOptimize(ExportListXlsx(ui, list, path));
}
BENCHMARK(BM_ExportXlsx)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// Cutting the report fonts (regular and bold) to the characters of the full list: what
// a PDF or a print of a new list costs before its first page.
void BM_ReportFonts(benchmark::State& state) {
  ReportList& list = FullList();
  QString text;
  for (int r = 0; r < list.RowCount(); ++r) {
    for (int c = 0; c < list.ColumnCount(); ++c) text += list.Text(r, c);
  }
  for (auto _ : state) {
    ReportFonts fonts(text);
    if (!fonts.Subset()) state.SkipWithError("the font was not cut");
  }
  state.counters["characters"] = static_cast<double>(QSet<QChar>(text.begin(), text.end()).size());
}
BENCHMARK(BM_ReportFonts)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_WritePdf(benchmark::State& state) {
  ReportList& list = FullList();
  DataCore core;
  const std::string path = FilePath("out.pdf");
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        WriteListPdf(MakeListReport(core, list, QStringLiteral("全表示"), QDate::currentDate()), path));
  }
}
BENCHMARK(BM_WritePdf)->Unit(benchmark::kMillisecond)->Iterations(3);

constexpr std::size_t kMegabyte = 1u << 20;

std::string MakeFile(int kind) {
  const std::string path = FilePath(("hostile" + std::to_string(kind) + ".csv").c_str());
  if (QFile::exists(QFile::decodeName(path.c_str()))) return path;
  std::string text;
  switch (kind) {
    case 0:
    case 1:
      text =
          "名前,組,番号\r\n" + std::string((kind == 0 ? 8 : 60) * kMegabyte, 'x') + ",01,123456\r\n山田,02,234567\r\n";
      break;
    case 2:
      text = std::string(60 * kMegabyte, 'h') + ",組,番号\r\n山田,01,123456\r\n";
      break;
    case 3:
      text = std::string(60 * kMegabyte, ',') + "\r\n";
      break;
    default:
      text.reserve(22 * kMegabyte);
      for (int i = 0; i < 1000000; ++i) {
        text += "n" + std::to_string(i) + "," + std::to_string(i % 100) + "," + std::to_string(100000 + i % 900000) +
                "\r\n";
      }
      break;
  }
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
  return path;
}

void BM_ReadSource(benchmark::State& state) {
  const std::string path = MakeFile(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    const ImportSource source = ReadImportSource(path.c_str());
    benchmark::DoNotOptimize(source.rows.size());
  }
}
BENCHMARK(BM_ReadSource)->DenseRange(0, 4)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_WholeRows(benchmark::State& state) {
  const std::string path = MakeFile(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    PieceReader reader;
    reader.Open(path.c_str());
    std::string text;
    char piece[kLineBufferSize];
    for (int n; (n = reader.ReadPiece(piece)) > 0;) text.append(piece, static_cast<std::size_t>(n));
    const std::vector<CsvRow> rows = ParseDelimited(text, DetectSeparator(text));
    benchmark::DoNotOptimize(rows.size());
  }
}
BENCHMARK(BM_WholeRows)->DenseRange(0, 4)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_Preview(benchmark::State& state) {
  Application();
  const std::string path = MakeFile(static_cast<int>(state.range(0)));
  DataCore core;
  ScriptedUiServices ui;
  double longest = 0;  // ms: the longest time the window's event loop did not run
  for (auto _ : state) {
    QElapsedTimer clock;
    qint64 last = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
      longest = std::max(longest, static_cast<double>(clock.elapsed() - last));
      last = clock.elapsed();
    });
    tick.start(10);
    clock.start();
    TImportDlg dialog(core, ui);
    dialog.Prepare(path);
    dialog.show();
    QApplication::processEvents();
    benchmark::DoNotOptimize(dialog.grab().width());
    dialog.reject();
    longest = std::max(longest, static_cast<double>(clock.elapsed() - last));
  }
  state.counters["stall_ms"] = longest;
}
BENCHMARK(BM_Preview)->DenseRange(0, 4)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Import(benchmark::State& state) {
  Application();
  const std::string path = MakeFile(static_cast<int>(state.range(0)));
  const ImportSource source = ReadImportSource(path.c_str());
  DataCore core;
  for (auto _ : state) {
    const ImportSummary s = ImportTargets(core, source.rows, GuessLayout(source.rows), ImportMode::Replace,
                                          ImportFieldConverter(source.encoding));
    benchmark::DoNotOptimize(s.added);
  }
}
BENCHMARK(BM_Import)->DenseRange(0, 4)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace luckyscope

BENCHMARK_MAIN();

// Tickets to and from other tools at full load, 10,000 tickets:
//  - ImportCsv: read a UTF-8 spreadsheet file (BOM, header, quoted names), guess its
//    layout and take every row into the search targets (replace), CP932 conversion
//    included.
//  - ExportCsv: write the 10,000-row search-target list to csv through the safe save.
//  - WritePdf: the 10,000-row list as a PDF (about 200 A4 pages) with its summary.
// Goals: import and export <= 50 ms each, PDF <= 2 s.
// Run: build/default/tests/bench/bench_exchange

#include <cstdio>
#include <string>

#include <QApplication>
#include <QDate>
#include <QSet>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "core/csv_exchange.h"
#include "core/data_core.h"
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

}  // namespace
}  // namespace luckyscope

BENCHMARK_MAIN();

#pragma once
// The search-target list on paper: the rows as the list shows them, under a title (the
// list's data file, or 検索対象 before it has one, and the filter's name) and the date, with page numbers, and at the end how many tickets hit
// each winning entry. The same pages go to the printer (after a preview) and to PDF.

#include <string>
#include <utility>
#include <vector>

#include <QDate>
#include <QString>
#include <QStringList>

class QPagedPaintDevice;
class QWidget;

namespace luckyscope {

class DataCore;
class ReportList;
class UiServices;
struct WriteFault;

struct ListReport {
  QString title;
  QString date;
  QStringList captions;
  std::vector<int> widths;  // relative column widths
  std::vector<QStringList> rows;
  std::vector<std::pair<QString, int>> entryHits;  // winning entry title, tickets that hit it
};

// The list's captions and rows in their order, and the hit count of every winning entry
// from the last search. The title names the list and the filter: "家族.dat（当たり）".
ListReport MakeListReport(const DataCore& core, const ReportList& list, const QString& filter, const QDate& date);

// Paints the report on the device (A4, Japanese in Noto Sans CJK JP, cut to the
// report's characters so that a PDF's text reads back as written: ui/report_fonts.h), a
// new page as each fills. Returns the number of pages.
int PaintListReport(QPagedPaintDevice& device, const ListReport& report);

// Writes the report as a PDF file through the safe writer (core/file_io.h), under its
// rules for links and shared folders; the earlier file of that name stays as it was
// when writing fails. 0, or the system's error number.
int WriteListPdf(const ListReport& report, const std::string& path, const WriteFault* fault = nullptr);

// Shows the print preview; printing from it prints the report. The pages are laid out
// in the background behind the services' progress box, as a long list takes a while.
void PreviewAndPrint(const ListReport& report, UiServices& ui, QWidget* parent);

}  // namespace luckyscope

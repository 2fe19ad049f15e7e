#pragma once
// A report list's rows as the user sees them (its filter and sort), out to other tools:
// as tab-separated text for the clipboard, and as a csv file or an Excel workbook for
// spreadsheets.

#include <string>
#include <vector>

#include <QString>

#include "core/file_io.h"

namespace luckyscope {

class ReportList;
class UiServices;

// The column captions, then the given rows (list positions), one line each, fields
// separated by tabs; a tab or line end inside a field becomes a blank.
QString RowsAsTabText(const ReportList& list, const std::vector<int>& rows);

// The csv text of one line: the fields quoted where they need it, joined by commas.
std::string CsvLine(const QStringList& fields);

// Writes the captions and every row of the list, in its order, to `path`: UTF-8 with a
// byte-order mark, CR LF, quoted fields. Through the safe save, so that a failure leaves
// an earlier file as it was; the failure is shown with its reason. True when written.
bool ExportListCsv(UiServices& ui, const ReportList& list, const std::string& path, const WriteFault* fault = nullptr);

// Writes the captions and every row of the list, in its order, to `path` as an Excel
// workbook (.xlsx, written with libxlsxwriter): one sheet "検索対象", the caption row in bold and
// kept in view, every field a text cell (so that a spreadsheet keeps the leading zeros
// of groups and numbers, and shows them as text, not as numbers with a warning), each
// column as wide as its widest field. Saved and reported as ExportListCsv does.
bool ExportListXlsx(UiServices& ui, const ReportList& list, const std::string& path, const WriteFault* fault = nullptr);

// True when `path` names a workbook (.xlsx, letter case aside); the export writes csv
// otherwise.
bool IsWorkbookPath(const std::string& path);

}  // namespace luckyscope

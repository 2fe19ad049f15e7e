#pragma once
// A report list's rows as the user sees them (its filter and sort), out to other tools:
// as tab-separated text for the clipboard, and as a csv file for spreadsheets.

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

}  // namespace luckyscope

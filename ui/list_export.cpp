#include "ui/list_export.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <xlsxwriter.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "core/csv_exchange.h"
#include "ui/report_list.h"
#include "ui/save_failure.h"

namespace luckyscope {

namespace {

QStringList Captions(const ReportList& list) {
  QStringList captions;
  const QAbstractItemModel* model = list.model();
  for (int c = 0; c < list.ColumnCount(); ++c)
    captions << model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
  return captions;
}

QStringList Fields(const ReportList& list, int row) {
  QStringList fields;
  for (int c = 0; c < list.ColumnCount(); ++c) fields << list.Text(row, c);
  return fields;
}

QString TabField(QString text) {
  text.replace(QLatin1Char('\t'), QLatin1Char(' '));
  text.replace(QLatin1Char('\r'), QLatin1Char(' '));
  text.replace(QLatin1Char('\n'), QLatin1Char(' '));
  return text;
}

// Column widths in a spreadsheet's units, about one half-width character each: a
// full-width character takes two.
double DisplayWidth(const QString& text) {
  double width = 0;
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    const bool halfWidth = u < 0x1100 || (u >= 0xFF61 && u <= 0xFF9F) || c.isLowSurrogate();
    width += halfWidth ? 1 : 2;
  }
  return width;
}

// The workbook, written by libxlsxwriter into a private folder; empty with `error` set
// when the library fails.
std::string WorkbookBytes(const ReportList& list, int& error) {
  errno = 0;
  QTemporaryDir folder;
  if (!folder.isValid()) {
    error = errno != 0 ? errno : EIO;
    return {};
  }
  const QByteArray file = QFile::encodeName(folder.filePath(QStringLiteral("list.xlsx")));
  QByteArray scratch = QFile::encodeName(folder.path());
  lxw_workbook_options options{};
  options.tmpdir = scratch.data();
  lxw_workbook* book = workbook_new_opt(file.constData(), &options);
  if (book == nullptr) {
    error = ENOMEM;
    return {};
  }
  lxw_worksheet* sheet = workbook_add_worksheet(book, "検索対象");
  lxw_format* text = workbook_add_format(book);
  format_set_num_format(text, "@");
  lxw_format* caption = workbook_add_format(book);
  format_set_num_format(caption, "@");
  format_set_bold(caption);

  const QStringList captions = Captions(list);
  std::vector<double> widths(static_cast<std::size_t>(captions.size()), 0);
  const auto put = [&](int row, const QStringList& fields, lxw_format* format) {
    for (int c = 0; c < fields.size(); ++c) {
      widths[static_cast<std::size_t>(c)] = std::max(widths[static_cast<std::size_t>(c)], DisplayWidth(fields.at(c)));
      if (fields.at(c).isEmpty()) continue;
      worksheet_write_string(sheet, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(c),
                             fields.at(c).toUtf8().constData(), format);
    }
  };
  put(0, captions, caption);
  for (int row = 0; row < list.RowCount(); ++row) put(row + 1, Fields(list, row), text);
  for (std::size_t c = 0; c < widths.size(); ++c) {
    worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c), std::min(widths[c] + 2, 80.0),
                         text);
  }
  worksheet_freeze_panes(sheet, 1, 0);
  if (!captions.isEmpty()) {
    char all[LXW_MAX_CELL_RANGE_LENGTH];
    lxw_rowcol_to_range(all, 0, 0, static_cast<lxw_row_t>(list.RowCount()),
                        static_cast<lxw_col_t>(captions.size() - 1));
    worksheet_ignore_errors(sheet, LXW_IGNORE_NUMBER_STORED_AS_TEXT, all);
  }
  errno = 0;
  if (workbook_close(book) != LXW_NO_ERROR) {
    error = errno != 0 ? errno : EIO;
    return {};
  }
  std::ifstream in(file.constData(), std::ios::binary);
  std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (bytes.empty()) error = EIO;
  return bytes;
}

}  // namespace

QString RowsAsTabText(const ReportList& list, const std::vector<int>& rows) {
  QString text;
  auto addLine = [&](const QStringList& fields) {
    for (int i = 0; i < fields.size(); ++i) {
      if (i > 0) text += QLatin1Char('\t');
      text += TabField(fields.at(i));
    }
    text += QLatin1Char('\n');
  };
  addLine(Captions(list));
  for (int row : rows) {
    if (row >= 0 && row < list.RowCount()) addLine(Fields(list, row));
  }
  return text;
}

std::string CsvLine(const QStringList& fields) {
  std::string line;
  for (int i = 0; i < fields.size(); ++i) {
    if (i > 0) line += ',';
    line += CsvQuoted(fields.at(i).toStdString());
  }
  return line;
}

bool ExportListCsv(UiServices& ui, const ReportList& list, const std::string& path, const WriteFault* fault) {
  SafeFileWriter writer(fault);
  bool ok = writer.Open(path.c_str()) && writer.WriteLine(("\xEF\xBB\xBF" + CsvLine(Captions(list))).c_str());
  for (int row = 0; ok && row < list.RowCount(); ++row) ok = writer.WriteLine(CsvLine(Fields(list, row)).c_str());
  ok = ok && writer.Commit();
  if (!ok) {
    const int error = writer.ErrorNumber();
    writer.Abort();
    ShowSaveFailure(ui, path, error);
  }
  return ok;
}

bool ExportListXlsx(UiServices& ui, const ReportList& list, const std::string& path, const WriteFault* fault) {
  int error = 0;
  const std::string bytes = WorkbookBytes(list, error);
  SafeFileWriter writer(fault);
  bool ok = error == 0 && !bytes.empty() && writer.Open(path.c_str()) && writer.Write(bytes.data(), bytes.size());
  ok = ok && writer.Commit();
  if (!ok) {
    if (error == 0) error = writer.ErrorNumber();
    writer.Abort();
    ShowSaveFailure(ui, path, error);
  }
  return ok;
}

bool IsWorkbookPath(const std::string& path) {
  return QFile::decodeName(path.c_str()).endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive);
}

}  // namespace luckyscope

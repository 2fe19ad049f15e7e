#include "ui/list_export.h"

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

}  // namespace luckyscope

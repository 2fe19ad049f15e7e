// The main window's commands that exchange tickets with the user's other tools: import
// from a spreadsheet, export to csv or an Excel workbook, print, PDF and copy. The list goes out as it is
// shown, with its filter and sort.

#include <QClipboard>
#include <QComboBox>
#include <QDate>
#include <QGuiApplication>

#include "app/sdi_app_form.h"
#include "core/csv_exchange.h"
#include "core/data_core.h"
#include "dialogs/import_dlg.h"
#include "ui/list_export.h"
#include "ui/list_print.h"
#include "ui/report_list.h"
#include "ui/save_failure.h"

namespace luckyscope {

namespace {

const QString kNothingToSave = QStringLiteral("保存するデータがありません。");

}  // namespace

FileDialogPreset TSDIAppForm::ExportPreset() {
  return {QStringLiteral("csv"), QStringLiteral("CSVファイル(*.csv)|*.csv|Excelブック(*.xlsx)|*.xlsx")};
}

FileDialogPreset TSDIAppForm::PdfPreset() {
  return {QStringLiteral("pdf"), QStringLiteral("PDFファイル(*.pdf)|*.pdf")};
}

QString TSDIAppForm::FilterName() const {
  const QString name = comboBox1_->currentText();
  return name.isEmpty() ? QStringLiteral("全表示") : name;
}

void TSDIAppForm::FileImport1Execute() {
  if (dialogs_.importDlg.Get() == nullptr) return;
  const std::optional<std::string> path = ui_.OpenFileDialog(TImportDlg::ImportPreset());
  if (path) ImportFile(*path);
}

void TSDIAppForm::ImportFile(const std::string& path) {
  auto* dialog = static_cast<TImportDlg*>(dialogs_.importDlg.Get());
  if (dialog == nullptr || !dialog->Prepare(path)) return;
  if (RunDialog(dialogs_.importDlg) != QDialog::Accepted) return;
  // The rows leave the dialog here and are let go when the import is over.
  const ImportSource source = dialog->TakeSource();
  // A replace waits for the save question: a save that did not happen keeps the old
  // list.
  if (dialog->Mode() == ImportMode::Replace && !flows_.AskSaveTargets()) return;
  ImportSummary summary;
  const auto import = [&] {
    summary =
        ImportTargets(core_, source.rows, dialog->Layout(), dialog->Mode(), ImportFieldConverter(source.encoding));
  };
  // Appended tickets can be taken back with "元に戻す", as deleted ones can.
  if (dialog->Mode() == ImportMode::Append) {
    core_.AppendUndoably(import);
  } else {
    import();
  }
  ShowTargetsAgain();
  const bool leftOut = summary.unencodable + summary.noName + summary.overLimit > 0;
  ui_.MessageBox(ImportSummaryText(summary), kMessageCaption, leftOut ? kExclamationOk : kPlainOk);
}

void TSDIAppForm::FileExport1Execute() {
  if (listView2_->RowCount() == 0) {
    ui_.MessageBox(kNothingToSave, kMessageCaption, kExclamationOk);
    return;
  }
  const std::optional<std::string> path = ui_.SaveFileDialog(ExportPreset());
  if (!path) return;
  // The type the save dialog's filter gave the name (or the name as typed) decides.
  if (IsWorkbookPath(*path)) {
    ExportListXlsx(ui_, *listView2_, *path);
  } else {
    ExportListCsv(ui_, *listView2_, *path);
  }
}

void TSDIAppForm::FilePrint1Execute() {
  PreviewAndPrint(MakeListReport(core_, *listView2_, FilterName(), QDate::currentDate()), ui_, this);
}

void TSDIAppForm::FilePdf1Execute() {
  const std::optional<std::string> path = ui_.SaveFileDialog(PdfPreset());
  if (!path) return;
  const int error = WriteListPdf(MakeListReport(core_, *listView2_, FilterName(), QDate::currentDate()), *path);
  if (error != 0) ShowSaveFailure(ui_, *path, error);
}

void TSDIAppForm::C1Click() {
  const std::vector<int> rows = listView2_->SelectedRows();
  if (rows.empty()) return;
  QGuiApplication::clipboard()->setText(RowsAsTabText(*listView2_, rows));
}

}  // namespace luckyscope

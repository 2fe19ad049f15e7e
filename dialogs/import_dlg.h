#pragma once
// Import dialog "インポート": a ticket list from a spreadsheet (comma-, semicolon- or
// tab-separated, UTF-8 or CP932). It shows the first rows of the file and which columns
// it takes as name, group and number, lets the user change that and whether the first
// row is a header, and ends with "追加" (after the last ticket) or "置き換え" (the whole
// table). Before that it says how many rows hold tickets already in the list (skipped
// unless the user keeps them) and how many numbers or groups a spreadsheet shortened
// (padded with zeros when the user agrees). The main window then takes the rows in
// through the data core.

#include <string>

#include <QDialog>

#include "core/csv_exchange.h"
#include "ui/ui_services.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace luckyscope {

// Field text of a file in `encoding` -> CP932. UTF-8 text with a character CP932 cannot
// hold, and CP932 bytes that do not form characters, are refused.
FieldConverter ImportFieldConverter(TextEncoding encoding);

// The closing message of an import: how many tickets came in, how many rows were left
// out and why.
QString ImportSummaryText(const ImportSummary& summary);

class DataCore;

class TImportDlg : public QDialog {
  Q_OBJECT

 public:
  TImportDlg(const DataCore& core, UiServices& ui, QWidget* parent = nullptr);
  ~TImportDlg() override;

  // Reads the file and guesses its layout. False, after telling the user, when the file
  // cannot be read or holds no rows.
  bool Prepare(const std::string& path);

  // After exec() returned Accepted: what the user chose.
  ImportMode Mode() const { return mode_; }
  ImportLayout Layout() const;
  const ImportSource& Source() const { return source_; }
  // Hands the file's rows over; the dialog keeps none (a closed dialog holds no file).
  ImportSource TakeSource();

  static FileDialogPreset ImportPreset();

  // Controls, for the tests.
  QComboBox* NameBox() const { return nameBox_; }
  QComboBox* GroupBox() const { return groupBox_; }
  QComboBox* NumberBox() const { return numberBox_; }
  QCheckBox* HeaderBox() const { return headerBox_; }
  QCheckBox* PadBox() const { return padBox_; }
  QCheckBox* KeepDuplicatesBox() const { return keepBox_; }
  QLabel* CountsLabel() const { return counts_; }
  QTableWidget* Preview() const { return preview_; }
  QPushButton* AppendBtn() const { return appendBtn_; }
  QPushButton* ReplaceBtn() const { return replaceBtn_; }

 private:
  void BuildControls();
  void Finish(ImportMode mode);
  void done(int result) override;
  // The counts for the columns as now chosen: shortened numbers and duplicates.
  void UpdateCounts();

  const DataCore& core_;
  UiServices& ui_;
  ImportSource source_;
  ImportMode mode_ = ImportMode::Append;
  bool large_ = false;  // the file is read and counted on a worker thread

  QLabel* info_ = nullptr;
  QTableWidget* preview_ = nullptr;
  QComboBox* nameBox_ = nullptr;
  QComboBox* groupBox_ = nullptr;
  QComboBox* numberBox_ = nullptr;
  QCheckBox* headerBox_ = nullptr;
  QLabel* counts_ = nullptr;
  QCheckBox* padBox_ = nullptr;
  QCheckBox* keepBox_ = nullptr;
  PaddingOffer offer_;
  QPushButton* appendBtn_ = nullptr;
  QPushButton* replaceBtn_ = nullptr;
  QPushButton* cancelBtn_ = nullptr;
};

}  // namespace luckyscope

#pragma once
// "はがきから読み取り": the numbers read from scans or photos of postcards, shown for one
// look of confirmation: one row per number found, with the straightened crop beside the
// editable number, group and name, and a check box to take it. A number whose two
// readings disagree is marked and not checked; a card whose number was not found gets
// an empty row to type it in; a ticket already among the search targets (or read twice)
// is marked, counted and not checked. "追加" (also Enter) appends the checked rows to the
// search targets once each of them has a six-digit number; "キャンセル" adds nothing.
// The reading itself is the command's (app/scan_command): this dialog only shows.

#include <string>
#include <vector>

#include <QDialog>
#include <QString>

#include "scan/card_reader.h"

class QCheckBox;
class QGridLayout;
class QLabel;
class QPushButton;

namespace luckyscope {

class ByteLineEdit;
class DataCore;
class UiServices;

// One image file and what was read from it.
struct ScannedImage {
  QString path;
  ImageReading reading;
};

class TScanConfirmDlg : public QDialog {
  Q_OBJECT

 public:
  TScanConfirmDlg(DataCore& core, UiServices& ui, QWidget* parent = nullptr);
  ~TScanConfirmDlg() override;

  // Shows these readings as rows.
  void SetScans(const std::vector<ScannedImage>& scans);

  // The image files the command offers.
  static QString ImageFilter();

  void AddBtnClick();
  void CancelBtnClick();

  // The rows, for the tests and the screenshots.
  struct Row {
    QCheckBox* take = nullptr;
    QLabel* crop = nullptr;
    ByteLineEdit* number = nullptr;
    ByteLineEdit* group = nullptr;
    ByteLineEdit* name = nullptr;
    QLabel* note = nullptr;
    QString readingNote;       // what the reading said about the row
    bool numberTyped = false;  // the number was typed over
    bool duplicate = false;    // shown as already in the list, and not changed since
  };
  const std::vector<Row>& Rows() const { return rows_; }
  // Targets the last "追加" appended, and those that did not fit.
  int Added() const { return added_; }
  int NotFitted() const { return notFitted_; }

 private:
  void ClearRows();
  void AddRow(const QString& name, const FoundNumber* found, const QString& note);
  // The row's note and its colour for what the row holds now.
  void ShowRowState(Row& row);

  DataCore& core_;
  UiServices& ui_;
  QLabel* summary_ = nullptr;
  QGridLayout* grid_ = nullptr;
  QWidget* rowsPanel_ = nullptr;
  QPushButton* addBtn_ = nullptr;
  QPushButton* cancelBtn_ = nullptr;
  std::vector<Row> rows_;
  int added_ = 0;
  int notFitted_ = 0;
};

}  // namespace luckyscope

#pragma once
// "はがきから読み取り": reads the lottery numbers from scans or photos of postcards
// (in a worker thread, behind a progress dialog that can be cancelled) and shows them
// for one look of confirmation: one row per number found, with the straightened crop
// beside the editable number, group and name, and a check box to take it. A number
// whose two readings disagree is marked and not checked; a card whose number was not
// found gets an empty row to type it in. "追加" appends the checked rows to the search
// targets; "キャンセル" adds nothing.

#include <vector>

#include <QDialog>
#include <QString>
#include <QStringList>

#include "scan/card_reader.h"
#include "scan/scan_loader.h"

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

// Reads the files in a worker thread with its own reader, behind a progress dialog
// over parent; the event loop runs meanwhile. Cancelled: empty, *cancelled set. A
// reader that cannot start (the model missing): empty, *error says why.
std::vector<ScannedImage> ReadScans(const QStringList& paths, QWidget* parent, bool* cancelled, QString* error);

class TScanConfirmDlg : public QDialog {
  Q_OBJECT

 public:
  TScanConfirmDlg(DataCore& core, UiServices& ui, QWidget* parent = nullptr);
  ~TScanConfirmDlg() override;

  // The files to open with, asked for with a file dialog when the command runs and
  // given directly when images are dropped. Reads them and shows the dialog; false
  // when nothing was shown (cancelled, or the reader could not start: the user was
  // told).
  bool ReadAndConfirm(const QStringList& paths);

  // Shows these readings as rows (the tests give them directly).
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
  };
  const std::vector<Row>& Rows() const { return rows_; }
  // Targets the last "追加" appended, and those that did not fit.
  int Added() const { return added_; }
  int NotFitted() const { return notFitted_; }

 private:
  void ClearRows();
  void AddRow(const QString& name, const FoundNumber* found, const QString& note);

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

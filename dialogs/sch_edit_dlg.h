#pragma once
// Search-target edit dialog "検索対象エディット": the user types in, changes, browses
// and deletes tickets one at a time, addressed by registration number. All work is
// done on a private copy of the whole table, which only "登録" writes back.

#include <memory>

#include <QDialog>

#include "core/lottery_store.h"

class QPushButton;

namespace luckyscope {

class ByteLineEdit;
class DataCore;
class UiServices;

class TSchEditDlg : public QDialog {
  Q_OBJECT

 public:
  TSchEditDlg(DataCore& core, UiServices& ui, QWidget* parent = nullptr);
  ~TSchEditDlg() override;

  // Event handlers.
  void FormActivate();
  void OKBtnClick();
  void CancelBtnClick();
  void Button1Click();  // "<"
  void Button2Click();  // ">"
  void Memo1Exit();
  // Enter moves the focus along name, group, number and ">"; true when handled.
  bool Memo1KeyDown(int key);
  bool Memo2KeyDown(int key);
  bool Memo3KeyDown(int key);
  bool Memo4KeyDown(int key);

  // The working copy, for the tests: its record count and slot k (1..10000).
  int WorkingCount() const { return workingCount_; }
  const SearchTarget& WorkingSlot(int regNo) const;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // One slot of the working copy: the record's texts (its hit fields stay 0) and the
  // registration number it had when the dialog was shown, 0 for a record typed since.
  struct WorkSlot {
    SearchTarget rec;
    int origin;
  };
  // Hit result of every stored ticket as it was when the dialog was shown.
  struct HitResult {
    std::uint8_t hit;
    std::uint32_t hitMask;
  };

  void BuildControls();
  void ShowSlot(int regNo);
  // Takes the boxes into the working copy at the shown slot. False (nothing changed,
  // the user told) when the registration-number box is empty.
  bool Commit(int& regNo, bool& deleted);
  // ">" without its final move's display; false when nothing could be committed.
  bool CommitAndMoveNext();
  void WriteBack();

  DataCore& core_;
  UiServices& ui_;
  std::unique_ptr<WorkSlot[]> slots_;
  std::unique_ptr<HitResult[]> hitsAtOpen_;
  int workingCount_ = 0;
  int shownSlot_ = 0;  // the slot the boxes were last filled from

  QPushButton* okBtn_ = nullptr;
  QPushButton* cancelBtn_ = nullptr;
  QPushButton* button1_ = nullptr;
  QPushButton* button2_ = nullptr;
  ByteLineEdit* memo1_ = nullptr;
  ByteLineEdit* memo2_ = nullptr;
  ByteLineEdit* memo3_ = nullptr;
  ByteLineEdit* memo4_ = nullptr;
};

}  // namespace luckyscope

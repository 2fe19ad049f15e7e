#pragma once
// What the two editing dialogs (search targets, winning numbers) share: a private
// working copy of a table whose records fill slots 1..count with no gap, shown one slot
// at a time in the record panel, browsed with "<" and ">" or by typing a registration
// number, and written back to the store by "登録" alone. The steps that depend on the
// record (which boxes it fills, when it counts as empty, how it goes back to the store)
// are the overrides.

#include <optional>

#include "ui/dialog_support.h"

class QEvent;
class QObject;
class QPushButton;

namespace luckyscope {

class DataCore;
class UiServices;

class TRecordEditDlg : public ActivatedDialog {
 public:
  // Event handlers.
  void FormActivate() override;
  void OKBtnClick();
  void CancelBtnClick();
  void Button1Click();  // "<"
  void Button2Click();  // ">"
  void Memo1Exit();
  // Enter moves the focus along registration number, name (or title), group, number and
  // the control after the number box; true when handled.
  bool Memo1KeyDown(int key);
  bool Memo2KeyDown(int key);
  bool Memo3KeyDown(int key);
  bool Memo4KeyDown(int key);

  // The working copy's record count, for the tests.
  int WorkingCount() const { return workingCount_; }

 protected:
  TRecordEditDlg(DataCore& core, UiServices& ui, int tableSize, QWidget* parent);

  // Takes the record panel and the two buttons, wires them, and names the control that
  // Enter in the number box goes to.
  void AttachControls(const RecordPanel& panel, QPushButton* okBtn, QPushButton* cancelBtn, QWidget* afterNumber);

  // The record's own steps.
  // Fills the working copy (and workingCount_) from the store; the slot to show first.
  virtual int LoadWorkingCopy() = 0;
  // Fills the boxes other than the registration number from slot regNo.
  virtual void ShowSlot(int regNo) = 0;
  // Takes the boxes into slot regNo; false when the record's name (or title) is empty.
  virtual bool TakeBoxes(int regNo) = 0;
  // Removes record regNo (1..count) from the working copy; the later ones move down.
  virtual void RemoveSlot(int regNo) = 0;
  // The free slot after the records was committed without a name (or title).
  virtual void LeaveFreeSlot(int /*regNo*/) {}
  // Writes the working copy back to the store ("登録").
  virtual void WriteBack() = 0;

  bool eventFilter(QObject* watched, QEvent* event) override;

  // Shows slot regNo: its number in the registration-number box, its texts in the others.
  void Show(int regNo);
  // The shown slot's number held to the records, or nothing (the user told) when the
  // registration-number box is empty.
  std::optional<int> CurrentSlot();
  // Takes the boxes into the working copy at the slot the box names. False (nothing
  // changed, the user told) when the registration-number box is empty.
  bool Commit(int& regNo, bool& deleted);
  // ">" without its final move's display; false when nothing could be committed.
  bool CommitAndMoveNext();

  DataCore& core_;
  UiServices& ui_;
  const int tableSize_;
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
  QWidget* afterNumber_ = nullptr;
};

}  // namespace luckyscope

#include "dialogs/record_edit_dlg.h"

#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPushButton>

#include "ui/byte_line_edit.h"

namespace luckyscope {

TRecordEditDlg::TRecordEditDlg(DataCore& core, UiServices& ui, int tableSize, QWidget* parent)
    : ActivatedDialog(parent), core_(core), ui_(ui), tableSize_(tableSize) {}

void TRecordEditDlg::AttachControls(const RecordPanel& panel, QPushButton* okBtn, QPushButton* cancelBtn,
                                    QWidget* afterNumber) {
  okBtn_ = okBtn;
  cancelBtn_ = cancelBtn;
  memo1_ = panel.memo1;
  button1_ = panel.button1;
  button2_ = panel.button2;
  memo2_ = panel.memo2;
  memo3_ = panel.memo3;
  memo4_ = panel.memo4;
  afterNumber_ = afterNumber;
  connect(okBtn_, &QPushButton::clicked, this, &TRecordEditDlg::OKBtnClick);
  connect(cancelBtn_, &QPushButton::clicked, this, &TRecordEditDlg::CancelBtnClick);
  connect(button1_, &QPushButton::clicked, this, &TRecordEditDlg::Button1Click);
  connect(button2_, &QPushButton::clicked, this, &TRecordEditDlg::Button2Click);
  for (QWidget* box : {memo1_, memo2_, memo3_, memo4_}) box->installEventFilter(this);
  memo1_->SetText(QStringLiteral("1"));
}

bool TRecordEditDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (watched == memo1_) return Memo1KeyDown(key);
    if (watched == memo2_) return Memo2KeyDown(key);
    if (watched == memo3_) return Memo3KeyDown(key);
    if (watched == memo4_) return Memo4KeyDown(key);
  } else if (event->type() == QEvent::FocusOut && watched == memo1_) {
    // Only a move to another control of this dialog leaves the box; the window
    // losing the focus (a message box, another program) does not.
    if (IsFocusMoveWithinWindow(static_cast<QFocusEvent*>(event)->reason())) Memo1Exit();
  }
  return ActivatedDialog::eventFilter(watched, event);
}

void TRecordEditDlg::FormActivate() {
  Show(LoadWorkingCopy());
  cancelBtn_->setFocus(Qt::OtherFocusReason);
}

void TRecordEditDlg::Show(int regNo) {
  shownSlot_ = regNo;
  memo1_->SetText(QString::number(regNo));
  ShowSlot(regNo);
}

std::optional<int> TRecordEditDlg::CurrentSlot() {
  // An emptied registration-number box names no slot: the step changes nothing and
  // the user is asked for the number; the dialog stays open with the typed texts.
  const std::optional<int> typed = ReadRegistrationNumber(*memo1_);
  if (!typed) {
    ReportMissingRegistrationNumber(ui_, memo1_);
    return std::nullopt;
  }
  // Leaving the box has already clamped the number; a number put there without leaving
  // it is held to the same range, so that no step reaches past the records.
  return ClampRegistrationNumber(*typed, workingCount_, tableSize_);
}

bool TRecordEditDlg::Commit(int& regNo, bool& deleted) {
  deleted = false;
  const std::optional<int> current = CurrentSlot();
  if (!current) return false;
  regNo = *current;
  if (!TakeBoxes(regNo)) {
    if (regNo <= workingCount_) {
      // The record goes; the later ones move down one number.
      RemoveSlot(regNo);
      deleted = true;
    } else {
      LeaveFreeSlot(regNo);
    }
  } else if (regNo == workingCount_ + 1 && workingCount_ < tableSize_) {
    ++workingCount_;  // a new record at the first free slot
  }
  return true;
}

bool TRecordEditDlg::CommitAndMoveNext() {
  int n = 0;
  bool deleted = false;
  if (!Commit(n, deleted)) return false;
  Show(NextWorkingSlot(n, deleted, workingCount_, tableSize_));
  return true;
}

void TRecordEditDlg::Button1Click() {
  int n = 0;
  bool deleted = false;
  if (!Commit(n, deleted)) return;
  Show(n > 1 ? n - 1 : 1);
}

void TRecordEditDlg::Button2Click() { CommitAndMoveNext(); }

void TRecordEditDlg::Memo1Exit() {
  const std::optional<int> typed = ReadRegistrationNumber(*memo1_);
  if (!typed) return;
  const int n = ClampRegistrationNumber(*typed, workingCount_, tableSize_);
  // Still the shown slot: what was typed into the other boxes stays.
  if (n == shownSlot_) {
    memo1_->SetText(QString::number(n));
    return;
  }
  // Another slot: texts typed since the last commit are dropped, and the slot is shown
  // as it is held.
  Show(n);
}

bool TRecordEditDlg::Memo1KeyDown(int key) { return MoveFocusOnEnter(key, memo2_); }

bool TRecordEditDlg::Memo2KeyDown(int key) { return MoveFocusOnEnter(key, memo3_); }

bool TRecordEditDlg::Memo3KeyDown(int key) { return MoveFocusOnEnter(key, memo4_); }

bool TRecordEditDlg::Memo4KeyDown(int key) { return MoveFocusOnEnter(key, afterNumber_); }

void TRecordEditDlg::OKBtnClick() {
  // Stays open when the registration number is missing: nothing is stored.
  if (!CommitAndMoveNext()) return;
  WriteBack();
  accept();
}

void TRecordEditDlg::CancelBtnClick() { reject(); }

}  // namespace luckyscope

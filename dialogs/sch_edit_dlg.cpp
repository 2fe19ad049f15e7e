#include "dialogs/sch_edit_dlg.h"

#include <algorithm>
#include <cstring>

#include <QEvent>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "core/data_core.h"
#include "core/text_util.h"
#include "ui/byte_line_edit.h"
#include "ui/dialog_support.h"
#include "ui/ui_helpers.h"
#include "ui/ui_services.h"

namespace luckyscope {

namespace {

constexpr int kRegNoChars = 5;  // 1..10000

}  // namespace

TSchEditDlg::TSchEditDlg(DataCore& core, UiServices& ui, QWidget* parent)
    : QDialog(parent),
      core_(core),
      ui_(ui),
      slots_(new WorkSlot[kMaxTargets]()),
      hitsAtOpen_(new HitResult[kMaxTargets]()) {
  BuildControls();
  memo1_->SetText(QStringLiteral("1"));
}

TSchEditDlg::~TSchEditDlg() = default;

void TSchEditDlg::BuildControls() {
  setWindowTitle(QStringLiteral("検索対象エディット"));
  setFont(UiFont(12));

  okBtn_ = MakeDialogButton(QStringLiteral("登録"), "OKBtn", this);
  cancelBtn_ = MakeDialogButton(QStringLiteral("キャンセル"), "CancelBtn", this);

  const RecordPanel panel = BuildRecordPanel(this, kRegNoChars, QStringLiteral("名前"));
  memo1_ = panel.memo1;
  button1_ = panel.button1;
  button2_ = panel.button2;
  memo2_ = panel.memo2;
  memo3_ = panel.memo3;
  memo4_ = panel.memo4;
  // The search-target file puts each text between double quotes, so a quote inside one
  // would cut it short at the next load.
  const QString why = QStringLiteral("「\"」は検索対象ファイルに保存できないため、入力できません。");
  for (ByteLineEdit* box : {memo2_, memo3_, memo4_}) box->SetRefusedCharacters(QStringLiteral("\""), why);
  for (ByteLineEdit* box : {memo3_, memo4_}) box->SetHalfWidthDigits(true);

  auto* buttons = new QVBoxLayout;
  buttons->addWidget(okBtn_);
  buttons->addWidget(cancelBtn_);
  buttons->addStretch(1);

  auto* top = new QHBoxLayout(this);
  top->setContentsMargins(8, 8, 8, 8);
  top->addWidget(panel.frame, 1);
  top->addLayout(buttons);

  SetTabChain({okBtn_, cancelBtn_, memo1_, button1_, button2_, memo2_, memo3_, memo4_});

  connect(okBtn_, &QPushButton::clicked, this, &TSchEditDlg::OKBtnClick);
  connect(cancelBtn_, &QPushButton::clicked, this, &TSchEditDlg::CancelBtnClick);
  connect(button1_, &QPushButton::clicked, this, &TSchEditDlg::Button1Click);
  connect(button2_, &QPushButton::clicked, this, &TSchEditDlg::Button2Click);
  for (QWidget* box : {static_cast<QWidget*>(memo1_), static_cast<QWidget*>(memo2_), static_cast<QWidget*>(memo3_),
                       static_cast<QWidget*>(memo4_)}) {
    box->installEventFilter(this);
  }

  SetFixedDialogFrame(*this);
}

const SearchTarget& TSchEditDlg::WorkingSlot(int regNo) const {
  return slots_[std::clamp(regNo, 1, kMaxTargets) - 1].rec;
}

void TSchEditDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormActivate();
}

bool TSchEditDlg::eventFilter(QObject* watched, QEvent* event) {
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
  return QDialog::eventFilter(watched, event);
}

void TSchEditDlg::FormActivate() {
  const LotteryStore& store = core_.Store();
  workingCount_ = std::clamp(store.TargetCount(), 0, kMaxTargets);
  std::fill_n(slots_.get(), kMaxTargets, WorkSlot{});
  std::fill_n(hitsAtOpen_.get(), kMaxTargets, HitResult{});
  SearchTarget stored{};
  for (int r = 1; r <= workingCount_; ++r) {
    if (store.GetTarget(1, r, stored) != 0) continue;
    WorkSlot& slot = slots_[r - 1];
    std::memcpy(slot.rec.name, stored.name, sizeof slot.rec.name);
    std::memcpy(slot.rec.group, stored.group, sizeof slot.rec.group);
    std::memcpy(slot.rec.number, stored.number, sizeof slot.rec.number);
    slot.origin = r;
    hitsAtOpen_[r - 1] = HitResult{stored.hit, stored.hitMask};
  }

  // Opened from a ticket of the list, the dialog starts there; otherwise at the first
  // free slot, ready for a new ticket. An edit position beyond the records (which the
  // list never hands over) starts at the first free slot instead, so that no record
  // can be typed in after a gap.
  const int editPosition = store.GetEditPosition();
  const int start = editPosition >= 0 ? ClampRegistrationNumber(editPosition + 1, workingCount_, kMaxTargets)
                                      : std::min(workingCount_ + 1, kMaxTargets);
  ShowSlot(start);
  cancelBtn_->setFocus(Qt::OtherFocusReason);
}

void TSchEditDlg::ShowSlot(int regNo) {
  const SearchTarget& rec = slots_[regNo - 1].rec;
  shownSlot_ = regNo;
  memo1_->SetText(QString::number(regNo));
  memo2_->SetBytes(rec.name);
  memo3_->SetBytes(rec.group);
  memo4_->SetBytes(rec.number);
}

bool TSchEditDlg::Commit(int& regNo, bool& deleted) {
  deleted = false;
  // An emptied registration-number box names no slot: nothing is taken over, and the
  // user is asked for the number (the dialog stays open, the typed texts stay).
  const std::optional<int> typed = ReadRegistrationNumber(*memo1_);
  if (!typed) {
    ReportMissingRegistrationNumber(ui_, memo1_);
    return false;
  }
  // Leaving the box has already clamped the number; a number put there without leaving
  // it is held to the same range, so that no step reaches past the records.
  regNo = ClampRegistrationNumber(*typed, workingCount_, kMaxTargets);
  WorkSlot& slot = slots_[regNo - 1];
  CopyCut(slot.rec.name, memo2_->Bytes().c_str());
  CopyCut(slot.rec.group, memo3_->Bytes().c_str());
  CopyCut(slot.rec.number, memo4_->Bytes().c_str());

  if (slot.rec.name[0] == '\0') {
    if (regNo <= workingCount_) {
      // The record goes; the later ones move down one number.
      RemoveWorkingSlot(slots_.get(), kMaxTargets, workingCount_, regNo);
      deleted = true;
    } else {
      // A free slot without a name holds no record: a group or number typed there
      // alone is dropped, so that "登録" finds the slot as empty as the store's.
      slot = WorkSlot{};
    }
  } else if (regNo == workingCount_ + 1 && workingCount_ < kMaxTargets) {
    ++workingCount_;  // a new record at the first free slot
  }
  return true;
}

bool TSchEditDlg::CommitAndMoveNext() {
  int n = 0;
  bool deleted = false;
  if (!Commit(n, deleted)) return false;
  ShowSlot(NextWorkingSlot(n, deleted, workingCount_, kMaxTargets));
  return true;
}

void TSchEditDlg::Button1Click() {
  int n = 0;
  bool deleted = false;
  if (!Commit(n, deleted)) return;
  ShowSlot(n > 1 ? n - 1 : 1);
}

void TSchEditDlg::Button2Click() { CommitAndMoveNext(); }

void TSchEditDlg::Memo1Exit() {
  const std::optional<int> typed = ReadRegistrationNumber(*memo1_);
  if (!typed) return;
  const int n = ClampRegistrationNumber(*typed, workingCount_, kMaxTargets);
  // Still the shown slot: what was typed into the other boxes stays.
  if (n == shownSlot_) {
    memo1_->SetText(QString::number(n));
    return;
  }
  // Another slot: texts typed since the last commit are dropped, and the slot is shown
  // as it is held.
  ShowSlot(n);
}

bool TSchEditDlg::Memo1KeyDown(int key) { return MoveFocusOnEnter(key, memo2_); }

bool TSchEditDlg::Memo2KeyDown(int key) { return MoveFocusOnEnter(key, memo3_); }

bool TSchEditDlg::Memo3KeyDown(int key) { return MoveFocusOnEnter(key, memo4_); }

bool TSchEditDlg::Memo4KeyDown(int key) { return MoveFocusOnEnter(key, button2_); }

void TSchEditDlg::OKBtnClick() {
  // Stays open when the registration number is missing: nothing is stored.
  if (!CommitAndMoveNext()) return;
  WriteBack();
  accept();
}

void TSchEditDlg::CancelBtnClick() { reject(); }

void TSchEditDlg::WriteBack() {
  LotteryStore& store = core_.Store();
  // Every slot is written; a slot whose texts did not change stays untouched, so that
  // "登録" after no change leaves the table unchanged for saving.
  for (int r = 1; r <= kMaxTargets; ++r) store.PutTarget(r, slots_[r - 1].rec);
  store.SetTargetCount(workingCount_);
  // Hit results stay with the tickets they belong to: a ticket that moved down takes
  // its own result along, a new ticket and every free slot have none. (A ticket edited
  // in its place keeps its result until the next search.)
  for (int r = 1; r <= kMaxTargets; ++r) {
    const int origin = r <= workingCount_ ? slots_[r - 1].origin : 0;
    const HitResult result = origin > 0 ? hitsAtOpen_[origin - 1] : HitResult{};
    store.SetTargetHits(r, result.hit, result.hitMask);
  }
}

}  // namespace luckyscope

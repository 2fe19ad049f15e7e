#include "dialogs/sch_edit_dlg.h"

#include <algorithm>
#include <cstring>

#include <QHBoxLayout>
#include <QPushButton>
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
    : TRecordEditDlg(core, ui, kMaxTargets, parent),
      slots_(new WorkSlot[kMaxTargets]()),
      hitsAtOpen_(new HitResult[kMaxTargets]()) {
  BuildControls();
}

TSchEditDlg::~TSchEditDlg() = default;

void TSchEditDlg::BuildControls() {
  setWindowTitle(QStringLiteral("検索対象エディット"));
  setFont(UiFont(12));

  auto* okBtn = MakeDialogButton(QStringLiteral("登録"), "OKBtn", this);
  auto* cancelBtn = MakeDialogButton(QStringLiteral("キャンセル"), "CancelBtn", this);
  const RecordPanel panel = BuildRecordPanel(this, kRegNoChars, QStringLiteral("名前"));
  AttachControls(panel, okBtn, cancelBtn, panel.button2);
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

  SetFixedDialogFrame(*this);
}

const SearchTarget& TSchEditDlg::WorkingSlot(int regNo) const {
  return slots_[std::clamp(regNo, 1, kMaxTargets) - 1].rec;
}

int TSchEditDlg::LoadWorkingCopy() {
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
  return editPosition >= 0 ? ClampRegistrationNumber(editPosition + 1, workingCount_, kMaxTargets)
                           : std::min(workingCount_ + 1, kMaxTargets);
}

void TSchEditDlg::ShowSlot(int regNo) {
  const SearchTarget& rec = slots_[regNo - 1].rec;
  memo2_->SetBytes(rec.name);
  memo3_->SetBytes(rec.group);
  memo4_->SetBytes(rec.number);
}

bool TSchEditDlg::TakeBoxes(int regNo) {
  SearchTarget& rec = slots_[regNo - 1].rec;
  CopyCut(rec.name, memo2_->Bytes().c_str());
  CopyCut(rec.group, memo3_->Bytes().c_str());
  CopyCut(rec.number, memo4_->Bytes().c_str());
  return rec.name[0] != '\0';
}

void TSchEditDlg::RemoveSlot(int regNo) { RemoveWorkingSlot(slots_.get(), kMaxTargets, workingCount_, regNo); }

void TSchEditDlg::LeaveFreeSlot(int regNo) {
  // A free slot without a name holds no record: a group or number typed there alone is
  // dropped, so that "登録" finds the slot as empty as the store's.
  slots_[regNo - 1] = WorkSlot{};
}

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

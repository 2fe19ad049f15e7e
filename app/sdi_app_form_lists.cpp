// The main window's lists: the search targets as the filter box asks, the winning
// numbers and the filter box, sorting, the right-click menu and deleting tickets.

#include <vector>

#include <QAction>
#include <QComboBox>
#include <QMenu>

#include "app/sdi_app_form.h"
#include "core/data_core.h"
#include "ui/cp932_codec.h"
#include "ui/list_compare.h"
#include "ui/report_list.h"

namespace luckyscope {

// ---------------------------------------------------------------------------
// The lists

int TSDIAppForm::FillSearchList(FillMode mode, int k) {
  listView2_->Clear();
  const LotteryStore& store = core_.Store();
  const int count = store.TargetCount();
  QString entryTitle;
  std::uint32_t entryBit = 0;
  if (mode == FillMode::EntryHits) {
    entryBit = std::uint32_t{1} << (static_cast<unsigned>(k) % 32u);
    WinningEntry entry;
    if (store.GetWinningEntry(k + 1, entry) == 0) entryTitle = FromCp932(entry.title);
  }
  std::vector<ReportRow> rows;
  rows.reserve(static_cast<std::size_t>(mode == FillMode::ShowAll ? count : count / 4));
  int counted = 0;
  SearchTarget target;
  char hitText[kTextSize];
  for (int n = 1; n <= count; ++n) {
    if (store.GetTarget(1, n, target) != 0) continue;
    QString hitType;
    if (mode == FillMode::ShowAll || mode == FillMode::Hits) {
      if (mode == FillMode::Hits && target.hit == 0) continue;
      core_.HitText(n - 1, 0, hitText);
      hitType = FromCp932(hitText);
      if (mode == FillMode::Hits || hitText[0] != '\0') ++counted;
    } else {
      if (target.hit == 0 || (target.hitMask & entryBit) == 0) continue;
      hitType = entryTitle;
      ++counted;
    }
    rows.push_back(ReportRow{QString::number(n),
                             {FromCp932(target.name), FromCp932(target.group), FromCp932(target.number), hitType}});
  }
  listView2_->AddRows(std::move(rows));
  if (listView2_->RowCount() > 0) listView2_->SelectAndFocusRow(0);
  UpdateFileState();
  return counted;
}

void TSDIAppForm::ShowTargetsAgain() {
  FillSearchList(FillMode::ShowAll, 0);
  comboBox1_->setCurrentIndex(0);
}

void TSDIAppForm::FillWinningList(int selection) {
  comboBox1_->clear();
  listView1_->Clear();
  const LotteryStore& store = core_.Store();
  const int count = store.WinningCount();
  comboBox1_->addItem(QStringLiteral("全表示"));
  if (count > 0) comboBox1_->addItem(QStringLiteral("当たり"));
  bool taken = false;
  std::vector<ReportRow> rows;
  WinningEntry entry;
  for (int i = 1; i <= count; ++i) {
    if (store.GetWinningEntry(i, entry) != 0) continue;
    comboBox1_->addItem(FromCp932(entry.title));
    // A selection below 0 takes no entry's pairs.
    if (selection == 0 || selection == 1 || selection == 2 + (i - 1)) {
      taken = true;
      const int pairs = ClampPairCount(entry.pairCount);
      for (int p = 0; p < pairs; ++p) {
        rows.push_back(ReportRow{FromCp932(entry.pairs[p].group), {FromCp932(entry.pairs[p].number)}});
      }
    }
  }
  listView1_->AddRows(std::move(rows));
  comboBox1_->setCurrentIndex(taken ? selection : 0);
  UpdateFileState();
}

void TSDIAppForm::ComboBox1Change(int index) {
  FillWinningList(index);
  const int kept = comboBox1_->currentIndex();
  if (kept == 0) {
    FillSearchList(FillMode::ShowAll, 0);
  } else if (kept == 1) {
    FillSearchList(FillMode::Hits, 0);
  } else if (kept >= 2) {
    FillSearchList(FillMode::EntryHits, kept - 2);
  }
}

void TSDIAppForm::ListView2ColumnClick(int column) {
  sortKey_ = sortKey_ == column ? -column : column;
  SortListItems(*listView2_, sortKey_);
}

void TSDIAppForm::ListView2KeyDown(int key) {
  if (key == Qt::Key_Delete) DeleteSelectedTargets();
}

void TSDIAppForm::PopupMenu1Popup() {
  const int selected = listView2_->SelectedCount();
  actions_.e1->setVisible(selected == 1);
  actions_.d1->setVisible(selected >= 1);
  actions_.c1->setVisible(selected >= 1);
}

void TSDIAppForm::D1Click() { DeleteSelectedTargets(); }

void TSDIAppForm::DeleteSelectedTargets() {
  std::vector<int> numbers;
  for (int row : listView2_->SelectedRows()) {
    const int n = CaptionNumber(listView2_->Row(row));
    if (n >= 1) numbers.push_back(n);
  }
  // The data core removes them from the highest number down and keeps them for
  // "元に戻す".
  core_.RemoveTargets(std::move(numbers));
  ComboBox1Change(comboBox1_->currentIndex());
  if (listView2_->RowCount() > 0) {
    listView2_->SelectAndFocusRow(0);
    listView2_->setFocus(Qt::OtherFocusReason);
  } else {
    comboBox1_->setFocus(Qt::OtherFocusReason);
  }
}

}  // namespace luckyscope

#include "dialogs/atr_edit_dlg.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

#include "core/data_core.h"
#include "core/matching.h"
#include "core/text_util.h"
#include "ui/byte_line_edit.h"
#include "ui/cp932_codec.h"
#include "ui/dialog_support.h"
#include "ui/report_list.h"
#include "ui/ui_helpers.h"
#include "ui/ui_services.h"

namespace luckyscope {

namespace {

constexpr int kRegNoChars = 2;               // 1..32
constexpr unsigned char kBlankLimit = 0x20;  // trimmed: control characters and space

// Group or number as the pair list keeps it: without blanks at either end.
template <std::size_t N>
void TrimField(char (&field)[N]) {
  char trimmed[N];
  TrimBlanks(field, trimmed, kBlankLimit);
  std::memcpy(field, trimmed, N);
}

}  // namespace

TAtrEditDlg::TAtrEditDlg(DataCore& core, UiServices& ui, QWidget* parent)
    : TRecordEditDlg(core, ui, kMaxWinningEntries, parent), entries_(new WorkEntry[kMaxWinningEntries]()) {
  BuildControls();
}

TAtrEditDlg::~TAtrEditDlg() = default;

void TAtrEditDlg::BuildControls() {
  setWindowTitle(QStringLiteral("当選番号エディット"));
  setFont(UiFont(12));

  auto* okBtn = MakeDialogButton(QStringLiteral("登録"), "OKBtn", this);
  auto* cancelBtn = MakeDialogButton(QStringLiteral("キャンセル"), "CancelBtn", this);
  button3_ = MakeDialogButton(QStringLiteral("組番号登録"), "Button3", this);
  templateBtn_ = MakeDialogButton(QStringLiteral("ひな形"), "TemplateBtn", this);
  SetHint(templateBtn_, QStringLiteral("ひな形 (Alt+T)|空いている登録番号に1等・2等・3等を用意します"));
  // Outside the tab order, which stays as it always was; Alt+T presses it.
  templateBtn_->setFocusPolicy(Qt::NoFocus);
  templateBtn_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_T));

  const RecordPanel panel = BuildRecordPanel(this, kRegNoChars, QStringLiteral("名称"));
  AttachControls(panel, okBtn, cancelBtn, button3_);
  // The winning-number file separates title, groups and numbers by commas, so a comma
  // inside one would split the entry at the next load.
  const QString why = QStringLiteral("「,」は当選番号ファイルに保存できないため、入力できません。");
  for (ByteLineEdit* box : {memo2_, memo3_, memo4_}) box->SetRefusedCharacters(QStringLiteral(","), why);
  for (ByteLineEdit* box : {memo3_, memo4_}) box->SetHalfWidthDigits(true);

  listView1_ = new ReportList(panel.frame);
  listView1_->setObjectName(QStringLiteral("ListView1"));
  listView1_->SetColumns({{QStringLiteral("組"), 64}, {QStringLiteral("番号"), 90}});
  listView1_->SetMultiSelect(false);
  listView1_->SetHeaderClickable(false);
  listView1_->setAccessibleName(QStringLiteral("組番号一覧"));
  const QFontMetrics metrics(font());
  listView1_->setFixedHeight(metrics.height() * 6 + 12);
  panel.grid->addWidget(listView1_, 3, 1, 1, 3);

  // "組番号登録" stands level with the group and number row.
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(okBtn_);
  buttons->addWidget(cancelBtn_);
  buttons->addSpacing(metrics.height() / 3);
  buttons->addWidget(button3_);
  buttons->addStretch(1);
  buttons->addWidget(templateBtn_);

  auto* top = new QHBoxLayout;
  top->setContentsMargins(8, 8, 8, 8);
  top->addWidget(panel.frame, 1);
  top->addLayout(buttons);

  // Notes about the typing, such as a half-typed pair that could not be added.
  statusBar_ = new QStatusBar(this);
  statusBar_->setObjectName(QStringLiteral("StatusBar"));
  statusBar_->setSizeGripEnabled(false);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  outer->addLayout(top);
  outer->addWidget(statusBar_);

  SetTabChain({okBtn_, cancelBtn_, button3_, memo1_, button1_, button2_, memo2_, memo3_, memo4_, listView1_});

  connect(button3_, &QPushButton::clicked, this, &TAtrEditDlg::Button3Click);
  connect(templateBtn_, &QPushButton::clicked, this, &TAtrEditDlg::TemplateBtnClick);
  connect(listView1_, &ReportList::DoubleClicked, this, [this](int) { ListView1DblClick(); });
  listView1_->installEventFilter(this);
  button3_->installEventFilter(this);

  SetFixedDialogFrame(*this);
}

const WinningEntry& TAtrEditDlg::WorkingEntry(int regNo) const {
  return entries_[std::clamp(regNo, 1, kMaxWinningEntries) - 1].rec;
}

bool TAtrEditDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    if (watched == listView1_) return ListView1KeyPress(static_cast<QKeyEvent*>(event)->key());
    if (watched == button3_) return StartNextPair(static_cast<QKeyEvent*>(event));
  }
  return TRecordEditDlg::eventFilter(watched, event);
}

int TAtrEditDlg::LoadWorkingCopy() {
  const LotteryStore& store = core_.Store();
  workingCount_ = std::clamp(store.WinningCount(), 0, kMaxWinningEntries);
  statusBar_->clearMessage();
  std::fill_n(entries_.get(), kMaxWinningEntries, WorkEntry{});
  for (int r = 1; r <= workingCount_; ++r) {
    WorkEntry& entry = entries_[r - 1];
    if (store.GetWinningEntry(r, entry.rec) != 0) continue;
    entry.rec.pairCount = ClampPairCount(entry.rec.pairCount);
    entry.origin = r;
  }
  // Always at the free entry after the last one (the last one when all are in use).
  return std::min(workingCount_ + 1, kMaxWinningEntries);
}

void TAtrEditDlg::ShowSlot(int regNo) {
  takenOut_.reset();
  memo2_->SetBytes(entries_[regNo - 1].rec.title);
  memo3_->SetText(QString());
  memo4_->SetText(QString());
  FillPairList(regNo);
}

void TAtrEditDlg::FillPairList(int regNo) {
  const WinningEntry& entry = entries_[regNo - 1].rec;
  std::vector<ReportRow> rows;
  rows.reserve(static_cast<std::size_t>(entry.pairCount));
  for (int k = 0; k < entry.pairCount; ++k) {
    rows.push_back(ReportRow{FromCp932(entry.pairs[k].group), {FromCp932(entry.pairs[k].number)}});
  }
  listView1_->Clear();
  listView1_->AddRows(std::move(rows));
}

bool TAtrEditDlg::TakeBoxes(int regNo) {
  statusBar_->clearMessage();
  // A pair typed but not yet added with "組番号登録" is added first, as that button
  // would; half of a pair cannot be, and the user is told. A pair taken out of the
  // list and left as it was stays out.
  if (HoldsTakenOutPair()) {
    memo3_->SetText(QString());
    memo4_->SetText(QString());
  } else if (!memo3_->text().isEmpty() || !memo4_->text().isEmpty()) {
    if (AddTypedPair(regNo) == PairAdd::HalfPair) {
      statusBar_->showMessage(QStringLiteral("組か番号が空のため、組番号は登録されませんでした。"));
    }
  }
  WinningEntry& entry = entries_[regNo - 1].rec;
  CopyCut(entry.title, memo2_->Bytes().c_str());
  // The list mirrors the entry's pairs: taking them back only trims them.
  for (int k = 0; k < entry.pairCount; ++k) {
    TrimField(entry.pairs[k].group);
    TrimField(entry.pairs[k].number);
  }

  // An entry without a title goes with its pairs. At the free entry the pairs stay
  // listed: a title given later makes them an entry.
  return entry.title[0] != '\0';
}

void TAtrEditDlg::RemoveSlot(int regNo) {
  RemoveWorkingSlot(entries_.get(), kMaxWinningEntries, workingCount_, regNo);
}

void TAtrEditDlg::Button3Click() {
  const std::optional<int> current = CurrentSlot();
  if (!current) return;
  AddTypedPair(*current);
}

bool TAtrEditDlg::HoldsTakenOutPair() const {
  return takenOut_ && takenOut_->first == memo3_->Bytes() && takenOut_->second == memo4_->Bytes();
}

bool TAtrEditDlg::StartNextPair(QKeyEvent* key) {
  const QString text = key->text();
  if (text.isEmpty() || !text.front().isPrint() || text == QStringLiteral(" ")) return false;
  memo3_->setFocus(Qt::OtherFocusReason);
  memo3_->selectAll();
  QKeyEvent typed(key->type(), key->key(), key->modifiers(), text, key->isAutoRepeat(), key->count());
  QCoreApplication::sendEvent(memo3_, &typed);
  return true;
}

TAtrEditDlg::PairAdd TAtrEditDlg::AddTypedPair(int regNo) {
  takenOut_.reset();
  WinningEntry& entry = entries_[regNo - 1].rec;
  const std::string group = memo3_->Bytes();
  const std::string number = memo4_->Bytes();
  memo3_->SetText(QString());
  memo4_->SetText(QString());
  // A pair needs both halves (tested as typed, so blanks alone count).
  if (group.empty() || number.empty()) return PairAdd::HalfPair;
  if (entry.pairCount >= kMaxPairs) {
    ui_.MessageBox(QStringLiteral("これ以上、組番号登録はできません。"), kMessageCaption, kExclamationOk);
    return PairAdd::Full;
  }
  WinningPair pair{};
  CopyCut(pair.group, group.c_str());
  CopyCut(pair.number, number.c_str());
  TrimField(pair.group);
  TrimField(pair.number);
  const bool listed = std::any_of(entry.pairs, entry.pairs + entry.pairCount, [&pair](const WinningPair& p) {
    return std::strcmp(p.group, pair.group) == 0 && std::strcmp(p.number, pair.number) == 0;
  });
  if (listed) return PairAdd::Listed;
  entry.pairs[entry.pairCount++] = pair;
  FillPairList(regNo);
  return PairAdd::Added;
}

void TAtrEditDlg::ListView1DblClick() {
  const std::optional<int> current = CurrentSlot();
  if (!current) return;
  const std::vector<int> selected = listView1_->SelectedRows();
  if (selected.size() != 1) return;
  WinningEntry& entry = entries_[*current - 1].rec;
  const int row = selected.front();
  if (row < 0 || row >= entry.pairCount) return;
  // The pair now lives only in the boxes until "組番号登録" adds it again.
  memo3_->SetBytes(entry.pairs[row].group);
  memo4_->SetBytes(entry.pairs[row].number);
  takenOut_.emplace(memo3_->Bytes(), memo4_->Bytes());
  std::copy(entry.pairs + row + 1, entry.pairs + entry.pairCount, entry.pairs + row);
  --entry.pairCount;
  entry.pairs[entry.pairCount] = WinningPair{};
  FillPairList(*current);
}

bool TAtrEditDlg::ListView1KeyPress(int key) {
  if (!IsEnterKey(key)) return false;
  // Without a registration number the user is told and the focus goes to that box.
  const bool numbered = !memo1_->Bytes().empty();
  ListView1DblClick();
  if (numbered) memo3_->setFocus(Qt::OtherFocusReason);
  return true;
}

void TAtrEditDlg::TemplateBtnClick() {
  int n = 0;
  bool deleted = false;
  if (!Commit(n, deleted)) return;
  int firstAdded = 0;
  for (const char* prize : {"1等", "2等", "3等"}) {
    const std::string title = ToCp932(QString::fromUtf8(prize));
    const bool present = std::any_of(entries_.get(), entries_.get() + workingCount_,
                                     [&title](const WorkEntry& e) { return title == e.rec.title; });
    if (present) continue;
    // The free slot after the last entry may hold pairs typed without a title: they
    // are the user's, so the template stops there.
    if (workingCount_ >= kMaxWinningEntries || entries_[workingCount_].rec.pairCount > 0) break;
    WorkEntry& added = entries_[workingCount_];
    added = WorkEntry{};
    CopyCut(added.rec.title, title.c_str());
    ++workingCount_;
    if (firstAdded == 0) firstAdded = workingCount_;
  }
  Show(firstAdded > 0 ? firstAdded : ClampRegistrationNumber(n, workingCount_, kMaxWinningEntries));
  memo3_->SetText(QStringLiteral("*"));
  memo4_->setFocus(Qt::OtherFocusReason);
}

void TAtrEditDlg::WriteBack() {
  LotteryStore& store = core_.Store();
  // Every entry is written; an entry that did not change stays untouched. Pairs left at
  // the free entry without a title make no entry, and are written as the empty entry
  // they are, so that they alone do not mark the table as changed.
  const WinningEntry empty{};
  for (int r = 1; r <= kMaxWinningEntries; ++r) {
    store.PutWinningEntry(r, r <= workingCount_ ? entries_[r - 1].rec : empty);
  }
  store.SetWinningCount(workingCount_);
  MoveHitBits();
}

void TAtrEditDlg::MoveHitBits() {
  // Bit j of a ticket's hit mask stands for winning entry j+1. An entry that moved
  // down takes its bit along; a deleted entry's bit goes, and a new entry has none
  // until the next search. (An entry changed in its place keeps its bit until then.)
  int origins[kMaxWinningEntries] = {};
  for (int j = 0; j < workingCount_; ++j) origins[j] = entries_[j].origin;
  LotteryStore& store = core_.Store();
  SearchTarget target{};
  for (int r = 1; r <= store.TargetCount(); ++r) {
    if (store.GetTarget(1, r, target) != 0) continue;
    std::uint32_t mask = 0;
    for (int j = 0; j < kMaxWinningEntries; ++j) {
      if (origins[j] > 0 && (target.hitMask >> (origins[j] - 1) & 1u) != 0) mask |= 1u << j;
    }
    if (mask != target.hitMask) store.SetTargetHits(r, mask != 0 ? 1 : 0, mask);
  }
}

}  // namespace luckyscope

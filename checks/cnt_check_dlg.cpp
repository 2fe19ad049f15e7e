#include "checks/cnt_check_dlg.h"

#include <cstring>
#include <vector>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "checks/count_chart.h"
#include "core/data_core.h"
#include "core/text_util.h"
#include "ui/cp932_codec.h"
#include "ui/dialog_support.h"
#include "ui/list_compare.h"
#include "ui/report_list.h"
#include "ui/ui_helpers.h"
#include "ui/user_state.h"

namespace luckyscope {
namespace {

const QString kHideEmptyKey = QStringLiteral("CountCheck/hideEmpty");

// The value (0..99) of a ticket's last `digits` bytes, or -1 when it has no valid
// tail: a number shorter than the tail, or a tail that does not lie between "0" and
// "9" (or "00" and "99") as a text. A valid tail reads the lenient way, so 5a is 5
// while 9a lies beyond "99" and does not count.
int TailValue(const char (&number)[kFieldSize], int digits) {
  const std::size_t length = ::strnlen(number, kFieldSize - 1);
  const auto width = static_cast<std::size_t>(digits);
  if (length < width) return -1;
  char tail[3] = {};
  std::memcpy(tail, number + length - width, width);
  const char* low = digits == 1 ? "0" : "00";
  const char* high = digits == 1 ? "9" : "99";
  if (std::strcmp(tail, low) < 0 || std::strcmp(tail, high) > 0) return -1;
  return ReadLenientInt(tail);
}

}  // namespace

// The count check shows no message, so it keeps no use of the UI services.
TCntCheckDlg::TCntCheckDlg(DataCore& core, UiServices& /*ui*/, QWidget* parent) : ActivatedDialog(parent), core_(core) {
  BuildControls();
  comboBox1_->addItem(QStringLiteral("下１桁表示"));
  comboBox1_->addItem(QStringLiteral("下２桁表示"));
  comboBox1_->setCurrentIndex(0);
  // Connected after the first selection: the view is filled at every activation.
  connect(comboBox1_, &QComboBox::currentIndexChanged, this, &TCntCheckDlg::ComboBox1Change);
  hideEmpty_->setChecked(ReadUserState(kHideEmptyKey).toBool());
  connect(hideEmpty_, &QCheckBox::toggled, this, &TCntCheckDlg::HideEmptyClick);
}

void TCntCheckDlg::BuildControls() {
  setObjectName(QStringLiteral("TCntCheckDlg"));
  setWindowTitle(QStringLiteral("本数確認"));
  setFont(UiFont(12));

  // The default button: Enter wherever no control takes it closes the dialog, and so
  // does Esc (QDialog's reject).
  cancelBtn_ = MakeDialogButton(QStringLiteral("終了"), "CancelBtn", this);
  cancelBtn_->setDefault(true);

  groupBox1_ = new QGroupBox(QStringLiteral("確認内容"), this);
  groupBox1_->setObjectName(QStringLiteral("GroupBox1"));
  comboBox1_ = new QComboBox(groupBox1_);
  comboBox1_->setObjectName(QStringLiteral("ComboBox1"));
  comboBox1_->setEditable(false);
  comboBox1_->setAccessibleName(QStringLiteral("確認内容"));
  comboBox1_->view()->setAccessibleName(QStringLiteral("確認内容の一覧"));
  listView1_ = new ReportList(groupBox1_);
  listView1_->setObjectName(QStringLiteral("ListView1"));
  listView1_->SetColumns({{QStringLiteral("番号"), 44}, {QStringLiteral("本数"), 72}});
  listView1_->SetHeaderClickable(false);
  listView1_->setAccessibleName(QStringLiteral("本数一覧"));
  listView1_->setFixedWidth(150);
  // Tall enough for the ten rows of the last-digit view without scrolling.
  listView1_->setMinimumHeight(listView1_->fontMetrics().height() * 13);
  hideEmpty_ = new QCheckBox(QStringLiteral("0本を隠す"), groupBox1_);
  hideEmpty_->setObjectName(QStringLiteral("HideEmptyBox"));
  SetHint(hideEmpty_, QStringLiteral("0本を隠す|どの番号も当てはまらない行を表示しません"));
  auto* frame = new QVBoxLayout(groupBox1_);
  frame->addWidget(comboBox1_);
  frame->addWidget(listView1_, 1);
  frame->addWidget(hideEmpty_);

  listView2_ = new ReportList(this);
  listView2_->setObjectName(QStringLiteral("ListView2"));
  listView2_->SetColumns({{QStringLiteral("No."), 50},
                          {QStringLiteral("番号"), 80},
                          {QStringLiteral("組"), 50},
                          {QStringLiteral("名前"), 150}});
  listView2_->SetHeaderClickable(true);
  listView2_->setAccessibleName(QStringLiteral("選んだ番号の検索対象一覧"));
  listView2_->setMinimumSize(360, 240);

  // The chart under both lists: one bar per row of the count list.
  chart_ = new CountChart(this);

  auto* layout = new QGridLayout(this);
  layout->addWidget(groupBox1_, 0, 0);
  layout->addWidget(listView2_, 0, 1);
  layout->addWidget(chart_, 1, 0, 1, 2);
  layout->addWidget(cancelBtn_, 2, 1, Qt::AlignRight);
  layout->setColumnStretch(1, 1);
  // The frame follows the layout: the classic 417 x 217 is too small for the
  // Japanese glyphs here.
  SetFixedDialogFrame(*this);

  setTabOrder(cancelBtn_, comboBox1_);
  setTabOrder(comboBox1_, listView1_);
  setTabOrder(listView1_, hideEmpty_);
  setTabOrder(hideEmpty_, listView2_);

  connect(cancelBtn_, &QPushButton::clicked, this, &TCntCheckDlg::CancelBtnClick);
  // Every selection notification of the count list refills the ticket list: the
  // selected row when there is one, else the row that lost its selection.
  connect(listView1_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this](const QItemSelection& selected, const QItemSelection& deselected) {
            const QItemSelection& changed = selected.isEmpty() ? deselected : selected;
            if (!changed.isEmpty()) ListView1SelectItem(changed.first().top());
          });
  connect(listView2_, &ReportList::ColumnClicked, this, &TCntCheckDlg::ListView2ColumnClick);
}

int TCntCheckDlg::TailDigits() const { return comboBox1_->currentIndex() == 1 ? 2 : 1; }

void TCntCheckDlg::FormActivate() {
  // The view stays as it was chosen at the last showing; the sort starts afresh.
  detailSortKey_ = 1;
  ComboBox1Change();
}

void TCntCheckDlg::ComboBox1Change() {
  FillCountList(TailDigits());
  listView1_->SelectAndFocusRow(0);  // fills the ticket list through the notification
  listView1_->setFocus();
  if (listView2_->RowCount() > 0) listView2_->SelectAndFocusRow(0);
}

void TCntCheckDlg::FillCountList(int digits) {
  counts_.fill(0);
  listView1_->Clear();
  listView2_->Clear();
  const LotteryStore& store = core_.Store();
  SearchTarget target;
  for (int regNo = 1; regNo <= store.TargetCount(); ++regNo) {
    if (store.GetTarget(0, regNo, target) != 0) continue;
    const int value = TailValue(target.number, digits);
    if (value >= 0) ++counts_[static_cast<std::size_t>(value)];
  }
  // Every value gets its row, the ones that no ticket ends in included, unless
  // "0本を隠す" leaves those out. The chart shows the same rows.
  const int values = digits == 1 ? 10 : 100;
  const char* captionFormat = digits == 1 ? "%1d" : "%02d";
  const bool hideEmpty = hideEmpty_->isChecked();
  std::vector<ReportRow> rows;
  std::vector<ChartBar> bars;
  rows.reserve(static_cast<std::size_t>(values));
  for (int value = 0; value < values; ++value) {
    const int count = counts_[static_cast<std::size_t>(value)];
    if (hideEmpty && count == 0) continue;
    const QString caption = QString::asprintf(captionFormat, value);
    rows.push_back({caption, {QString::asprintf("%5d", count) + QStringLiteral("本")}});
    bars.push_back({caption, count});
  }
  listView1_->AddRows(std::move(rows));
  chart_->SetBars(std::move(bars));
  listView1_->setFocus();
}

void TCntCheckDlg::ListView1SelectItem(int row) {
  listView2_->Clear();
  if (row < 0 || row >= listView1_->RowCount()) return;
  // The row's caption is its value (with every row shown, also its position).
  const int value = listView1_->Text(row, 0).toInt();
  const int digits = TailDigits();
  const LotteryStore& store = core_.Store();
  std::vector<ReportRow> rows;
  SearchTarget target;
  // The rows come in registration order after every fill; the sort key stays.
  for (int regNo = 1; regNo <= store.TargetCount(); ++regNo) {
    if (store.GetTarget(0, regNo, target) != 0) continue;
    if (TailValue(target.number, digits) != value) continue;
    rows.push_back(
        {QString::number(regNo), {FromCp932(target.number), FromCp932(target.group), FromCp932(target.name)}});
  }
  listView2_->AddRows(std::move(rows));
  if (listView2_->RowCount() > 0) listView2_->SelectAndFocusRow(0);
}

void TCntCheckDlg::ListView2ColumnClick(int column) {
  detailSortKey_ = detailSortKey_ == column ? -column : column;
  SortListItems(*listView2_, detailSortKey_);
}

void TCntCheckDlg::HideEmptyClick(bool hide) {
  if (hideEmpty_->isChecked() != hide) {
    hideEmpty_->setChecked(hide);  // called directly: the box's signal comes back here
    return;
  }
  WriteUserState(kHideEmptyKey, hide);
  ComboBox1Change();
}

void TCntCheckDlg::CancelBtnClick() { reject(); }

}  // namespace luckyscope

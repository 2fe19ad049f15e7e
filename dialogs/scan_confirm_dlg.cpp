#include "dialogs/scan_confirm_dlg.h"

#include <algorithm>

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "core/data_core.h"
#include "core/text_util.h"
#include "core/ticket_intake.h"
#include "ui/byte_line_edit.h"
#include "ui/dialog_support.h"
#include "ui/ui_helpers.h"
#include "ui/ui_services.h"

namespace luckyscope {

namespace {

const QString kTitle = QStringLiteral("はがきから読み取り");
constexpr int kCropHeight = 44;
constexpr std::size_t kNumberDigits = 6;

const QString kNotSixDigits = QStringLiteral("番号は6桁の数字で入力してください。");
const QString kAlreadyListed = QStringLiteral("すでに検索対象にあります。追加するならチェックしてください。");

enum Column { kTakeColumn, kCropColumn, kNumberColumn, kGroupColumn, kNameColumn, kNoteColumn };

QString CardName(const QString& path, int card, int cards) {
  const QString file = QFileInfo(path).fileName();
  return cards > 1 ? QStringLiteral("%1 %2枚目").arg(file).arg(card) : file;
}

// A lottery number is six digits, nothing else: "86945" and "86945O" are not one.
bool IsSixDigits(const std::string& number) {
  return number.size() == kNumberDigits &&
         std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The row's fields as the ticket that would enter the list, made fit for the list and
// its file. A row without a name takes its number as the name.
SearchTarget TicketOf(const TScanConfirmDlg::Row& row) {
  std::string name = row.name->Bytes();
  std::string group = row.group->Bytes();
  std::string number = row.number->Bytes();
  PrepareIncomingTicket(name, group, number);
  if (name.empty()) name = number;
  SearchTarget ticket{};
  CopyCut(ticket.name, name.c_str());
  CopyCut(ticket.group, group.c_str());
  CopyCut(ticket.number, number.c_str());
  return ticket;
}

}  // namespace

TScanConfirmDlg::TScanConfirmDlg(DataCore& core, UiServices& ui, QWidget* parent)
    : QDialog(parent), core_(core), ui_(ui) {
  setWindowTitle(kTitle);
  setFont(UiFont(12));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  summary_ = new QLabel(this);
  summary_->setObjectName(QStringLiteral("Summary"));
  summary_->setWordWrap(true);

  rowsPanel_ = new QWidget;
  grid_ = new QGridLayout(rowsPanel_);
  grid_->setHorizontalSpacing(10);
  auto* scroll = new QScrollArea(this);
  scroll->setObjectName(QStringLiteral("Rows"));
  scroll->setWidgetResizable(true);
  scroll->setWidget(rowsPanel_);

  addBtn_ = MakeDialogButton(QStringLiteral("追加"), "AddBtn", this);
  cancelBtn_ = MakeDialogButton(QStringLiteral("キャンセル"), "CancelBtn", this);
  // Enter in a box or on a check box appends; on キャンセル it cancels.
  addBtn_->setDefault(true);
  connect(addBtn_, &QPushButton::clicked, this, &TScanConfirmDlg::AddBtnClick);
  connect(cancelBtn_, &QPushButton::clicked, this, &TScanConfirmDlg::CancelBtnClick);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(addBtn_);
  buttons->addWidget(cancelBtn_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(summary_);
  layout->addWidget(scroll, 1);
  layout->addLayout(buttons);
  resize(980, 560);
}

TScanConfirmDlg::~TScanConfirmDlg() = default;

QString TScanConfirmDlg::ImageFilter() {
  return QStringLiteral(
      "画像ファイル(*.png;*.jpg;*.jpeg;*.tif;*.tiff)|*.png;*.jpg;*.jpeg;*.tif;*.tiff|すべてのファイル(*.*)|*");
}

void TScanConfirmDlg::ClearRows() {
  while (QLayoutItem* item = grid_->takeAt(0)) {
    delete item->widget();
    delete item;
  }
  rows_.clear();
}

void TScanConfirmDlg::AddRow(const QString& name, const FoundNumber* found, const QString& note) {
  const int line = static_cast<int>(rows_.size()) + 1;  // line 0 holds the headings
  const QByteArray suffix = QByteArray::number(line);
  Row row;
  row.readingNote = note;
  row.take = new QCheckBox(rowsPanel_);
  row.take->setObjectName(QString::fromLatin1("Take" + suffix));
  row.crop = new QLabel(rowsPanel_);
  row.crop->setObjectName(QString::fromLatin1("Crop" + suffix));
  row.number = MakeDialogBox(("Number" + suffix).constData(), kFieldSize - 1, false, rowsPanel_);
  row.group = MakeDialogBox(("Group" + suffix).constData(), kFieldSize - 1, false, rowsPanel_);
  row.name = MakeDialogBox(("Name" + suffix).constData(), kTextSize - 1, true, rowsPanel_);
  row.note = new QLabel(note, rowsPanel_);
  row.note->setObjectName(QString::fromLatin1("Note" + suffix));
  row.note->setWordWrap(true);
  row.note->setMinimumWidth(230);
  row.number->setFixedWidth(90);
  row.group->setFixedWidth(40);
  row.name->setMinimumWidth(180);
  // Screen readers name each control with its row.
  row.take->setAccessibleName(QStringLiteral("%1行目を取り込む").arg(line));
  row.crop->setAccessibleName(QStringLiteral("%1行目の読み取った画像").arg(line));
  row.number->setAccessibleName(QStringLiteral("%1行目の番号").arg(line));
  row.group->setAccessibleName(QStringLiteral("%1行目の組").arg(line));
  row.name->setAccessibleName(QStringLiteral("%1行目の名前").arg(line));
  row.note->setAccessibleName(QStringLiteral("%1行目の注意").arg(line));
  // The search-target file puts each text between double quotes, so a quote inside one
  // would cut it short at the next load.
  const QString why = QStringLiteral("「\"」は検索対象ファイルに保存できないため、入力できません。");
  for (ByteLineEdit* box : {row.number, row.group, row.name}) box->SetRefusedCharacters(QStringLiteral("\""), why);
  // Groups and numbers are compared byte for byte: full-width digits typed with an
  // input method would never match.
  row.number->SetHalfWidthDigits(true);
  row.group->SetHalfWidthDigits(true);

  // A file name may carry quotes or line ends; the name shown is the one that is kept.
  row.name->SetText(name);
  std::string nameBytes = row.name->Bytes(), group, number;
  if (found) {
    group = found->group;
    number = found->number;
  }
  PrepareIncomingTicket(nameBytes, group, number);
  row.name->SetBytes(nameBytes);
  if (found) {
    row.number->SetBytes(number);
    row.group->SetBytes(group);
    row.take->setChecked(found->agreed);
    if (!found->crop.isNull()) {
      row.crop->setPixmap(QPixmap::fromImage(found->crop.scaledToHeight(kCropHeight, Qt::SmoothTransformation)));
    }
  } else {
    row.crop->setText(QStringLiteral("(番号なし)"));
  }
  grid_->addWidget(row.take, line, kTakeColumn, Qt::AlignCenter);
  grid_->addWidget(row.crop, line, kCropColumn);
  grid_->addWidget(row.number, line, kNumberColumn);
  grid_->addWidget(row.group, line, kGroupColumn);
  grid_->addWidget(row.name, line, kNameColumn);
  grid_->addWidget(row.note, line, kNoteColumn);
  rows_.push_back(row);
  ShowRowState(rows_.back());

  // Typing a number is taking the row; the note follows what the row now holds.
  const std::size_t index = rows_.size() - 1;
  connect(row.number, &QLineEdit::textEdited, this, [this, index](const QString& text) {
    Row& edited = rows_[index];
    edited.take->setChecked(!text.isEmpty());
    edited.numberTyped = true;
    edited.duplicate = false;
    ShowRowState(edited);
  });
  connect(row.group, &QLineEdit::textEdited, this, [this, index] {
    rows_[index].duplicate = false;
    ShowRowState(rows_[index]);
  });
}

void TScanConfirmDlg::ShowRowState(Row& row) {
  const SearchTarget ticket = TicketOf(row);
  const bool sixDigits = IsSixDigits(ticket.number);
  QString note;
  if (ticket.number[0] != '\0' && !sixDigits) {
    note = kNotSixDigits;
  } else {
    // A six-digit number typed in answers whatever the reading said.
    if (!row.numberTyped || !sixDigits) note = row.readingNote;
    if (sixDigits && (row.duplicate || FindDuplicateTickets(core_.Store(), {ticket}).front())) note += kAlreadyListed;
  }
  row.note->setText(note);
  row.note->setStyleSheet(note.isEmpty() ? QString() : QStringLiteral("color: #b00000;"));
}

void TScanConfirmDlg::SetScans(const std::vector<ScannedImage>& scans) {
  ClearRows();
  const QString headings[] = {QStringLiteral("取込"), QStringLiteral("読み取った画像"), QStringLiteral("番号"),
                              QStringLiteral("組"),   QStringLiteral("名前"),           QStringLiteral("注意")};
  for (int column = 0; column < 6; ++column) {
    auto* heading = new QLabel(headings[column], rowsPanel_);
    heading->setStyleSheet(QStringLiteral("font-weight: bold;"));
    grid_->addWidget(heading, 0, column);
  }
  int found = 0, cards = 0, marked = 0;
  for (const ScannedImage& scan : scans) {
    const ImageReading& reading = scan.reading;
    cards += reading.cards;
    for (int card = 1; card <= reading.cards; ++card) {
      bool any = false;
      for (const FoundNumber& number : reading.numbers) {
        if (number.card != card) continue;
        any = true;
        ++found;
        if (!number.agreed) ++marked;
        AddRow(CardName(scan.path, card, reading.cards), &number,
               number.agreed ? QString() : QStringLiteral("2回の読み取りが違います。画像と見比べて直してください。"));
      }
      // A card whose number was not found: a row to type it in.
      if (!any) {
        AddRow(CardName(scan.path, card, reading.cards), nullptr,
               reading.error.isEmpty() ? QStringLiteral("番号が見つかりません。はがきを見て入力してください。")
                                       : reading.error);
      }
    }
  }

  // Tickets already in the list, or read twice, are not taken unless the user says so.
  std::vector<SearchTarget> tickets;
  std::vector<Row*> numbered;
  for (Row& row : rows_) {
    if (!IsSixDigits(row.number->Bytes())) continue;
    tickets.push_back(TicketOf(row));
    numbered.push_back(&row);
  }
  const std::vector<bool> duplicate = FindDuplicateTickets(core_.Store(), tickets);
  int listed = 0;
  for (std::size_t i = 0; i < numbered.size(); ++i) {
    if (!duplicate[i]) continue;
    ++listed;
    numbered[i]->duplicate = true;
    numbered[i]->take->setChecked(false);
    ShowRowState(*numbered[i]);
  }

  grid_->setColumnStretch(kNameColumn, 1);
  grid_->setColumnStretch(kNoteColumn, 1);
  grid_->setRowStretch(static_cast<int>(rows_.size()) + 1, 1);
  QString summary = QStringLiteral("%1 個の画像、%2 枚のはがきから %3 件の番号を読み取りました（確認が必要: %4 件）。")
                        .arg(scans.size())
                        .arg(cards)
                        .arg(found)
                        .arg(marked + cards - std::min(found, cards));
  if (listed > 0) {
    summary += QStringLiteral("%1 件はすでに検索対象にあるため、チェックを外しました。").arg(listed);
  }
  summary_->setText(summary + QStringLiteral("チェックした行を検索対象に追加します。"));
}

void TScanConfirmDlg::AddBtnClick() {
  added_ = 0;
  notFitted_ = 0;
  std::vector<SearchTarget> tickets;
  std::vector<const Row*> taken;
  for (const Row& row : rows_) {
    if (!row.take->isChecked()) continue;
    SearchTarget ticket = TicketOf(row);
    // A row stays in the dialog until its number is six digits or it is unchecked.
    if (!IsSixDigits(ticket.number)) {
      ui_.MessageBox(QStringLiteral("番号が6桁の数字でない行があります。直すか、チェックを外してください。"),
                     kMessageCaption, kExclamationOk);
      row.number->setFocus(Qt::OtherFocusReason);
      row.number->selectAll();
      return;
    }
    tickets.push_back(ticket);
    taken.push_back(&row);
  }

  // Tickets that turned out to be in the list only now (typed or changed here) are
  // asked about; those shown as such and checked again are kept.
  std::vector<bool> duplicate = FindDuplicateTickets(core_.Store(), tickets);
  int unasked = 0;
  for (std::size_t i = 0; i < taken.size(); ++i) {
    if (duplicate[i] && taken[i]->duplicate) duplicate[i] = false;
    unasked += duplicate[i] ? 1 : 0;
  }
  const bool keep = unasked == 0 || ui_.MessageBox(QStringLiteral("%1 件はすでに検索対象にあります。"
                                                                  "それも追加しますか？")
                                                       .arg(unasked),
                                                   kMessageCaption, kQuestionYesNoDefaultNo) == kAnswerYes;

  for (std::size_t i = 0; i < tickets.size(); ++i) {
    if (duplicate[i] && !keep) continue;
    const int result = core_.Store().AppendTarget(tickets[i]);
    if (result > 0) {
      ++added_;
    } else if (result == 0) {
      ++notFitted_;
    }
  }
  if (notFitted_ > 0) {
    ui_.MessageBox(
        QStringLiteral("検索対象は %1 件までです。%2 件は追加できませんでした。").arg(kMaxTargets).arg(notFitted_),
        kMessageCaption, kExclamationOk);
  }
  accept();
}

void TScanConfirmDlg::CancelBtnClick() {
  added_ = 0;
  notFitted_ = 0;
  reject();
}

}  // namespace luckyscope

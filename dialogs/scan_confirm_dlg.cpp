#include "dialogs/scan_confirm_dlg.h"

#include <atomic>
#include <memory>

#include <QCheckBox>
#include <QEventLoop>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollArea>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include "core/data_core.h"
#include "core/text_util.h"
#include "ui/byte_line_edit.h"
#include "ui/dialog_support.h"
#include "ui/ui_helpers.h"
#include "ui/ui_services.h"

namespace luckyscope {

namespace {

const QString kCaption = QStringLiteral("ヒットメモ");
const QString kTitle = QStringLiteral("はがきから読み取り");
constexpr int kCropHeight = 44;

enum Column { kTakeColumn, kCropColumn, kNumberColumn, kGroupColumn, kNameColumn, kNoteColumn };

QString CardName(const QString& path, int card, int cards) {
  const QString file = QFileInfo(path).fileName();
  return cards > 1 ? QStringLiteral("%1 %2枚目").arg(file).arg(card) : file;
}

}  // namespace

std::vector<ScannedImage> ReadScans(const QStringList& paths, QWidget* parent, bool* cancelled, QString* error) {
  if (cancelled) *cancelled = false;
  std::vector<ScannedImage> scans(static_cast<std::size_t>(paths.size()));
  std::atomic<bool> stop{false};
  std::atomic<int> done{0};
  QString startError;
  // The worker has its own reader: the model is loaded there, once, off the window's
  // thread.
  std::unique_ptr<QThread> worker(QThread::create([&] {
    auto reader = ScanReader::Create(&startError);
    if (!reader) return;
    for (qsizetype i = 0; i < paths.size() && !stop; ++i) {
      scans[static_cast<std::size_t>(i)].path = paths[i];
      scans[static_cast<std::size_t>(i)].reading = reader->ReadFile(paths[i]);
      done = static_cast<int>(i + 1);
    }
  }));
  QProgressDialog progress(QStringLiteral("はがきの画像を読み取っています..."), QStringLiteral("キャンセル"), 0,
                           static_cast<int>(paths.size()), parent);
  progress.setObjectName(QStringLiteral("ScanProgress"));
  progress.setWindowTitle(kTitle);
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(300);
  progress.setAutoClose(false);
  progress.setAutoReset(false);
  QEventLoop loop;
  QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
  QObject::connect(&progress, &QProgressDialog::canceled, &loop, [&] { stop = true; });
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, &progress, [&] {
    if (progress.wasCanceled()) {
      stop = true;
    } else {
      progress.setValue(done);
    }
  });
  tick.start(100);
  worker->start();
  loop.exec();
  worker->wait();
  tick.stop();
  progress.hide();
  if (stop) {
    if (cancelled) *cancelled = true;
    return {};
  }
  if (!startError.isEmpty()) {
    if (error) *error = startError;
    return {};
  }
  return scans;
}

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

bool TScanConfirmDlg::ReadAndConfirm(const QStringList& paths) {
  if (paths.isEmpty()) return false;
  bool cancelled = false;
  QString error;
  const std::vector<ScannedImage> scans = ReadScans(paths, parentWidget(), &cancelled, &error);
  if (cancelled) return false;
  if (!error.isEmpty()) {
    ui_.MessageBox(error, kCaption, kExclamationOk);
    return false;
  }
  SetScans(scans);
  exec();
  return true;
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
  // A name the codec cannot hold in full is cut as typing would cut it.
  row.name->setText(name);
  if (found) {
    row.number->SetText(QString::fromStdString(found->number));
    row.group->SetText(QString::fromStdString(found->group));
    row.take->setChecked(found->agreed);
    if (!found->crop.isNull()) {
      row.crop->setPixmap(QPixmap::fromImage(found->crop.scaledToHeight(kCropHeight, Qt::SmoothTransformation)));
    }
  } else {
    row.crop->setText(QStringLiteral("(番号なし)"));
  }
  if (!note.isEmpty()) row.note->setStyleSheet(QStringLiteral("color: #b00000;"));
  // Typing a number is taking the row.
  QCheckBox* take = row.take;
  connect(row.number, &QLineEdit::textEdited, take, [take](const QString& text) { take->setChecked(!text.isEmpty()); });
  grid_->addWidget(row.take, line, kTakeColumn, Qt::AlignCenter);
  grid_->addWidget(row.crop, line, kCropColumn);
  grid_->addWidget(row.number, line, kNumberColumn);
  grid_->addWidget(row.group, line, kGroupColumn);
  grid_->addWidget(row.name, line, kNameColumn);
  grid_->addWidget(row.note, line, kNoteColumn);
  rows_.push_back(row);
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
  grid_->setColumnStretch(kNameColumn, 1);
  grid_->setColumnStretch(kNoteColumn, 1);
  grid_->setRowStretch(static_cast<int>(rows_.size()) + 1, 1);
  summary_->setText(QStringLiteral("%1 個の画像、%2 枚のはがきから %3 件の番号を読み取りました（確認が必要: %4 件）。"
                                   "チェックした行を検索対象に追加します。")
                        .arg(scans.size())
                        .arg(cards)
                        .arg(found)
                        .arg(marked + cards - std::min(found, cards)));
}

void TScanConfirmDlg::AddBtnClick() {
  added_ = 0;
  notFitted_ = 0;
  for (const Row& row : rows_) {
    if (!row.take->isChecked()) continue;
    const std::string number = row.number->Bytes();
    if (number.empty()) continue;  // nothing to search for
    std::string name = row.name->Bytes();
    if (name.empty()) name = number;
    SearchTarget rec{};
    CopyCut(rec.name, name.c_str());
    CopyCut(rec.group, row.group->Bytes().c_str());
    CopyCut(rec.number, number.c_str());
    const int result = core_.Store().AppendTarget(rec);
    if (result > 0) {
      ++added_;
    } else if (result == 0) {
      ++notFitted_;
    }
  }
  if (notFitted_ > 0) {
    ui_.MessageBox(
        QStringLiteral("検索対象は %1 件までです。%2 件は追加できませんでした。").arg(kMaxTargets).arg(notFitted_),
        kCaption, kExclamationOk);
  }
  accept();
}

void TScanConfirmDlg::CancelBtnClick() {
  added_ = 0;
  notFitted_ = 0;
  reject();
}

}  // namespace luckyscope

#include "dialogs/import_dlg.h"

#include <algorithm>
#include <functional>
#include <memory>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QThread>
#include <QVBoxLayout>

#include "core/data_core.h"
#include "core/lottery_store.h"
#include "ui/cp932_codec.h"
#include "ui/dialog_support.h"
#include "ui/ui_helpers.h"

namespace luckyscope {

namespace {

constexpr std::size_t kPreviewRows = 8;
// Characters shown of a field: laying out a field of megabytes would stall the window.
constexpr qsizetype kPreviewChars = 200;
constexpr qsizetype kCaptionChars = 30;  // of a header cell in a column box

QString FieldText(const std::string& field, TextEncoding encoding, qsizetype maxChars) {
  QString text =
      encoding == TextEncoding::Cp932 ? FromCp932(field) : QString::fromUtf8(field.data(), qsizetype(field.size()));
  if (text.size() > maxChars) {
    text.truncate(text.at(maxChars - 1).isHighSurrogate() ? maxChars - 1 : maxChars);
    text += QChar(0x2026);
  }
  return text;
}

QString EncodingName(TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::Utf8Bom:
      return QStringLiteral("UTF-8（BOM付き）");
    case TextEncoding::Utf8:
      return QStringLiteral("UTF-8");
    case TextEncoding::Cp932:
      break;
  }
  return QStringLiteral("シフトJIS（CP932）");
}

QString SeparatorName(char separator) {
  if (separator == '\t') return QStringLiteral("タブ");
  if (separator == ';') return QStringLiteral("セミコロン");
  return QStringLiteral("カンマ");
}

// Files from this size on are read and counted on a worker thread, so that the window
// goes on drawing itself; smaller ones take less than a moment where they are.
constexpr qint64 kWorkerBytes = 4 << 20;

// Runs `work` on a thread of its own when `large`, the window drawing itself meanwhile
// (typing and clicks wait until it is done); a busy note shows after 300 ms.
void RunOffTheWindow(bool large, QWidget* parent, const std::function<void()>& work) {
  if (!large) {
    work();
    return;
  }
  std::unique_ptr<QThread> worker(QThread::create(work));
  QEventLoop loop;
  QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
  QProgressDialog busy(QStringLiteral("ファイルを読み込んでいます..."), QString(), 0, 0, parent);
  busy.setObjectName(QStringLiteral("ImportProgress"));
  busy.setWindowTitle(QStringLiteral("インポート"));
  busy.setCancelButton(nullptr);
  busy.setWindowModality(Qt::WindowModal);
  busy.setMinimumDuration(300);
  worker->start();
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  worker->wait();
}

void SelectColumn(QComboBox* box, int column) {
  box->setCurrentIndex(column >= 0 && column + 1 < box->count() ? column + 1 : 0);
}

}  // namespace

FieldConverter ImportFieldConverter(TextEncoding encoding) {
  if (encoding == TextEncoding::Cp932) {
    return [](const std::string& field, std::string& cp932) {
      cp932 = field;
      const bool ascii =
          std::all_of(field.begin(), field.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
      return ascii || !FromCp932(field).contains(QChar(0xFFFD));
    };
  }
  return [](const std::string& field, std::string& cp932) {
    bool complete = true;
    cp932 = ToCp932(QString::fromUtf8(field.data(), qsizetype(field.size())), &complete);
    return complete;
  };
}

QString ImportSummaryText(const ImportSummary& s) {
  QString text = QStringLiteral("%1件の検索対象を取り込みました。").arg(s.added);
  const int skipped = s.unencodable + s.noName + s.overLimit + (s.duplicatesKept ? 0 : s.duplicates);
  if (s.header > 0) text += QStringLiteral("\n先頭の見出し行は読み飛ばしました。");
  if (skipped > 0) {
    text += QStringLiteral("\n取り込まなかった行: %1件").arg(skipped);
    if (s.unencodable > 0)
      text += QStringLiteral("\n・シフトJIS（CP932）で表せない文字を含む行: %1件").arg(s.unencodable);
    if (s.noName > 0) text += QStringLiteral("\n・名前が空の行: %1件").arg(s.noName);
    if (s.overLimit > 0) text += QStringLiteral("\n・上限の%1件を超えた行: %2件").arg(kMaxTargets).arg(s.overLimit);
  }
  if (s.duplicates > 0 && !s.duplicatesKept) {
    text += QStringLiteral("\n・すでにある券と重なる行: %1件").arg(s.duplicates);
  }
  if (s.cut > 0) text += QStringLiteral("\n長すぎる項目を切り詰めた検索対象: %1件").arg(s.cut);
  if (s.duplicates > 0 && s.duplicatesKept) {
    text += QStringLiteral("\nすでにある券と重なるまま取り込んだ検索対象: %1件").arg(s.duplicates);
  }
  if (s.cleaned > 0) text += QStringLiteral("\n「\"」や改行を取り除いた検索対象: %1件").arg(s.cleaned);
  if (s.folded > 0) text += QStringLiteral("\n全角の数字を半角にした検索対象: %1件").arg(s.folded);
  if (s.padded > 0) text += QStringLiteral("\n先頭に0を補った検索対象: %1件").arg(s.padded);
  return text;
}

TImportDlg::TImportDlg(const DataCore& core, UiServices& ui, QWidget* parent) : QDialog(parent), core_(core), ui_(ui) {
  BuildControls();
}

TImportDlg::~TImportDlg() = default;

FileDialogPreset TImportDlg::ImportPreset() {
  return {QStringLiteral("csv"),
          QStringLiteral("CSV・タブ区切りファイル(*.csv;*.tsv;*.txt)|*.csv;*.tsv;*.txt|すべてのファイル(*)|*")};
}

void TImportDlg::BuildControls() {
  setObjectName(QStringLiteral("ImportDlg"));
  setWindowTitle(QStringLiteral("インポート"));
  setFont(UiFont(12));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

  auto* layout = new QVBoxLayout(this);
  info_ = new QLabel(this);
  info_->setObjectName(QStringLiteral("InfoLabel"));
  layout->addWidget(info_);

  preview_ = new QTableWidget(this);
  preview_->setObjectName(QStringLiteral("Preview"));
  preview_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  preview_->setSelectionMode(QAbstractItemView::NoSelection);
  preview_->verticalHeader()->setDefaultSectionSize(preview_->fontMetrics().height() + 6);
  preview_->setMinimumSize(520, 200);
  preview_->setAccessibleName(QStringLiteral("ファイルの先頭の行"));
  layout->addWidget(preview_, 1);

  auto* form = new QFormLayout;
  auto makeBox = [&](const char* name, const QString& label) {
    auto* box = new QComboBox(this);
    box->setObjectName(QString::fromLatin1(name));
    // The drop-down list is read out as the choices of the box it belongs to.
    box->view()->setAccessibleName(label.left(label.indexOf(QStringLiteral("(&"))) + QStringLiteral("の候補"));
    auto* caption = new QLabel(label, this);
    caption->setBuddy(box);
    form->addRow(caption, box);
    return box;
  };
  nameBox_ = makeBox("NameBox", QStringLiteral("名前の列(&N):"));
  groupBox_ = makeBox("GroupBox", QStringLiteral("組の列(&G):"));
  numberBox_ = makeBox("NumberBox", QStringLiteral("番号の列(&U):"));
  layout->addLayout(form);

  headerBox_ = new QCheckBox(QStringLiteral("先頭行は見出し（取り込まない）(&H)"), this);
  headerBox_->setObjectName(QStringLiteral("HeaderBox"));
  layout->addWidget(headerBox_);

  counts_ = new QLabel(this);
  counts_->setObjectName(QStringLiteral("CountsLabel"));
  counts_->setWordWrap(true);
  layout->addWidget(counts_);
  padBox_ = new QCheckBox(QStringLiteral("先頭に0を補って桁をそろえる(&Z)"), this);
  padBox_->setObjectName(QStringLiteral("PadBox"));
  layout->addWidget(padBox_);
  keepBox_ = new QCheckBox(QStringLiteral("重なる券も取り込む(&K)"), this);
  keepBox_->setObjectName(QStringLiteral("KeepDuplicatesBox"));
  layout->addWidget(keepBox_);
  for (QComboBox* box : {nameBox_, groupBox_, numberBox_}) {
    connect(box, &QComboBox::activated, this, &TImportDlg::UpdateCounts);
  }
  connect(headerBox_, &QCheckBox::toggled, this, &TImportDlg::UpdateCounts);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  appendBtn_ = MakeDialogButton(QStringLiteral("追加(&A)"), "AppendBtn", this);
  replaceBtn_ = MakeDialogButton(QStringLiteral("置き換え(&R)"), "ReplaceBtn", this);
  cancelBtn_ = MakeDialogButton(QStringLiteral("キャンセル"), "CancelBtn", this);
  SetHint(appendBtn_, QStringLiteral("追加|最後の検索対象の後ろに追加します"));
  SetHint(replaceBtn_, QStringLiteral("置き換え|今の検索対象をすべて置き換えます"));
  for (QPushButton* b : {appendBtn_, replaceBtn_, cancelBtn_}) buttons->addWidget(b);
  layout->addLayout(buttons);
  connect(appendBtn_, &QPushButton::clicked, this, [this] { Finish(ImportMode::Append); });
  connect(replaceBtn_, &QPushButton::clicked, this, [this] { Finish(ImportMode::Replace); });
  connect(cancelBtn_, &QPushButton::clicked, this, &QDialog::reject);
  SetTabChain(
      {preview_, nameBox_, groupBox_, numberBox_, headerBox_, padBox_, keepBox_, appendBtn_, replaceBtn_, cancelBtn_});
  resize(600, 500);
}

bool TImportDlg::Prepare(const std::string& path) {
  const QString file = QString::fromUtf8(path.data(), qsizetype(path.size()));
  large_ = QFileInfo(file).size() >= kWorkerBytes;
  QWidget* owner = parentWidget() != nullptr ? parentWidget() : this;
  ImportLayout guess;
  std::vector<CsvRow> head;  // the rows shown
  RunOffTheWindow(large_, owner, [this, &path, &guess, &head] {
    source_ = ReadImportSource(path.c_str());
    if (source_.rows.empty()) return;
    guess = GuessLayout(source_.rows);
    for (std::size_t r = 0; r < source_.rows.size() && r < kPreviewRows; ++r) head.push_back(source_.rows[r]);
  });
  if (!source_.readable) {
    ui_.MessageBox(QStringLiteral("ファイルを読み込めませんでした。\n%1").arg(file), kMessageCaption, kExclamationOk);
    return false;
  }
  if (source_.rows.empty()) {
    ui_.MessageBox(QStringLiteral("取り込める行がありません。\n%1").arg(file), kMessageCaption, kExclamationOk);
    return false;
  }
  const auto columns = static_cast<std::size_t>(source_.rows.Columns());
  const auto shown = static_cast<int>(head.size());

  info_->setText(QStringLiteral("文字コード: %1　区切り: %2　行数: %3")
                     .arg(EncodingName(source_.encoding), SeparatorName(source_.separator))
                     .arg(source_.rows.size()));
  preview_->clear();
  preview_->setRowCount(shown);
  preview_->setColumnCount(static_cast<int>(columns));
  QStringList captions;
  for (std::size_t c = 0; c < columns; ++c) captions << QStringLiteral("%1列目").arg(c + 1);
  preview_->setHorizontalHeaderLabels(captions);
  for (int r = 0; r < shown; ++r) {
    const CsvRow& row = head[static_cast<std::size_t>(r)];
    for (std::size_t c = 0; c < columns && c < row.size(); ++c) {
      preview_->setItem(r, static_cast<int>(c),
                        new QTableWidgetItem(FieldText(row[c], source_.encoding, kPreviewChars)));
    }
  }
  const CsvRow& first = head.front();
  for (QComboBox* box : {nameBox_, groupBox_, numberBox_}) {
    box->clear();
    box->addItem(QStringLiteral("（なし）"));
    for (std::size_t c = 0; c < columns; ++c) {
      QString item = captions.at(static_cast<qsizetype>(c));
      if (guess.header && c < first.size()) {
        item += QStringLiteral("「%1」").arg(FieldText(first[c], source_.encoding, kCaptionChars));
      }
      box->addItem(item);
    }
  }
  SelectColumn(nameBox_, guess.name);
  SelectColumn(groupBox_, guess.group);
  SelectColumn(numberBox_, guess.number);
  {
    const QSignalBlocker blocker(headerBox_);
    headerBox_->setChecked(guess.header);
  }
  keepBox_->setChecked(false);
  UpdateCounts();
  mode_ = ImportMode::Append;
  return true;
}

void TImportDlg::UpdateCounts() {
  // Every row is read for these counts: the padding offer first, then the duplicates of
  // the tickets as they would come in with it.
  ImportLayout layout = Layout();
  layout.keepDuplicates = false;
  PaddingOffer offer;
  int duplicates = 0;
  RunOffTheWindow(large_, isVisible() ? this : parentWidget(), [&] {
    offer = FindShortenedFields(source_.rows, layout);
    layout.padNumberTo = offer.allDigits ? offer.numberWidth : 0;
    layout.padGroupTo = offer.allDigits ? offer.groupWidth : 0;
    duplicates = PreviewImport(core_, source_.rows, layout, ImportMode::Append, ImportFieldConverter(source_.encoding))
                     .duplicates;
  });
  offer_ = offer;
  const bool shortened = offer_.shortNumbers + offer_.shortGroups > 0;
  QStringList lines;
  if (offer_.shortNumbers > 0) {
    lines << QStringLiteral("番号が%1桁に足りない行: %2件").arg(offer_.numberWidth).arg(offer_.shortNumbers);
  }
  if (offer_.shortGroups > 0) {
    lines << QStringLiteral("組が%1桁に足りない行: %2件").arg(offer_.groupWidth).arg(offer_.shortGroups);
  }
  if (shortened) {
    lines.last() += QStringLiteral("（表計算ソフトで先頭の0が落ちたのかもしれません）");
  }
  padBox_->setVisible(shortened);
  padBox_->setChecked(shortened && offer_.allDigits);
  if (duplicates > 0) lines << QStringLiteral("すでに一覧にある券、またはファイルの中で重なる券: %1件").arg(duplicates);
  keepBox_->setVisible(duplicates > 0);
  counts_->setText(lines.join(QLatin1Char('\n')));
  counts_->setVisible(!lines.isEmpty());
}

ImportLayout TImportDlg::Layout() const {
  ImportLayout layout{nameBox_->currentIndex() - 1, groupBox_->currentIndex() - 1, numberBox_->currentIndex() - 1,
                      headerBox_->isChecked()};
  if (padBox_->isChecked()) {
    layout.padNumberTo = offer_.numberWidth;
    layout.padGroupTo = offer_.groupWidth;
  }
  layout.keepDuplicates = keepBox_->isChecked();
  return layout;
}

ImportSource TImportDlg::TakeSource() {
  ImportSource source = std::move(source_);
  source_ = ImportSource{};
  return source;
}

void TImportDlg::done(int result) {
  if (result != QDialog::Accepted) source_ = ImportSource{};
  QDialog::done(result);
}

void TImportDlg::Finish(ImportMode mode) {
  mode_ = mode;
  accept();
}

}  // namespace luckyscope

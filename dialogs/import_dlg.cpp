#include "dialogs/import_dlg.h"

#include <algorithm>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "core/lottery_store.h"
#include "ui/cp932_codec.h"
#include "ui/dialog_support.h"
#include "ui/ui_helpers.h"

namespace luckyscope {

namespace {

constexpr int kPreviewRows = 8;
constexpr int kMaxColumns = 64;  // columns offered in the boxes

QString FieldText(const std::string& field, TextEncoding encoding) {
  return encoding == TextEncoding::Cp932 ? FromCp932(field) : QString::fromUtf8(field.data(), qsizetype(field.size()));
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
  const int skipped = s.unencodable + s.noName + s.overLimit;
  if (s.header > 0) text += QStringLiteral("\n先頭の見出し行は読み飛ばしました。");
  if (skipped > 0) {
    text += QStringLiteral("\n取り込まなかった行: %1件").arg(skipped);
    if (s.unencodable > 0)
      text += QStringLiteral("\n・シフトJIS（CP932）で表せない文字を含む行: %1件").arg(s.unencodable);
    if (s.noName > 0) text += QStringLiteral("\n・名前が空の行: %1件").arg(s.noName);
    if (s.overLimit > 0) text += QStringLiteral("\n・上限の%1件を超えた行: %2件").arg(kMaxTargets).arg(s.overLimit);
  }
  if (s.cut > 0) text += QStringLiteral("\n長すぎる項目を切り詰めた検索対象: %1件").arg(s.cut);
  return text;
}

TImportDlg::TImportDlg(UiServices& ui, QWidget* parent) : QDialog(parent), ui_(ui) { BuildControls(); }

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
  SetTabChain({preview_, nameBox_, groupBox_, numberBox_, headerBox_, appendBtn_, replaceBtn_, cancelBtn_});
  resize(600, 440);
}

bool TImportDlg::Prepare(const std::string& path) {
  source_ = ReadImportSource(path.c_str());
  const QString file = QString::fromUtf8(path.data(), qsizetype(path.size()));
  if (!source_.readable) {
    ui_.MessageBox(QStringLiteral("ファイルを読み込めませんでした。\n%1").arg(file), kMessageCaption, kExclamationOk);
    return false;
  }
  if (source_.rows.empty()) {
    ui_.MessageBox(QStringLiteral("取り込める行がありません。\n%1").arg(file), kMessageCaption, kExclamationOk);
    return false;
  }
  std::size_t columns = 0;
  for (const CsvRow& row : source_.rows) columns = std::max(columns, row.size());
  columns = std::min<std::size_t>(columns, kMaxColumns);
  const int shown = std::min<int>(kPreviewRows, static_cast<int>(source_.rows.size()));
  const ImportLayout guess = GuessLayout(source_.rows);

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
    const CsvRow& row = source_.rows[static_cast<std::size_t>(r)];
    for (std::size_t c = 0; c < columns && c < row.size(); ++c) {
      preview_->setItem(r, static_cast<int>(c), new QTableWidgetItem(FieldText(row[c], source_.encoding)));
    }
  }
  const CsvRow& first = source_.rows.front();
  for (QComboBox* box : {nameBox_, groupBox_, numberBox_}) {
    box->clear();
    box->addItem(QStringLiteral("（なし）"));
    for (std::size_t c = 0; c < columns; ++c) {
      QString item = captions.at(static_cast<qsizetype>(c));
      if (guess.header && c < first.size()) item += QStringLiteral("「%1」").arg(FieldText(first[c], source_.encoding));
      box->addItem(item);
    }
  }
  SelectColumn(nameBox_, guess.name);
  SelectColumn(groupBox_, guess.group);
  SelectColumn(numberBox_, guess.number);
  headerBox_->setChecked(guess.header);
  mode_ = ImportMode::Append;
  return true;
}

ImportLayout TImportDlg::Layout() const {
  return {nameBox_->currentIndex() - 1, groupBox_->currentIndex() - 1, numberBox_->currentIndex() - 1,
          headerBox_->isChecked()};
}

void TImportDlg::Finish(ImportMode mode) {
  mode_ = mode;
  accept();
}

}  // namespace luckyscope

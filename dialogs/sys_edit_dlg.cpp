#include "dialogs/sys_edit_dlg.h"

#include <string>

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "core/text_util.h"
#include "ui/byte_line_edit.h"
#include "ui/dialog_support.h"
#include "ui/ui_helpers.h"

namespace luckyscope {

namespace {

constexpr int kPathBytes = kPathSize - 1;

QCheckBox* MakeCheckBox(const QString& text, const char* name, QWidget* parent) {
  auto* box = new QCheckBox(text, parent);
  box->setObjectName(QString::fromLatin1(name));
  return box;
}

QGroupBox* MakeGroup(const QString& title, const char* name, QWidget* parent) {
  auto* group = new QGroupBox(title, parent);
  group->setObjectName(QString::fromLatin1(name));
  return group;
}

}  // namespace

TSysEditDlg::TSysEditDlg(DataCore& core, UiServices& ui, QWidget* parent) : ActivatedDialog(parent), core_(core), ui_(ui) {
  BuildControls();
}

TSysEditDlg::~TSysEditDlg() = default;

FileDialogPreset TSysEditDlg::StartupFilePreset() {
  return {QStringLiteral("ban"), QStringLiteral("当選番号ファイル(*.ban)|*.ban")};
}

FileDialogPreset TSysEditDlg::LogFilePreset() {
  return {QStringLiteral("dat"), QStringLiteral("検索対象ファイル(*.dat)|*.dat")};
}

FileDialogPreset TSysEditDlg::SoundFilePreset() {
  return {QStringLiteral("wav"), QStringLiteral("WAVファイル(*.wav)|*.wav|MP3ファイル(*mp3)|*.mp3|"
                                                "WMAファイル(*wma)|*.wma|その他ファイル(*.*)|*.*")};
}

void TSysEditDlg::BuildControls() {
  setWindowTitle(QStringLiteral("システム設定"));
  setFont(UiFont(12));

  okBtn_ = MakeDialogButton(QStringLiteral("OK"), "OKBtn", this);
  cancelBtn_ = MakeDialogButton(QStringLiteral("キャンセル"), "CancelBtn", this);
  // Enter in a text box or on a check box presses "OK"; Enter on a focused button
  // presses that button.
  okBtn_->setDefault(true);

  const QFontMetrics metrics(font());
  const int pathWidth = metrics.horizontalAdvance(QLatin1Char('0')) * 30;

  // Paths are file-name bytes, not code page 932.
  auto makePathBox = [pathWidth](const char* name, QWidget* parent) {
    ByteLineEdit* box = MakeDialogBox(name, kPathBytes, true, parent, TextBytes::FileName);
    box->setMinimumWidth(pathWidth);
    return box;
  };

  QGroupBox* files = MakeGroup(QStringLiteral("ファイル"), "GroupBox2", this);
  edit1_ = makePathBox("Edit1", files);
  auto* button1 = MakeDialogButton(QStringLiteral("参照..."), "Button1", files);
  button1->setAccessibleName(QStringLiteral("起動時ロードファイルを参照"));
  checkBox1_ = MakeCheckBox(QStringLiteral("データ保存時、チェック結果も保存する"), "CheckBox1", files);
  auto* filesGrid = new QGridLayout(files);
  filesGrid->addWidget(MakeDialogLabel(QStringLiteral("起動時ロードファイル"), "Label1", edit1_, files), 0, 0);
  filesGrid->addWidget(edit1_, 0, 1);
  filesGrid->addWidget(button1, 0, 2);
  filesGrid->addWidget(checkBox1_, 1, 0, 1, 3);
  filesGrid->setColumnStretch(1, 1);

  QGroupBox* easy = MakeGroup(QStringLiteral("簡易チェック"), "GroupBox1", this);
  edit2_ = makePathBox("Edit2", easy);
  auto* button2 = MakeDialogButton(QStringLiteral("参照..."), "Button2", easy);
  button2->setAccessibleName(QStringLiteral("ログファイルを参照"));
  checkBox2_ = MakeCheckBox(QStringLiteral("番号６桁自動実行する（初期値）"), "CheckBox2", easy);
  checkBox3_ = MakeCheckBox(QStringLiteral("組入力する"), "CheckBox3", easy);
  checkBox4_ = MakeCheckBox(QStringLiteral("下２桁を先に入力する"), "CheckBox4", easy);
  auto* easyGrid = new QGridLayout(easy);
  easyGrid->addWidget(MakeDialogLabel(QStringLiteral("ログファイル"), "Label2", edit2_, easy), 0, 0);
  easyGrid->addWidget(edit2_, 0, 1);
  easyGrid->addWidget(button2, 0, 2);
  easyGrid->addWidget(checkBox2_, 1, 0, 1, 3);
  easyGrid->addWidget(checkBox3_, 2, 0, 1, 3);
  easyGrid->addWidget(checkBox4_, 3, 0, 1, 3);
  easyGrid->setColumnStretch(1, 1);

  QGroupBox* sound = MakeGroup(QStringLiteral("サウンド設定"), "GroupBox3", this);
  edit3_ = makePathBox("Edit3", sound);
  auto* button3 = MakeDialogButton(QStringLiteral("参照..."), "Button3", sound);
  button3->setAccessibleName(QStringLiteral("当たりサウンドファイルを参照"));
  edit4_ = makePathBox("Edit4", sound);
  auto* button4 = MakeDialogButton(QStringLiteral("参照..."), "Button4", sound);
  button4->setAccessibleName(QStringLiteral("はずれサウンドファイルを参照"));
  auto* soundGrid = new QGridLayout(sound);
  soundGrid->addWidget(MakeDialogLabel(QStringLiteral("当たりサウンドファイル"), "Label3", edit3_, sound), 0, 0, 1, 2);
  soundGrid->addWidget(edit3_, 1, 0);
  soundGrid->addWidget(button3, 1, 1);
  soundGrid->addWidget(MakeDialogLabel(QStringLiteral("はずれサウンドファイル"), "Label4", edit4_, sound), 2, 0, 1, 2);
  soundGrid->addWidget(edit4_, 3, 0);
  soundGrid->addWidget(button4, 3, 1);
  soundGrid->setColumnStretch(0, 1);

  auto* groups = new QVBoxLayout;
  groups->addWidget(files);
  groups->addWidget(easy);
  groups->addWidget(sound);

  auto* buttons = new QVBoxLayout;
  buttons->addWidget(okBtn_);
  buttons->addWidget(cancelBtn_);
  buttons->addStretch(1);

  auto* top = new QHBoxLayout(this);
  top->setContentsMargins(8, 8, 8, 8);
  top->addLayout(groups, 1);
  top->addLayout(buttons);

  SetTabChain({okBtn_, cancelBtn_, edit1_, button1, checkBox1_, edit2_, button2, checkBox2_, checkBox3_, checkBox4_,
               edit3_, button3, edit4_, button4});

  connect(okBtn_, &QPushButton::clicked, this, &TSysEditDlg::OKBtnClick);
  connect(cancelBtn_, &QPushButton::clicked, this, &TSysEditDlg::CancelBtnClick);
  connect(button1, &QPushButton::clicked, this, &TSysEditDlg::Button1Click);
  connect(button2, &QPushButton::clicked, this, &TSysEditDlg::Button2Click);
  connect(button3, &QPushButton::clicked, this, &TSysEditDlg::Button3Click);
  connect(button4, &QPushButton::clicked, this, &TSysEditDlg::Button4Click);

  SetFixedDialogFrame(*this);
}

void TSysEditDlg::FormActivate() {
  core_.GetSettings(settings_);
  edit1_->SetBytes(settings_.startupFile);
  edit2_->SetBytes(settings_.logFile);
  edit3_->SetBytes(settings_.hitSoundFile);
  edit4_->SetBytes(settings_.missSoundFile);
  checkBox1_->setChecked(settings_.saveResults != 0);
  checkBox2_->setChecked(settings_.autoRunSixDigits != 0);
  checkBox3_->setChecked(settings_.enterGroup != 0);
  checkBox4_->setChecked(settings_.lastTwoFirst != 0);
  cancelBtn_->setFocus(Qt::OtherFocusReason);
}

void TSysEditDlg::Browse(ByteLineEdit& box, const FileDialogPreset& preset) {
  const std::optional<std::string> chosen = ui_.OpenFileDialog(preset);
  if (!chosen) return;  // cancelled: the box keeps its text
  // A path longer than the settings can hold is not cut to name some other file: it
  // is refused as unusable, and the box keeps its text.
  if (chosen->size() > static_cast<std::size_t>(kPathBytes)) {
    ui_.MessageBox(QStringLiteral("選択されたファイルは使用できません。"), kMessageCaption, kExclamationOk);
    return;
  }
  box.SetBytes(*chosen);
}

void TSysEditDlg::Button1Click() { Browse(*edit1_, StartupFilePreset()); }
void TSysEditDlg::Button2Click() { Browse(*edit2_, LogFilePreset()); }
void TSysEditDlg::Button3Click() { Browse(*edit3_, SoundFilePreset()); }
void TSysEditDlg::Button4Click() { Browse(*edit4_, SoundFilePreset()); }

void TSysEditDlg::OKBtnClick() {
  // Stored as the boxes show them: nothing is checked, empty names included.
  CopyCut(settings_.startupFile, edit1_->Bytes().c_str());
  CopyCut(settings_.logFile, edit2_->Bytes().c_str());
  CopyCut(settings_.hitSoundFile, edit3_->Bytes().c_str());
  CopyCut(settings_.missSoundFile, edit4_->Bytes().c_str());
  settings_.saveResults = checkBox1_->isChecked() ? 1 : 0;
  settings_.autoRunSixDigits = checkBox2_->isChecked() ? 1 : 0;
  settings_.enterGroup = checkBox3_->isChecked() ? 1 : 0;
  settings_.lastTwoFirst = checkBox4_->isChecked() ? 1 : 0;
  core_.SetSettings(settings_);
  accept();
}

void TSysEditDlg::CancelBtnClick() { reject(); }

}  // namespace luckyscope

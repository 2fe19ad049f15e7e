#include "checks/esy_check_dlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "checks/easy_check.h"
#include "checks/verdict_view.h"
#include "core/matching.h"
#include "core/text_util.h"
#include "ui/byte_line_edit.h"
#include "ui/cp932_codec.h"
#include "ui/dialog_support.h"
#include "ui/ui_helpers.h"
#include "ui/ui_services.h"

namespace luckyscope {
namespace {

constexpr int kGroupBytes = kFieldSize - 1;
constexpr int kSixDigits = 6;
constexpr int kLastTwoBytes = 2;
constexpr unsigned char kBlankLimit = 32;  // spaces, tabs and line ends are trimmed

// The box's text as the check uses it: at most 15 bytes, blanks trimmed at both ends.
std::string TrimmedField(const ByteLineEdit* box) {
  char cut[kFieldSize];
  CopyCut(cut, box->Bytes().c_str());
  char trimmed[kFieldSize];
  TrimBlanks(cut, trimmed, kBlankLimit);
  return trimmed;
}

// A digit key, half- or full-width.
bool IsDigitText(const QString& text) {
  if (text.size() != 1) return false;
  const QChar c = text.front();
  return (c >= u'0' && c <= u'9') || (c >= u'\uFF10' && c <= u'\uFF19');
}

}  // namespace

TEsyCheckDlg::TEsyCheckDlg(DataCore& core, UiServices& ui, SoundCueState& cue, QWidget* parent)
    : ActivatedDialog(parent), core_(core), ui_(ui), cue_(cue), logWriter_(AppendLogLine) {
  BuildControls();
  // Created once for the program's run: empty boxes and no log line written yet.
  memo1_->SetText(QString());
  memo2_->SetText(QString());
  memo3_->SetText(QString());
  memo4_->SetText(QString());
  logCounter_ = 0;
}

void TEsyCheckDlg::BuildControls() {
  setObjectName(QStringLiteral("TEsyCheckDlg"));
  setWindowTitle(QStringLiteral("簡易チェック"));
  setFont(UiFont(12));
  const QFont boxFont = UiFont(15);

  // Neither button is the default: Enter in a box does what that box's handler says,
  // and Enter on a focused button presses that button.
  okBtn_ = MakeDialogButton(QStringLiteral("実行"), "OKBtn", this);
  cancelBtn_ = MakeDialogButton(QStringLiteral("終了"), "CancelBtn", this);
  cameraBtn_ = MakeDialogButton(QStringLiteral("カメラ(&M)..."), "CameraBtn", this);
  cameraBtn_->setToolTip(QStringLiteral("はがきをカメラに向けてチェックします"));
  cameraBtn_->hide();

  auto* panel = new QFrame(this);
  panel->setFrameShape(QFrame::StyledPanel);
  panel->setFrameShadow(QFrame::Sunken);

  auto makeBox = [&](const char* name, int maxBytes, int width) {
    ByteLineEdit* box = MakeDialogBox(name, maxBytes, false, panel);
    box->setFont(boxFont);
    if (width > 0) box->setFixedWidth(width);
    return box;
  };
  memo1_ = makeBox("Memo1", kGroupBytes, 150);
  memo2_ = makeBox("Memo2", kGroupBytes, 150);
  memo4_ = makeBox("Memo4", kLastTwoBytes, 44);
  memo4_->setAccessibleName(QStringLiteral("番号の下２桁"));
  // Memo4 keeps its place while hidden, so that the dialog looks the same either way.
  QSizePolicy keep = memo4_->sizePolicy();
  keep.setRetainSizeWhenHidden(true);
  memo4_->setSizePolicy(keep);
  memo3_ = makeBox("Memo3", 0, 0);
  memo3_->setReadOnly(true);
  memo3_->setMinimumWidth(300);

  checkBox1_ = new QCheckBox(QStringLiteral("番号６桁自動実行"), panel);
  checkBox1_->setObjectName(QStringLiteral("CheckBox1"));
  // Full-width digits and asterisks typed or pasted are taken as half-width ones, as
  // the winning numbers hold them.
  for (ByteLineEdit* box : {memo1_, memo2_, memo4_}) box->SetHalfWidthDigits(true);
  // The key handlers of the three input boxes, the check box and "実行" see keys first.
  for (QWidget* w : std::initializer_list<QWidget*>{memo1_, memo2_, memo4_, checkBox1_, okBtn_}) {
    w->installEventFilter(this);
  }

  auto makeLabel = [&](const QString& text, const char* name, QWidget* buddy) {
    QLabel* label = MakeDialogLabel(text, name, buddy, panel);
    label->setFont(boxFont);
    return label;
  };
  auto* grid = new QGridLayout(panel);
  grid->setHorizontalSpacing(8);
  grid->addWidget(makeLabel(QStringLiteral("組"), "Label1", memo1_), 0, 0);
  grid->addWidget(memo1_, 0, 1, Qt::AlignLeft);
  grid->addWidget(makeLabel(QStringLiteral("番号"), "Label2", memo2_), 1, 0);
  auto* numberRow = new QHBoxLayout;
  numberRow->setSpacing(6);
  numberRow->addWidget(memo2_);
  numberRow->addWidget(memo4_);
  numberRow->addStretch(1);
  grid->addLayout(numberRow, 1, 1);
  grid->addWidget(makeLabel(QStringLiteral("結果"), "Label3", memo3_), 2, 0);
  grid->addWidget(memo3_, 2, 1);
  grid->addWidget(checkBox1_, 3, 0, 1, 2);

  auto* buttons = new QVBoxLayout;
  buttons->addWidget(okBtn_);
  buttons->addWidget(cancelBtn_);
  buttons->addStretch(1);
  buttons->addWidget(cameraBtn_);

  auto* layout = new QHBoxLayout(this);
  layout->addWidget(panel, 1);
  layout->addLayout(buttons);
  // The frame follows the layout: Japanese glyphs are wider here than the classic
  // 393 x 155 frame allows for, and no text may be cut.
  SetFixedDialogFrame(*this);

  setTabOrder(okBtn_, cancelBtn_);
  setTabOrder(cancelBtn_, memo1_);
  setTabOrder(memo1_, memo4_);
  setTabOrder(memo4_, memo2_);
  setTabOrder(memo2_, memo3_);
  setTabOrder(memo3_, checkBox1_);

  connect(okBtn_, &QPushButton::clicked, this, &TEsyCheckDlg::OKBtnClick);
  connect(cancelBtn_, &QPushButton::clicked, this, &TEsyCheckDlg::CancelBtnClick);
  connect(cameraBtn_, &QPushButton::clicked, this, [this] {
    if (openCamera_) openCamera_();
  });
  connect(memo2_, &QLineEdit::textChanged, this, &TEsyCheckDlg::Memo2Change);
  connect(memo4_, &QLineEdit::textChanged, this, &TEsyCheckDlg::Memo4Change);
  connect(checkBox1_, &QCheckBox::toggled, this, &TEsyCheckDlg::CheckBox1Click);
}

void TEsyCheckDlg::SetCameraCheck(std::function<void()> open) {
  openCamera_ = std::move(open);
  cameraBtn_->setVisible(static_cast<bool>(openCamera_));
  SetFixedDialogFrame(*this);
}

// --- Activation ----------------------------------------------------------------------

void TEsyCheckDlg::FormActivate() {
  core_.GetSettings(settings_);
  // Each showing starts from the setting; the box is never written back.
  checkBox1_->setChecked(settings_.autoRunSixDigits != 0);
  ResolveLogFile(core_, settings_, logPath_, logCounter_);
  memo4_->setVisible(settings_.lastTwoFirst != 0);
  memo4_->SetMaxBytes(kLastTwoBytes);
  memo1_->SetText(settings_.enterGroup != 0 ? QString() : QStringLiteral("*"));
  memo2_->SetText(QString());
  memo3_->SetText(QString());
  memo4_->SetText(QString());
  memo2_->SetMaxBytes(checkBox1_->isChecked() ? kSixDigits : kGroupBytes);
  PaintVerdict(*memo3_, VerdictKind::Miss);
  if (settings_.enterGroup != 0) {
    memo1_->setFocus();
  } else if (settings_.lastTwoFirst != 0) {
    memo4_->setFocus();
  } else {
    memo2_->setFocus();
  }
}

// --- The full check ------------------------------------------------------------------

bool TEsyCheckDlg::CheckWinningData() {
  if (core_.Store().WinningCount() > 0) return true;
  ui_.MessageBox(QStringLiteral("当選番号データを入力してください。"), kMessageCaption, kExclamationOk);
  return false;
}

void TEsyCheckDlg::OKBtnClick() {
  if (!CheckWinningData()) return;
  const TicketVerdict verdict = JudgeFullTicket(core_.Store(), TrimmedField(memo1_), TrimmedField(memo2_));
  ShowVerdict(verdict);
  if (logPath_[0] != '\0') WriteLog(verdict.group, verdict.number, verdict.result);
  ResetForNextTicket(verdict.text, false);
}

void TEsyCheckDlg::ShowVerdict(const TicketVerdict& verdict) {
  PaintVerdict(*memo3_, verdict.kind);
  SoundVerdict(ui_.Sound(), cue_, settings_, verdict.kind);
}

void TEsyCheckDlg::WriteLog(const std::string& group, const std::string& number, const std::string& result) {
  // The counter advances even when the file cannot be opened: the numbers tell the
  // user how many checks were made.
  logCounter_ = NextLogNumber(logCounter_);
  const int written = logWriter_(logPath_, FormatLogLine(logCounter_, group, number, result));
  // A log that cannot be opened (missing folder, no permission) is skipped silently.
  if (written == kLogWriteFailed) {
    ui_.MessageBox(QStringLiteral("ログファイルの書き込みに失敗しました。"), kMessageCaption, kExclamationOk);
  }
}

void TEsyCheckDlg::ResetForNextTicket(const std::string& message, bool lastTwoStep) {
  memo3_->SetBytes(message);
  memo2_->SetText(QString());
  memo4_->SetText(QString());
  if (settings_.enterGroup != 0) {
    memo1_->SetText(QString());
    memo1_->setFocus();
    return;
  }
  memo1_->SetText(QStringLiteral("*"));
  if (lastTwoStep || settings_.lastTwoFirst != 0) {
    memo4_->setFocus();
  } else {
    memo2_->setFocus();
  }
}

// --- The last-two-digits step --------------------------------------------------------

void TEsyCheckDlg::CheckLastTwoDigits() {
  if (!CheckWinningData()) return;
  const TicketVerdict verdict = JudgeLastTwo(core_.Store(), TrimmedField(memo4_));
  ShowVerdict(verdict);
  if (verdict.kind != VerdictKind::Maybe) {
    ResetForNextTicket(verdict.text, true);
    return;
  }
  // Maybe: the two digits go to the number box, the caret before them, and the user
  // types the upper four digits in front.
  memo2_->SetText(memo4_->text());
  memo4_->SetText(QString());
  memo2_->setCursorPosition(0);
  memo3_->SetBytes(verdict.text);
  memo2_->setFocus();
}

// --- Keys and changes ----------------------------------------------------------------

bool TEsyCheckDlg::Memo1KeyDown(int key) {
  if (!IsEnterKey(key)) return false;
  (settings_.lastTwoFirst != 0 ? memo4_ : memo2_)->setFocus();
  return true;
}

bool TEsyCheckDlg::Memo2KeyDown(int key) {
  if (!IsEnterKey(key)) return false;
  if (checkBox1_->isChecked()) {
    OKBtnClick();
  } else {
    okBtn_->setFocus();
  }
  return true;
}

bool TEsyCheckDlg::OKBtnKeyDown(const QKeyEvent& key) {
  // Enter in the number box hands the focus to "実行". A user who goes straight on with
  // the next number has the pending one judged first, and the digit starts the next
  // number in the emptied box.
  if (checkBox1_->isChecked() || !IsDigitText(key.text())) return false;
  QWidget* next = memo2_;
  // Nothing pending (Enter in an empty number box): the digit starts the number.
  if (!TrimmedField(memo2_).empty()) {
    OKBtnClick();
    next = focusWidget();
  } else {
    memo2_->setFocus();
  }
  if (next == nullptr || next == okBtn_) return true;  // nothing judged (no winning data)
  QKeyEvent again(key.type(), key.key(), key.modifiers(), key.text(), key.isAutoRepeat(), key.count());
  QCoreApplication::sendEvent(next, &again);
  return true;
}

void TEsyCheckDlg::Memo2Change() {
  if (checkBox1_->isChecked() && memo2_->ByteCount() == kSixDigits) OKBtnClick();
}

void TEsyCheckDlg::CheckBox1Click() {
  memo2_->SetMaxBytes(checkBox1_->isChecked() ? kSixDigits : kGroupBytes);
  memo2_->SetText(QString());
}

bool TEsyCheckDlg::CheckBox1KeyDown(int key) {
  if (!IsEnterKey(key)) return false;
  checkBox1_->toggle();
  return true;
}

void TEsyCheckDlg::Memo4Change() {
  if (memo4_->ByteCount() == kLastTwoBytes) CheckLastTwoDigits();
}

bool TEsyCheckDlg::Memo4KeyDown(int key) {
  if (!IsEnterKey(key)) return false;
  CheckLastTwoDigits();
  return true;
}

bool TEsyCheckDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
  if (watched == okBtn_) return OKBtnKeyDown(*static_cast<QKeyEvent*>(event));
  const int key = static_cast<QKeyEvent*>(event)->key();
  if (watched == memo1_) return Memo1KeyDown(key);
  if (watched == memo2_) return Memo2KeyDown(key);
  if (watched == memo4_) return Memo4KeyDown(key);
  if (watched == checkBox1_) return CheckBox1KeyDown(key);
  return QDialog::eventFilter(watched, event);
}

void TEsyCheckDlg::keyPressEvent(QKeyEvent* event) {
  // Esc is the "終了" button (which also stops the cue); the close box is not.
  if (event->key() == Qt::Key_Escape) {
    cancelBtn_->click();
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

// --- Closing, cues and colours -------------------------------------------------------

void TEsyCheckDlg::CancelBtnClick() {
  StopVerdictCue(ui_.Sound(), cue_);
  reject();
}

}  // namespace luckyscope

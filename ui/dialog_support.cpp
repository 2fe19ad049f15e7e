#include "ui/dialog_support.h"

#include <algorithm>
#include <string>

#include <QDialog>
#include <QEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QShowEvent>

#include "core/lottery_store.h"
#include "core/text_util.h"
#include "ui/byte_line_edit.h"
#include "ui/ui_services.h"

namespace luckyscope {

namespace {

// Presses its button on Enter while the button has the focus.
class EnterPresser final : public QObject {
 public:
  explicit EnterPresser(QPushButton& button) : QObject(&button), button_(button) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == &button_ && event->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(event);
      if (IsEnterKey(key->key())) {
        button_.click();
        return true;
      }
    }
    return false;
  }

 private:
  QPushButton& button_;
};

}  // namespace

void ActivatedDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormActivate();
}

void SetFixedDialogFrame(QDialog& dialog) {
  dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                        Qt::WindowCloseButtonHint);
  if (dialog.layout() != nullptr) dialog.layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void MakeFocusedEnterPress(QPushButton& button) {
  button.setAutoDefault(false);
  button.installEventFilter(new EnterPresser(button));
}

QPushButton* MakeDialogButton(const QString& text, const char* name, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QString::fromLatin1(name));
  MakeFocusedEnterPress(*button);
  return button;
}

ByteLineEdit* MakeDialogBox(const char* name, int maxBytes, bool ime, QWidget* parent, TextBytes encoding) {
  auto* box = new ByteLineEdit(parent, encoding);
  box->setObjectName(QString::fromLatin1(name));
  box->SetMaxBytes(maxBytes);
  box->SetImeEnabled(ime);
  return box;
}

QLabel* MakeDialogLabel(const QString& text, const char* name, QWidget* buddy, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setBuddy(buddy);
  return label;
}

void SetTabChain(std::initializer_list<QWidget*> widgets) {
  QWidget* previous = nullptr;
  for (QWidget* widget : widgets) {
    if (previous != nullptr) QWidget::setTabOrder(previous, widget);
    previous = widget;
  }
}

RecordPanel BuildRecordPanel(QWidget* parent, int regNoChars, const QString& nameLabel) {
  RecordPanel p{};
  p.frame = new QFrame(parent);
  p.frame->setObjectName(QStringLiteral("Panel1"));
  p.frame->setFrameShape(QFrame::StyledPanel);
  p.frame->setFrameShadow(QFrame::Sunken);

  p.memo1 = MakeDialogBox("Memo1", regNoChars, false, p.frame);
  p.button1 = MakeDialogButton(QStringLiteral("<"), "Button1", p.frame);
  p.button2 = MakeDialogButton(QStringLiteral(">"), "Button2", p.frame);
  p.memo2 = MakeDialogBox("Memo2", kTextSize - 1, true, p.frame);
  p.memo3 = MakeDialogBox("Memo3", kFieldSize - 1, false, p.frame);
  p.memo4 = MakeDialogBox("Memo4", kFieldSize - 1, false, p.frame);

  const QFontMetrics metrics(parent->font());
  p.memo1->setFixedWidth(metrics.horizontalAdvance(QString(regNoChars + 1, u'0')) + 14);
  const int smallButton = metrics.horizontalAdvance(QStringLiteral("<")) + 22;
  // Screen readers say what the arrows do, not the glyphs.
  p.button1->setAccessibleName(QStringLiteral("前の登録番号"));
  p.button2->setAccessibleName(QStringLiteral("次の登録番号"));
  p.button1->setFixedWidth(smallButton);
  p.button2->setFixedWidth(smallButton);
  const int fieldWidth = metrics.horizontalAdvance(QString(13, u'0')) + 14;
  p.memo3->setFixedWidth(fieldWidth);
  p.memo4->setFixedWidth(fieldWidth);

  p.grid = new QGridLayout(p.frame);
  p.grid->setContentsMargins(8, 8, 8, 8);
  p.grid->setHorizontalSpacing(6);
  p.grid->setVerticalSpacing(5);
  p.grid->addWidget(MakeDialogLabel(QStringLiteral("登録番号"), "Label1", p.memo1, p.frame), 0, 0);
  auto* numberRow = new QHBoxLayout;
  numberRow->setSpacing(3);
  numberRow->addWidget(p.memo1);
  numberRow->addWidget(p.button1);
  numberRow->addWidget(p.button2);
  numberRow->addStretch(1);
  p.grid->addLayout(numberRow, 0, 1, 1, 3);
  p.grid->addWidget(MakeDialogLabel(nameLabel, "Label2", p.memo2, p.frame), 1, 0);
  p.grid->addWidget(p.memo2, 1, 1, 1, 3);
  p.grid->addWidget(MakeDialogLabel(QStringLiteral("組"), "Label3", p.memo3, p.frame), 2, 0);
  p.grid->addWidget(p.memo3, 2, 1);
  p.grid->addWidget(MakeDialogLabel(QStringLiteral("番号"), "Label4", p.memo4, p.frame), 2, 2,
                    Qt::AlignRight | Qt::AlignVCenter);
  p.grid->addWidget(p.memo4, 2, 3);
  return p;
}

bool IsEnterKey(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

bool MoveFocusOnEnter(int key, QWidget* next) {
  if (!IsEnterKey(key)) return false;
  next->setFocus(Qt::OtherFocusReason);
  return true;
}

int NextWorkingSlot(int n, bool deleted, int count, int tableSize) {
  if (deleted) --n;
  if (n <= count) n = std::min(n + 1, tableSize);
  return n;
}

bool IsFocusMoveWithinWindow(int focusReason) {
  return focusReason != Qt::ActiveWindowFocusReason && focusReason != Qt::PopupFocusReason;
}

std::optional<int> ReadRegistrationNumber(const ByteLineEdit& box) {
  const std::string text = box.Bytes();
  if (text.empty()) return std::nullopt;
  return ReadLenientInt(text.c_str());
}

int ClampRegistrationNumber(int n, int count, int tableSize) {
  const int top = std::min(count + 1, tableSize);
  return std::clamp(n, 1, std::max(top, 1));
}

void ReportMissingRegistrationNumber(UiServices& ui, QWidget* focusBack) {
  ui.MessageBox(QStringLiteral("登録番号を入力してください。"), kMessageCaption, kExclamationOk);
  // Back to the box, so that the number can be typed at once.
  if (focusBack != nullptr) focusBack->setFocus(Qt::OtherFocusReason);
}

}  // namespace luckyscope

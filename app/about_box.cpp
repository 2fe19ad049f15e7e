#include "app/about_box.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "ui/ui_helpers.h"

namespace luckyscope {
namespace {

QLabel* AddLabel(QWidget* parent, QLayout* layout, const QString& name, const QString& text) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setFont(UiFont(12));
  layout->addWidget(label);
  return label;
}

}  // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("AboutBox"));
  setWindowTitle(QStringLiteral("バージョン情報"));
  setFont(UiFont(12));
  // A plain fixed box: no help button, no resizing.
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  auto* panel = new QFrame(this);
  panel->setObjectName(QStringLiteral("Panel1"));
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);

  auto* icon = new QLabel(panel);
  icon->setObjectName(QStringLiteral("ProgramIcon"));
  icon->setPixmap(QIcon(QStringLiteral(":/icons/luckyscope.svg")).pixmap(48, 48));
  icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

  auto* texts = new QVBoxLayout;
  texts->setSpacing(2);
  AddLabel(panel, texts, QStringLiteral("ProductName"), QStringLiteral("ラッキースコープ！"));
  AddLabel(panel, texts, QStringLiteral("Version"), QStringLiteral("Ver.1.01"));
  // The notice and its years are ours to word.
  AddLabel(panel, texts, QStringLiteral("Copyright"), QStringLiteral("Copyright © ラッキースコープ！開発チーム"));
  QLabel* years = AddLabel(panel, texts, QStringLiteral("Comments"), QStringLiteral("2002–2025"));
  years->setWordWrap(true);
  texts->addStretch();

  auto* panelLayout = new QHBoxLayout(panel);
  panelLayout->setContentsMargins(8, 8, 12, 8);
  panelLayout->setSpacing(10);
  panelLayout->addWidget(icon);
  panelLayout->addLayout(texts);

  okButton_ = new QPushButton(QStringLiteral("OK"), this);
  okButton_->setObjectName(QStringLiteral("OKButton"));
  okButton_->setFont(UiFont(12));
  okButton_->setDefault(true);
  okButton_->setAutoDefault(true);
  connect(okButton_, &QPushButton::clicked, this, [this] {
    OKButtonClick();
    accept();
  });

  auto* buttons = new QVBoxLayout;
  buttons->addWidget(okButton_);
  buttons->addStretch();

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->setSpacing(8);
  layout->addWidget(panel, 1);
  layout->addLayout(buttons);
  // Fixed at the size its texts need, so no line is ever cut off.
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TAboutBox::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  okButton_->setFocus(Qt::OtherFocusReason);
}

}  // namespace luckyscope

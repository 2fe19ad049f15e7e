#pragma once
// The about box "バージョン情報": the program's icon, name and version, and the notice.

#include <QDialog>

class QLabel;
class QPushButton;

namespace luckyscope {

class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutBox(QWidget* parent = nullptr);

  QPushButton* OKButton() const { return okButton_; }

  // The button closes the box with the result OK by itself; nothing else happens.
  void OKButtonClick() {}

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QPushButton* okButton_;
};

}  // namespace luckyscope

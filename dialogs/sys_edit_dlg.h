#pragma once
// System settings dialog "システム設定": the start-up file, saving check results, the
// easy-check options and log file, and the hit and miss sound files. It edits a copy
// of the settings record and hands it back on OK; the settings file is written when
// the program closes.

#include <QDialog>

#include "core/data_core.h"
#include "ui/ui_services.h"
#include "ui/dialog_support.h"

class QCheckBox;
class QGroupBox;
class QPushButton;

namespace luckyscope {

class ByteLineEdit;

class TSysEditDlg : public ActivatedDialog {
  Q_OBJECT

 public:
  TSysEditDlg(DataCore& core, UiServices& ui, QWidget* parent = nullptr);
  ~TSysEditDlg() override;

  // Event handlers.
  void FormActivate() override;
  void OKBtnClick();
  void CancelBtnClick();
  void Button1Click();  // start-up file
  void Button2Click();  // log file
  void Button3Click();  // hit sound
  void Button4Click();  // miss sound

  // What each browse button offers.
  static FileDialogPreset StartupFilePreset();
  static FileDialogPreset LogFilePreset();
  static FileDialogPreset SoundFilePreset();

 private:
  void BuildControls();
  void Browse(ByteLineEdit& box, const FileDialogPreset& preset);

  DataCore& core_;
  UiServices& ui_;
  SystemSettings settings_{};

  QPushButton* okBtn_ = nullptr;
  QPushButton* cancelBtn_ = nullptr;
  ByteLineEdit* edit1_ = nullptr;
  ByteLineEdit* edit2_ = nullptr;
  ByteLineEdit* edit3_ = nullptr;
  ByteLineEdit* edit4_ = nullptr;
  QCheckBox* checkBox1_ = nullptr;
  QCheckBox* checkBox2_ = nullptr;
  QCheckBox* checkBox3_ = nullptr;
  QCheckBox* checkBox4_ = nullptr;
};

}  // namespace luckyscope

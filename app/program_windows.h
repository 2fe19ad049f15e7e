#pragma once
// The program's windows: the main window and the dialogs it opens, handed to it as
// slots that make each dialog the first time it is opened (a start-up need not build
// windows the user may never open). main() and the window tests build them the same way.

#include "app/sdi_app_form.h"

namespace luckyscope {

class DataCore;
class UiServices;
class TEsyCheckDlg;
class TCameraCheckDlg;

// The dialogs are the main window's children: they end with it.
struct ProgramWindows {
  ProgramWindows(DataCore& core, UiServices& ui);
  ProgramWindows(const ProgramWindows&) = delete;
  ProgramWindows& operator=(const ProgramWindows&) = delete;

  // The easy check, made now if its command has not opened it yet (the tests drive it
  // directly).
  TEsyCheckDlg& EsyCheck();
  // The camera check, which numbers the easy check's log with it.
  TCameraCheckDlg& CameraCheck();

  TSDIAppForm form;

 private:
  DataCore& core_;
  UiServices& ui_;
  TEsyCheckDlg* esyCheck_ = nullptr;
  TCameraCheckDlg* cameraCheck_ = nullptr;
};

}  // namespace luckyscope

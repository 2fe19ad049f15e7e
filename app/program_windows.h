#pragma once
// The program's windows: the main window and the dialogs it opens, made once
// in this order and handed to it. main() and the window tests build them the same way.

#include "app/about_box.h"
#include "app/sdi_app_form.h"
#include "checks/cnt_check_dlg.h"
#include "checks/esy_check_dlg.h"
#include "dialogs/atr_edit_dlg.h"
#include "dialogs/import_dlg.h"
#include "dialogs/sch_edit_dlg.h"
#include "dialogs/sys_edit_dlg.h"

namespace luckyscope {

class DataCore;
class UiServices;

// The dialogs are the main window's children and are shown again and again; they go
// before the main window (members end in reverse order).
struct ProgramWindows {
  ProgramWindows(DataCore& core, UiServices& ui);
  ProgramWindows(const ProgramWindows&) = delete;
  ProgramWindows& operator=(const ProgramWindows&) = delete;

  TSDIAppForm form;
  TAboutBox aboutBox;
  TSchEditDlg schEdit;
  TAtrEditDlg atrEdit;
  TSysEditDlg sysEdit;
  TEsyCheckDlg esyCheck;
  TCntCheckDlg cntCheck;
  TImportDlg importDlg;
};

}  // namespace luckyscope

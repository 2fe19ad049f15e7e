#include "app/program_windows.h"

#include "app/about_box.h"
#include "checks/camera_check_dlg.h"
#include "checks/cnt_check_dlg.h"
#include "checks/esy_check_dlg.h"
#include "dialogs/atr_edit_dlg.h"
#include "dialogs/import_dlg.h"
#include "dialogs/sch_edit_dlg.h"
#include "dialogs/sys_edit_dlg.h"

namespace luckyscope {

ProgramWindows::ProgramWindows(DataCore& core, UiServices& ui) : form(core, ui), core_(core), ui_(ui) {
  auto made = [](auto make) { return TSDIAppForm::DialogSlot::MadeWhenFirstOpened(make); };
  TSDIAppForm* owner = &form;
  form.SetDialogs({made([owner] { return new TAboutBox(owner); }),
                   made([owner, &core, &ui] { return new TSchEditDlg(core, ui, owner); }),
                   made([owner, &core, &ui] { return new TAtrEditDlg(core, ui, owner); }),
                   made([owner, &core, &ui] { return new TSysEditDlg(core, ui, owner); }),
                   made([this] { return &EsyCheck(); }),
                   made([owner, &core, &ui] { return new TCntCheckDlg(core, ui, owner); }),
                   made([owner, &core, &ui] { return new TImportDlg(core, ui, owner); }),
                   made([this] { return &CameraCheck(); })});
}

TEsyCheckDlg& ProgramWindows::EsyCheck() {
  if (esyCheck_ == nullptr) {
    esyCheck_ = new TEsyCheckDlg(core_, ui_, form.SoundCue(), &form);
    esyCheck_->SetCameraCheck([this] { CameraCheck().exec(); });
  }
  return *esyCheck_;
}

TCameraCheckDlg& ProgramWindows::CameraCheck() {
  if (cameraCheck_ == nullptr) {
    cameraCheck_ = new TCameraCheckDlg(core_, ui_, form.SoundCue(), &form);
    cameraCheck_->ShareLogCounter(EsyCheck().SharedLogCounter());
  }
  return *cameraCheck_;
}

}  // namespace luckyscope

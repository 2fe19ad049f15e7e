#include "app/program_windows.h"

namespace luckyscope {

ProgramWindows::ProgramWindows(DataCore& core, UiServices& ui)
    : form(core, ui),
      aboutBox(&form),
      schEdit(core, ui, &form),
      atrEdit(core, ui, &form),
      sysEdit(core, ui, &form),
      esyCheck(core, ui, form.SoundCue(), &form),
      cntCheck(core, ui, &form),
      importDlg(ui, &form) {
  form.SetDialogs({&aboutBox, &schEdit, &atrEdit, &sysEdit, &esyCheck, &cntCheck, &importDlg});
}

}  // namespace luckyscope

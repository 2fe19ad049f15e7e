#include "app/startup.h"

#include <QString>

#include "core/data_core.h"
#include "ui/ui_services.h"

namespace luckyscope {

void StartDataCore(DataCore& core, UiServices& ui, const char* baseFolder) {
  if (baseFolder != nullptr) {
    core.InitBaseFolder(baseFolder);
  } else {
    core.InitBaseFolder();
  }
  char helpPath[kPathSize];
  core.HelpFilePath(helpPath);
  core.ResetAll();
  if (core.LoadSettingsFile() != 0) {
    // The defaults stay in force; the file is written again at the next close.
    ui.MessageBox(QStringLiteral("システムデータファイルが異常です。"), kMessageCaption, kExclamationOk);
  }
  SystemSettings settings;
  core.GetSettings(settings);
  // Only the name decides: a file of no usable kind is reported by the data core and
  // the start goes on.
  if (settings.startupFile[0] != '\0') core.OpenDataFile(settings.startupFile);
}

}  // namespace luckyscope

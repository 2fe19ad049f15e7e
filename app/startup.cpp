#include "app/startup.h"

#include <QFile>
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
  const int loaded = core.LoadSettingsFile();
  if (loaded == kFileOfOtherUser) {
    // Its log-file entry would make the easy check append to a file of the other
    // user's choosing, its start-up file load their data: the defaults serve instead.
    ui.MessageBox(QStringLiteral("システムデータファイルが他のユーザーのものなので、使いません。\n%1\n"
                                 "初期設定で起動します。終了時もこのファイルには書き込みません。")
                      .arg(QFile::decodeName(SettingsFilePath(core.BaseFolder()).c_str())),
                  kMessageCaption, kExclamationOk);
    return;
  }
  if (loaded != 0) {
    // The defaults stay in force; the file is written again at the next close.
    ui.MessageBox(QStringLiteral("システムデータファイルが異常です。"), kMessageCaption, kExclamationOk);
  }
  SystemSettings settings;
  core.GetSettings(settings);
  if (settings.startupFile[0] == '\0') return;
  // A start-up file that is missing, unreadable or of no usable kind is named once;
  // the start goes on with empty tables.
  char full[kPathSize];
  core.ResolveDataPath(settings.startupFile, full);
  const int kind = core.ClassifyDataFile(full);
  if ((kind == kTargetFile || kind == kWinningFile) && core.OpenDataFile(full) == kFileDone) return;
  ui.MessageBox(QStringLiteral("起動時に読み込むファイルを読み込めませんでした。\n%1")
                    .arg(QFile::decodeName(full[0] != '\0' ? full : settings.startupFile)),
                kMessageCaption, kExclamationOk);
}

}  // namespace luckyscope

#include "app/core_notifier.h"

#include <QFile>
#include <QString>

#include "ui/save_failure.h"
#include "ui/ui_services.h"

namespace luckyscope {

void UiCoreNotifier::ShowCoreMessage(CoreMessage message) {
  QString text;
  switch (message) {
    case CoreMessage::UnusableFile:
      text = QStringLiteral("選択されたファイルは使用できません。");
      break;
    case CoreMessage::SettingsDiskFull:
      text = QStringLiteral("ディスク容量不足のため、システムデータが保存できません。");
      break;
  }
  if (text.isEmpty()) return;
  ui_.MessageBox(text, kMessageCaption, kExclamationOk);
}

void UiCoreNotifier::ShowSettingsSaveFailure(const char* path, int errorNumber) {
  ShowSaveFailure(ui_, path, errorNumber);
}

void UiCoreNotifier::ShowFileTooLarge(const char* path) {
  ui_.MessageBox(QStringLiteral("ファイルが大きすぎるため読み込みません。\n%1\n"
                                "このプログラムのデータファイルは %2 MB を超えません。")
                     .arg(QFile::decodeName(path))
                     .arg(kReadLimitBytes / (1024 * 1024)),
                 kMessageCaption, kExclamationOk);
}

}  // namespace luckyscope

#include "app/core_notifier.h"

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

}  // namespace luckyscope

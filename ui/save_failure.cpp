#include "ui/save_failure.h"

#include <cerrno>
#include <cstring>

namespace luckyscope {

QString SaveFailureReason(int errorNumber) {
  switch (errorNumber) {
    case ENOSPC:
    case EDQUOT:
      return QStringLiteral("ディスクの空き容量が足りません。");
    case EACCES:
    case EPERM:
      return QStringLiteral("書き込む権限がありません。");
    case EROFS:
      return QStringLiteral("読み取り専用の場所には書き込めません。");
    case ENOENT:
    case ENOTDIR:
      return QStringLiteral("保存先のフォルダーがありません。");
    case EISDIR:
      return QStringLiteral("フォルダーの名前です。ファイル名を指定してください。");
    case ENAMETOOLONG:
      return QStringLiteral("ファイル名が長すぎます。");
    case EIO:
      return QStringLiteral("装置の読み書きでエラーが起きました。");
    case ELOOP:
      return QStringLiteral("リンクをたどれません。");
    default:
      return QString::fromLocal8Bit(std::strerror(errorNumber));
  }
}

void ShowSaveFailure(UiServices& ui, const std::string& path, int errorNumber) {
  const QString text =
      QStringLiteral("ファイルを保存できませんでした。\n%1\n%2")
          .arg(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())), SaveFailureReason(errorNumber));
  ui.MessageBox(text, kMessageCaption, kExclamationOk);
}

}  // namespace luckyscope

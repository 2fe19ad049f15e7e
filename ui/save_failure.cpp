#include "ui/save_failure.h"

#include <cerrno>
#include <cstring>

#include "core/file_io.h"

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
    case EINVAL:
      return QStringLiteral("ファイルではないもの（パイプや装置など）の名前です。");
    case EIO:
      return QStringLiteral("装置の読み書きでエラーが起きました。");
    case kRefusedLink:
      return QStringLiteral("リンクをたどれません。共有フォルダーにある他のユーザーのリンクはたどりません。");
    case kRefusedOthersFile:
      return QStringLiteral(
          "共有フォルダーにある他のユーザーのファイルです。書き込むと、そのユーザーが内容を読めます。");
    default:
      return QString::fromLocal8Bit(std::strerror(errorNumber));
  }
}

void ShowSaveFailure(UiServices& ui, const std::string& path, int errorNumber) {
  QString text =
      QStringLiteral("ファイルを保存できませんでした。\n%1\n%2")
          .arg(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())), SaveFailureReason(errorNumber));
  // A write in place that stopped part-way may have left the file torn; its old
  // content was copied first.
  const std::string copy = KeptCopyOfFailedSave(path);
  if (!copy.empty()) {
    text += QStringLiteral("\n保存する前の内容は次のファイルに残してあります。\n%1")
                .arg(QString::fromUtf8(copy.data(), static_cast<qsizetype>(copy.size())));
  }
  ui.MessageBox(text, kMessageCaption, kExclamationOk);
}

}  // namespace luckyscope

#pragma once
// The one message for a file that could not be saved: what failed, where, and why, in
// plain Japanese. Data files, the settings file and exported files all report through it.

#include <string>

#include <QString>

#include "ui/ui_services.h"

namespace luckyscope {

// The reason for a system error number (errno) as a short Japanese sentence; numbers
// without a sentence of their own get the system's text.
QString SaveFailureReason(int errorNumber);

// "ファイルを保存できませんでした。", the path (file-name bytes) and the reason, with the
// program's caption, the exclamation icon and OK; when the failed save had begun to
// overwrite the file in place, also where the copy of its old content is.
void ShowSaveFailure(UiServices& ui, const std::string& path, int errorNumber);

}  // namespace luckyscope

#include "app/help_topics.h"

#include <cstring>

#include <QWidget>

namespace luckyscope {

namespace {

struct WindowPage {
  const char* className;
  const char* page;
};

constexpr WindowPage kPages[] = {
    {"luckyscope::TSchEditDlg", "target_edit.html"},  {"luckyscope::TAtrEditDlg", "winning_edit.html"},
    {"luckyscope::TSysEditDlg", "settings.html"},     {"luckyscope::TEsyCheckDlg", "easycheck.html"},
    {"luckyscope::TCntCheckDlg", "countcheck.html"},  {"luckyscope::TImportDlg", "import.html"},
    {"luckyscope::TScanConfirmDlg", "postcard.html"}, {"QPrintPreviewDialog", "export_print.html"},
};

}  // namespace

std::string HelpPageFor(const QWidget* window) {
  for (const QWidget* w = window; w != nullptr; w = w->parentWidget()) {
    const char* name = w->metaObject()->className();
    for (const WindowPage& entry : kPages) {
      if (std::strcmp(name, entry.className) == 0) return entry.page;
    }
  }
  return {};
}

std::string HelpFileAndPage(const std::string& helpFile, const std::string& page) {
  if (helpFile.empty() || page.empty()) return helpFile;
  return helpFile + "::/" + page;
}

}  // namespace luckyscope

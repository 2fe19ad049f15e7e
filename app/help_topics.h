#pragma once
// The help page that belongs to the window the user is in. F1 pressed inside a dialog
// opens that dialog's page; inside a message box, a file dialog or the print preview,
// the page of the window under it; where no page fits (the main window, the about
// box), the help file's start page.

#include <string>

class QWidget;

namespace luckyscope {

// The page for `window`, or for the nearest window under it that has one
// ("easycheck.html"); empty when none has.
std::string HelpPageFor(const QWidget* window);

// The help file with a page inside it, the way HTML Help names one
// ("luckyscope.chm::/easycheck.html"); the file alone for an empty page or file.
std::string HelpFileAndPage(const std::string& helpFile, const std::string& page);

}  // namespace luckyscope

#pragma once
// The program's help viewer: one window that shows a compiled help file (.chm) at its
// default topic, follows the links and pictures inside the file, and opens web links
// in the user's browser.

#include <memory>
#include <string>

#include <QTextBrowser>
#include <QUrl>
#include <QWidget>

#include "ui/chm_reader.h"

class QToolBar;

namespace luckyscope {

// The text browser of the help window: every page, picture and style sheet it asks
// for comes from the help file ("chm:/path" addresses).
class ChmBrowser : public QTextBrowser {
  Q_OBJECT

 public:
  explicit ChmBrowser(QWidget* parent = nullptr);

  void SetReader(std::shared_ptr<const ChmReader> reader);
  QVariant loadResource(int type, const QUrl& name) override;

  // "chm:/top.html" for a path inside the help file.
  static QUrl UrlFor(const std::string& path);

 private:
  void FollowLink(const QUrl& url);

  std::shared_ptr<const ChmReader> reader_;
};

class HelpWindow : public QWidget {
  Q_OBJECT

 public:
  explicit HelpWindow(QWidget* parent = nullptr);

  // Loads the help file and shows its default topic, or the page named after "::"
  // ("luckyscope.chm::/easycheck.html") when the file holds it. False, with the window
  // left as it was, for a file that cannot be read or has no page to show.
  bool ShowFile(const std::string& pathAndPage);

  ChmBrowser* Browser() const { return browser_; }
  const std::string& FilePath() const { return path_; }

 private:
  ChmBrowser* browser_;
  QToolBar* toolBar_;
  std::string path_;
  QUrl home_;
};

}  // namespace luckyscope

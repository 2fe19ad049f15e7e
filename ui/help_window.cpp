#include "ui/help_window.h"

#include <algorithm>
#include <initializer_list>
#include <optional>

#include <QAction>
#include <QDesktopServices>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTextDocument>
#include <QToolBar>
#include <QVBoxLayout>

#include "ui/cp932_codec.h"
#include "ui/ui_helpers.h"

namespace luckyscope {
namespace {

constexpr char kScheme[] = "chm";

// The object path inside the help file that a link names. Links of the form
// "ms-its:file.chm::/page.html" or "mk:@MSITStore:file.chm::/page.html" point into a
// help file; only the part after "::" is used, always in this file.
std::string ObjectPathOf(const QUrl& url) {
  QString path = url.path(QUrl::FullyDecoded);
  const qsizetype inside = url.toString().indexOf(QStringLiteral("::"));
  if (url.scheme() != QLatin1String(kScheme) && inside >= 0) {
    path = QUrl::fromPercentEncoding(url.toString().mid(inside + 2).toUtf8());
    const qsizetype hash = path.indexOf(u'#');
    if (hash >= 0) path.truncate(hash);
  }
  return path.toStdString();
}

// Help pages declare their charset (UTF-8 or Shift_JIS as a rule); a page that names
// none, or one Qt does not know, is taken as CP932, the code page of the program's
// texts.
QString DecodePage(const std::string& bytes) {
  const QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
  const QByteArray head = view.first(std::min<qsizetype>(view.size(), 4096)).toByteArray().toLower();
  const bool declares = head.contains("charset") || view.startsWith("\xEF\xBB\xBF") || view.startsWith("\xFF\xFE") ||
                        view.startsWith("\xFE\xFF");
  if (declares) {
    QStringDecoder decoder = QStringDecoder::decoderForHtml(view);
    if (decoder.isValid()) return decoder.decode(view);
  }
  QStringDecoder utf8(QStringDecoder::Utf8);
  QString text = utf8.decode(view);
  if (!utf8.hasError()) return text;
  return FromCp932(std::string_view(bytes));
}

// Pages larger than this are shown as a notice instead: laying out text takes the
// viewer a few milliseconds per thousand characters (a table row, a line, a list item
// about ten), so a page of this size takes it about half a second. The program's own
// pages are ten kilobytes at most.
constexpr std::size_t kMaxPageBytes = 128u << 10;
// The longest run of characters the viewer gets without a place to break the line: the
// time to lay out one unbroken line grows with the square of its length (a page of a
// single 100 000-character word takes seconds), runs of this length take nothing.
constexpr qsizetype kMaxUnbrokenRun = 200;
constexpr QChar kZeroWidthSpace(0x200B);

// How deep containers may nest: the time to lay out tables inside tables grows about
// twofold with every level (fourteen deep take a quarter of a second, sixteen well over
// a second), and deeply nested lists and blocks are slow too. Beyond its depth a
// container's tags (and a table's rows and cells) are left out; their text stays.
enum Nest { kTables, kLists, kBlocks, kNestKinds };
constexpr int kMaxDepth[kNestKinds] = {3, 16, 32};

struct NestTag {
  Nest nest;
  bool container;  // opens a level; otherwise a part of the container's level
};

std::optional<NestTag> NestOf(QStringView name) {
  const auto any = [&](std::initializer_list<const char*> names) {
    return std::any_of(names.begin(), names.end(),
                       [&](const char* n) { return name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0; });
  };
  if (any({"table"})) return NestTag{kTables, true};
  if (any({"tr", "td", "th", "thead", "tbody", "tfoot", "caption", "col", "colgroup"})) return NestTag{kTables, false};
  if (any({"ul", "ol", "dl", "blockquote", "menu", "dir"})) return NestTag{kLists, true};
  if (any({"div"})) return NestTag{kBlocks, true};
  return std::nullopt;
}

QString NoticePage(const QString& text) {
  return QStringLiteral("<html><body><p>") + text.toHtmlEscaped() + QStringLiteral("</p></body></html>");
}

bool BreaksLine(QChar c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == kZeroWidthSpace;
}

// The page as the viewer may lay it out in a moment: an invisible break opportunity (a
// zero-width space) in every run of text longer than kMaxUnbrokenRun, and containers
// nested no deeper than kMaxDepth (a tag left out becomes a space). Tags pass whole
// (their quoted values included), and so do character references, which must not be
// split.
QString TameForLayout(const QString& html) {
  QString out;
  out.reserve(html.size() + html.size() / kMaxUnbrokenRun);
  int depth[kNestKinds] = {};
  qsizetype run = 0;
  qsizetype i = 0;
  while (i < html.size()) {
    const QChar c = html[i];
    qsizetype length = 1;
    if (c == u'<') {
      QChar quote;
      while (i + length < html.size()) {
        const QChar t = html[i + length++];
        if (!quote.isNull()) {
          if (t == quote) quote = QChar();
        } else if (t == u'"' || t == u'\'') {
          quote = t;
        } else if (t == u'>') {
          break;
        }
      }
      const QStringView tag = QStringView(html).mid(i, length);
      i += length;
      const bool closing = tag.size() > 1 && tag[1] == u'/';
      qsizetype end = closing ? 2 : 1;
      while (end < tag.size() && tag[end].isLetterOrNumber()) ++end;
      bool drop = false;
      if (const std::optional<NestTag> nest = NestOf(tag.mid(closing ? 2 : 1, end - (closing ? 2 : 1)))) {
        int& level = depth[nest->nest];
        if (nest->container && !closing) ++level;
        drop = level > kMaxDepth[nest->nest];
        if (nest->container && closing && level > 0) --level;
      }
      if (drop) {
        out += u' ';
        run = 0;
      } else {
        out += tag;
      }
      continue;
    }
    if (c == u'&') {
      const qsizetype semicolon = html.indexOf(u';', i);
      if (semicolon > i && semicolon - i <= 32) length = semicolon + 1 - i;
    } else if (c.isHighSurrogate() && i + 1 < html.size()) {
      length = 2;
    }
    if (BreaksLine(c)) {
      run = 0;
    } else if (++run > kMaxUnbrokenRun) {
      out += kZeroWidthSpace;
      run = 1;
    }
    out += QStringView(html).mid(i, length);
    i += length;
  }
  return out;
}

// The title a help file gives itself: UTF-8 from some compilers, CP932 from others.
QString DecodeTitle(const std::string& bytes) {
  QStringDecoder utf8(QStringDecoder::Utf8);
  QString text = utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
  return utf8.hasError() ? FromCp932(std::string_view(bytes)) : text;
}

}  // namespace

ChmBrowser::ChmBrowser(QWidget* parent) : QTextBrowser(parent) {
  // Links are followed here: pages of the help file in this window, web and mail
  // links in the user's browser.
  setOpenLinks(false);
  setOpenExternalLinks(false);
  connect(this, &QTextBrowser::anchorClicked, this, &ChmBrowser::FollowLink);
}

void ChmBrowser::SetReader(std::shared_ptr<const ChmReader> reader) { reader_ = std::move(reader); }

QUrl ChmBrowser::UrlFor(const std::string& path) {
  QUrl url;
  url.setScheme(QLatin1String(kScheme));
  const QString text = QString::fromStdString(ChmReader::NormalizePath(path));
  const qsizetype hash = text.indexOf(u'#');
  url.setPath(hash < 0 ? text : text.left(hash));
  if (hash >= 0) url.setFragment(text.mid(hash + 1));
  return url;
}

void ChmBrowser::FollowLink(const QUrl& url) {
  const QString scheme = url.scheme().toLower();
  if (scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("mailto") ||
      scheme == QLatin1String("ftp")) {
    QDesktopServices::openUrl(url);
    return;
  }
  if (scheme == QLatin1String(kScheme)) {
    setSource(url);
    return;
  }
  QUrl inside = UrlFor(ObjectPathOf(url));
  if (url.hasFragment()) inside.setFragment(url.fragment());
  setSource(inside);
}

QVariant ChmBrowser::loadResource(int type, const QUrl& name) {
  if (!reader_) return {};
  QUrl url = name;
  if (url.isRelative()) {
    const QUrl base =
        document()->baseUrl().isValid() && !document()->baseUrl().isEmpty() ? document()->baseUrl() : source();
    url = base.resolved(name);
  }
  const std::string path = ObjectPathOf(url);
  const std::optional<std::string> bytes = reader_->ReadObject(path);
  if (type == QTextDocument::HtmlResource) {
    if ((!bytes && reader_->Oversized(path)) || (bytes && bytes->size() > kMaxPageBytes)) {
      return NoticePage(QStringLiteral("このページは大きすぎるため表示できません。"));
    }
    if (!bytes) return {};
    return TameForLayout(DecodePage(*bytes));
  }
  if (!bytes) return {};
  if (type == QTextDocument::StyleSheetResource) {
    if (bytes->size() > kMaxPageBytes) return {};
    return DecodePage(*bytes);
  }
  return QByteArray(bytes->data(), static_cast<qsizetype>(bytes->size()));
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window), browser_(new ChmBrowser(this)) {
  setObjectName(QStringLiteral("HelpWindow"));
  setWindowTitle(QStringLiteral("ラッキースコープ！ヘルプ"));
  setFont(UiFont());
  resize(640, 480);
  // A small tool bar of the usual help-viewer moves; the labels are the program's own.
  toolBar_ = new QToolBar(this);
  QAction* back = toolBar_->addAction(QStringLiteral("戻る"), browser_, &QTextBrowser::backward);
  QAction* forward = toolBar_->addAction(QStringLiteral("進む"), browser_, &QTextBrowser::forward);
  toolBar_->addAction(QStringLiteral("ホーム"), browser_, [this] {
    if (home_.isValid()) browser_->setSource(home_);
  });
  back->setEnabled(false);
  forward->setEnabled(false);
  connect(browser_, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(toolBar_);
  layout->addWidget(browser_);
}

bool HelpWindow::ShowFile(const std::string& pathAndPage) {
  // "file.chm::/page.html" names a page of the file, as HTML Help names one; a page the
  // file does not hold gives its start page.
  const std::size_t inside = pathAndPage.rfind("::/");
  const std::string path = inside == std::string::npos ? pathAndPage : pathAndPage.substr(0, inside);
  const std::string page = inside == std::string::npos ? std::string() : pathAndPage.substr(inside + 2);
  auto reader = std::make_shared<ChmReader>();
  if (!reader->Open(path)) {
    if (!reader->TooLarge()) return false;
    // A file that would expand beyond what the viewer takes is named, not shown.
    path_ = path;
    home_ = QUrl();
    setWindowTitle(QFileInfo(QString::fromStdString(path)).fileName());
    browser_->SetReader(nullptr);
    browser_->setHtml(NoticePage(QStringLiteral("このヘルプファイルは大きすぎるため表示できません。")));
    browser_->clearHistory();
    return true;
  }
  if (reader->DefaultTopic().empty()) return false;
  path_ = path;
  home_ = ChmBrowser::UrlFor(reader->DefaultTopic());
  const QUrl first = !page.empty() && reader->ReadObject(page) ? ChmBrowser::UrlFor(page) : home_;
  const QString title = DecodeTitle(reader->Title());
  setWindowTitle(title.isEmpty() ? QFileInfo(QString::fromStdString(path)).fileName() : title);
  browser_->SetReader(std::move(reader));
  if (browser_->source() == first) {
    browser_->reload();  // the same file again (it may have been rebuilt meanwhile)
  } else {
    browser_->setSource(first);
  }
  browser_->clearHistory();
  return true;
}

}  // namespace luckyscope

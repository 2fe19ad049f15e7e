// The help window and its CHM reader on help files compiled at build time, and on
// files that are missing, empty, random or damaged.

#include "ui/help_window.h"

#include <algorithm>
#include <functional>

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextFrame>
#include <QTextTable>
#include <QTimer>
#include <gtest/gtest.h>

#include "tests/support/test_application.h"
#include "ui/chm_reader.h"
#include "ui/qt_ui_services.h"

namespace luckyscope {
namespace {

std::string TestChm(const char* name) { return std::string(LUCKYSCOPE_TEST_CHM_DIR) + "/" + name; }

std::string ReadFile(const std::string& path) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll().toStdString();
}

TEST(ChmReader, ReadsTheDefaultTopicTitleAndObjects) {
  ChmReader reader;
  ASSERT_TRUE(reader.Open(TestChm("with_topic.chm")));
  EXPECT_EQ(reader.DefaultTopic(), "/top.html");
  EXPECT_EQ(reader.Title(), "テストのヘルプ");
  const std::optional<std::string> page = reader.ReadObject("sub/second.html");
  ASSERT_TRUE(page.has_value());
  EXPECT_NE(page->find("charset=Shift_JIS"), std::string::npos);
  // Names inside a help file are looked up without regard to case.
  const std::optional<std::string> picture = reader.ReadObject("/PIC.PNG");
  ASSERT_TRUE(picture.has_value());
  EXPECT_EQ(picture->substr(1, 3), "PNG");
  EXPECT_FALSE(reader.ReadObject("/missing.html").has_value());
  // The isolated read and the direct one agree.
  ChmReader direct;
  ASSERT_TRUE(direct.OpenInProcess(TestChm("with_topic.chm")));
  EXPECT_EQ(direct.ObjectCount(), reader.ObjectCount());
  EXPECT_EQ(direct.ReadObject("/top.html"), reader.ReadObject("/top.html"));
}

TEST(ChmReader, WithoutADefaultTopicFallsBackToContentsThenIndex) {
  ChmReader contentsOnly;
  ASSERT_TRUE(contentsOnly.Open(TestChm("no_topic.chm")));
  EXPECT_EQ(contentsOnly.DefaultTopic(), "/sub/second.html");  // first page of the contents
  ChmReader bare;
  ASSERT_TRUE(bare.Open(TestChm("bare.chm")));
  EXPECT_EQ(bare.DefaultTopic(), "/index.html");
}

TEST(ChmReader, BadFilesAreRefusedWithoutCrashing) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string base = dir.path().toStdString();
  auto write = [&](const std::string& name, const std::string& bytes) {
    QFile file(QString::fromStdString(base + "/" + name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
    return base + "/" + name;
  };
  QRandomGenerator random(20240101);
  std::string noise(20000, '\0');
  for (char& c : noise) c = static_cast<char>(random.bounded(256));
  const std::string good = ReadFile(TestChm("with_topic.chm"));
  ASSERT_GT(good.size(), 1000u);

  ChmReader reader;
  EXPECT_FALSE(reader.Open(base + "/missing.chm"));
  EXPECT_FALSE(reader.Open(write("empty.chm", "")));
  EXPECT_FALSE(reader.Open(base));  // a folder
  EXPECT_FALSE(reader.Open(""));
  EXPECT_FALSE(reader.Open(write("noise.chm", noise)));
  EXPECT_FALSE(reader.Open(write("header.chm", "ITSF" + noise)));
  EXPECT_TRUE(reader.DefaultTopic().empty());

  // Cut and damaged copies of a real file: each either reads or is refused; none may
  // take the program down (chmlib does crash on some of these in-process).
  for (std::size_t cut : {std::size_t{16}, std::size_t{100}, good.size() / 3, good.size() - 7}) {
    reader.Open(write("cut.chm", good.substr(0, cut)));
  }
  for (int round = 0; round < 120; ++round) {
    std::string damaged = good;
    const int flips = 1 + static_cast<int>(random.bounded(8));
    for (int f = 0; f < flips; ++f) {
      const auto at = random.bounded(static_cast<quint32>(round % 3 == 0 ? 200 : damaged.size()));
      damaged[at] = static_cast<char>(random.bounded(256));
    }
    if (reader.Open(write("damaged.chm", damaged)) && !reader.DefaultTopic().empty()) {
      reader.ReadObject(reader.DefaultTopic());
    }
  }
}

class HelpWindowTest : public ::testing::Test {
 protected:
  // Clicks the first link of the page the way a user does.
  static void ClickFirstLink(QTextBrowser* browser) {
    for (QTextBlock block = browser->document()->begin(); block.isValid(); block = block.next()) {
      for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (!fragment.charFormat().isAnchor()) continue;
        QTextCursor cursor(browser->document());
        cursor.setPosition(fragment.position() + 1);
        const QPoint at = browser->cursorRect(cursor).center() - QPoint(2, 0);
        QTest::mouseClick(browser->viewport(), Qt::LeftButton, {}, at);
        return;
      }
    }
    ADD_FAILURE() << "the page has no link";
  }

  // The first picture of the page, as the document loaded it.
  static QImage FirstImage(QTextBrowser* browser) {
    for (QTextBlock block = browser->document()->begin(); block.isValid(); block = block.next()) {
      for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextCharFormat format = it.fragment().charFormat();
        if (!format.isImageFormat()) continue;
        const QVariant data =
            browser->document()->resource(QTextDocument::ImageResource, QUrl(format.toImageFormat().name()));
        QImage image;
        if (data.userType() == QMetaType::QByteArray) image.loadFromData(data.toByteArray());
        if (data.userType() == QMetaType::QImage) image = data.value<QImage>();
        if (data.userType() == QMetaType::QPixmap) image = data.value<QPixmap>().toImage();  // once drawn
        return image;
      }
    }
    return {};
  }

  QApplication& app_ = TestApplication();
};

TEST_F(HelpWindowTest, ShowsTheDefaultTopicWithItsPictureAndFollowsLinks) {
  HelpWindow window;
  ASSERT_TRUE(window.ShowFile(TestChm("with_topic.chm")));
  window.show();
  QTextBrowser* browser = window.Browser();
  EXPECT_EQ(browser->source(), QUrl(QStringLiteral("chm:/top.html")));
  EXPECT_TRUE(browser->toPlainText().contains(QStringLiteral("ラッキースコープ！ヘルプのテスト")));
  EXPECT_EQ(window.windowTitle(), QStringLiteral("テストのヘルプ"));
  const QImage picture = FirstImage(browser);
  EXPECT_EQ(picture.size(), QSize(6, 4));

  ClickFirstLink(browser);  // "二ページ目へ", a Shift_JIS page in a sub-folder
  EXPECT_EQ(browser->source(), QUrl(QStringLiteral("chm:/sub/second.html")));
  EXPECT_TRUE(browser->toPlainText().contains(QStringLiteral(u"二ページ目です。①～×")));
  ClickFirstLink(browser);  // "../top.html"
  EXPECT_EQ(browser->source(), QUrl(QStringLiteral("chm:/top.html")));
  EXPECT_TRUE(browser->isBackwardAvailable());
}

TEST_F(HelpWindowTest, FileWithoutDefaultTopicOpensAtItsFirstContentsPage) {
  HelpWindow window;
  ASSERT_TRUE(window.ShowFile(TestChm("no_topic.chm")));
  EXPECT_EQ(window.Browser()->source(), QUrl(QStringLiteral("chm:/sub/second.html")));
  EXPECT_TRUE(window.Browser()->toPlainText().contains(QStringLiteral("二ページ目です")));
}

// How deep tables lie inside each other in a frame.
int TableDepth(QTextFrame* frame) {
  int deepest = 0;
  for (QTextFrame* child : frame->childFrames()) deepest = std::max(deepest, TableDepth(child));
  return deepest + (qobject_cast<QTextTable*>(frame) != nullptr ? 1 : 0);
}

// Help files made to freeze the viewer: one that expands beyond what is read is
// refused with a notice in the window, pages beyond what is laid out (or read) show a
// notice, a page of one 100 000-letter word reaches the layout in short runs, and
// tables nested 40 deep reach it 3 deep.
TEST_F(HelpWindowTest, HelpFilesBeyondTheLimitsShowANoticeAndLongWordsAreBroken) {
  const std::string bombFile = std::string(LUCKYSCOPE_LARGE_CHM_DIR) + "/bomb.chm";
  const std::string largeFile = std::string(LUCKYSCOPE_LARGE_CHM_DIR) + "/large.chm";
  ChmReader bomb;
  EXPECT_FALSE(bomb.Open(bombFile));
  EXPECT_TRUE(bomb.TooLarge());
  EXPECT_FALSE(bomb.OpenInProcess(bombFile));  // the fuzz target's way, the same limits
  EXPECT_TRUE(bomb.TooLarge());
  ChmReader large;
  ASSERT_TRUE(large.Open(largeFile));
  EXPECT_FALSE(large.TooLarge());
  EXPECT_TRUE(large.Oversized("/huge.html"));
  EXPECT_FALSE(large.ReadObject("/huge.html").has_value());

  HelpWindow window;
  const QString fileNotice = QStringLiteral("このヘルプファイルは大きすぎるため表示できません。");
  const QString pageNotice = QStringLiteral("このページは大きすぎるため表示できません。");
  ASSERT_TRUE(window.ShowFile(bombFile));
  EXPECT_EQ(window.Browser()->toPlainText().trimmed(), fileNotice);
  ASSERT_TRUE(window.ShowFile(largeFile));
  ChmBrowser* browser = window.Browser();
  EXPECT_TRUE(browser->toPlainText().contains(QStringLiteral("one word")));

  struct Page {
    const char* path;
    bool notice;
  };
  browser->setSource(ChmBrowser::UrlFor("/nested.html"));
  EXPECT_EQ(TableDepth(browser->document()->rootFrame()), 3);
  EXPECT_TRUE(browser->toPlainText().contains(QStringLiteral("deep")));
  EXPECT_TRUE(browser->toPlainText().contains(QStringLiteral("listed")));
  for (const Page& page : {Page{"/big.html", true}, Page{"/huge.html", true}, Page{"/unbroken.html", false}}) {
    SCOPED_TRACE(page.path);
    browser->setSource(ChmBrowser::UrlFor(page.path));
    const QString text = browser->toPlainText();
    EXPECT_EQ(text.trimmed() == pageNotice, page.notice);
    if (page.notice) continue;
    // Every letter is there, in runs the layout takes at once.
    EXPECT_EQ(text.count(u'a'), 100000);
    qsizetype run = 0, longest = 0;
    for (const QChar c : text) {
      run = c.isSpace() || c == QChar(0x200B) ? 0 : run + 1;
      longest = std::max(longest, run);
    }
    EXPECT_LE(longest, 200);
  }
  // A sound file after a refused one shows as ever.
  ASSERT_TRUE(window.ShowFile(TestChm("with_topic.chm")));
  EXPECT_TRUE(window.Browser()->toPlainText().contains(QStringLiteral("ラッキースコープ！ヘルプのテスト")));
}

TEST_F(HelpWindowTest, ServicesOpenAndCloseTheHelpWindowAndIgnoreBadFiles) {
  QtUiServices ui(nullptr);
  ui.HelpDisplayTopic(TestChm("missing.chm"));
  EXPECT_EQ(ui.Help(), nullptr);  // nothing opens, nothing is said

  ui.HelpDisplayTopic(TestChm("with_topic.chm"));
  ASSERT_NE(ui.Help(), nullptr);
  EXPECT_TRUE(ui.Help()->isVisible());
  // Asking again reuses the window; a bad file later leaves it as it was.
  HelpWindow* first = ui.Help();
  ui.HelpDisplayTopic(TestChm("no_topic.chm"));
  EXPECT_EQ(ui.Help(), first);
  EXPECT_EQ(first->Browser()->source(), QUrl(QStringLiteral("chm:/sub/second.html")));
  ui.HelpDisplayTopic(TestChm("missing.chm"));
  EXPECT_EQ(first->Browser()->source(), QUrl(QStringLiteral("chm:/sub/second.html")));

  ui.HelpCloseAll();
  EXPECT_EQ(ui.Help(), nullptr);
  ui.HelpCloseAll();  // closing twice is harmless
}

// Runs `step` on the next modal window other than `below` once it is up.
void WhenModalOver(QWidget* below, std::function<void(QWidget*)> step) {
  QTimer::singleShot(0, [below, step = std::move(step)]() mutable {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == below) {
      WhenModalOver(below, std::move(step));
      return;
    }
    step(modal);
  });
}

// F1 inside a message box or a file dialog lends the help window to it, so that it can
// be used while the box runs; closing the box leaves it open, whether it was opened
// there or was open before. Over another modal dialog it goes back to that dialog.
TEST_F(HelpWindowTest, HelpAskedForInsideABoxOutlivesTheBox) {
  QtUiServices ui(nullptr);
  const std::string chm = TestChm("with_topic.chm");
  enum class Box { Message, File };
  for (const bool openBefore : {false, true}) {
    for (const Box kind : {Box::Message, Box::File}) {
      ui.HelpCloseAll();
      if (openBefore) ui.HelpDisplayTopic(chm);
      QPointer<HelpWindow> help;
      WhenModalOver(nullptr, [&](QWidget* box) {
        ui.HelpDisplayTopic(chm);  // what F1 asks for
        help = ui.Help();
        ASSERT_TRUE(help);
        EXPECT_EQ(help->parentWidget(), box) << "usable while the box runs";
        EXPECT_TRUE(help->isVisible());
        static_cast<QDialog*>(box)->reject();
      });
      if (kind == Box::Message) {
        ui.MessageBox(QStringLiteral("?"), QStringLiteral("ヒットメモ"), kPlainOk);
      } else {
        ui.OpenFileDialog(FileDialogPreset{QStringLiteral("dat"), QStringLiteral("検索対象ファイル(*.dat)|*.dat")});
      }
      ASSERT_TRUE(help) << "open before: " << openBefore << ", file dialog: " << (kind == Box::File);
      EXPECT_EQ(ui.Help(), help.data());
      EXPECT_EQ(help->parentWidget(), nullptr);
      EXPECT_TRUE(help->isVisible());
    }
  }

  QDialog dialog;
  QPointer<HelpWindow> help;
  WhenModalOver(nullptr, [&](QWidget* running) {
    ASSERT_EQ(running, &dialog);
    WhenModalOver(&dialog, [&](QWidget* box) {
      ui.HelpDisplayTopic(chm);
      help = ui.Help();
      static_cast<QDialog*>(box)->reject();
    });
    ui.MessageBox(QStringLiteral("?"), QStringLiteral("ヒットメモ"), kPlainOk);
    ASSERT_TRUE(help);
    EXPECT_EQ(help->parentWidget(), &dialog);
    EXPECT_TRUE(help->isVisible());
    dialog.reject();
  });
  dialog.exec();
  ASSERT_TRUE(help);
  EXPECT_EQ(help->parentWidget(), nullptr);
  EXPECT_TRUE(help->isVisible());
  ui.HelpCloseAll();
}

}  // namespace
}  // namespace luckyscope

// The command pictures and the program icon: every drawing in the resources loads
// without the SVG renderer complaining, draws something at tool-bar and large sizes,
// and no two command pictures came out the same.
#include <memory>
#include <vector>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QSvgRenderer>
#include <gtest/gtest.h>

namespace {

// The eleven command pictures in image-index order, then the program icon.
const QStringList kCommandIcons = {
    QStringLiteral(":/icons/00-new.svg"),          QStringLiteral(":/icons/01-open.svg"),
    QStringLiteral(":/icons/02-save.svg"),         QStringLiteral(":/icons/03-edit-targets.svg"),
    QStringLiteral(":/icons/04-edit-winning.svg"), QStringLiteral(":/icons/05-settings.svg"),
    QStringLiteral(":/icons/06-search.svg"),       QStringLiteral(":/icons/07-easy-check.svg"),
    QStringLiteral(":/icons/08-count-check.svg"),  QStringLiteral(":/icons/09-help.svg"),
    QStringLiteral(":/icons/10-about.svg"),
};
const QString kProgramIcon = QStringLiteral(":/icons/luckyscope.svg");

QStringList collectedWarnings;

void collectWarnings(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type != QtDebugMsg && type != QtInfoMsg) collectedWarnings << text;
}

QImage render(QSvgRenderer& renderer, int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  renderer.render(&painter);
  painter.end();
  return image;
}

// Share of pixels that are at least half opaque.
double coverage(const QImage& image) {
  int covered = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qAlpha(image.pixel(x, y)) >= 128) ++covered;
  return double(covered) / (image.width() * image.height());
}

class IconsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!QGuiApplication::instance()) {
      static int argc = 1;
      static char name[] = "icons_test";
      static char* argv[] = {name, nullptr};
      app_ = std::make_unique<QGuiApplication>(argc, argv);
    }
  }
  static void TearDownTestSuite() { app_.reset(); }

  // Loads one drawing and fails on any renderer warning (an unsupported element or
  // attribute is drawn wrongly or not at all, so it counts as a broken picture).
  static void load(QSvgRenderer& renderer, const QString& path) {
    collectedWarnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collectWarnings);
    const bool ok = renderer.load(path);
    qInstallMessageHandler(previous);
    ASSERT_TRUE(ok) << path.toStdString();
    ASSERT_TRUE(renderer.isValid()) << path.toStdString();
    EXPECT_TRUE(collectedWarnings.isEmpty())
        << path.toStdString() << ": " << collectedWarnings.join(QStringLiteral("; ")).toStdString();
    const QRectF box = renderer.viewBoxF();
    EXPECT_GT(box.width(), 0) << path.toStdString();
    EXPECT_DOUBLE_EQ(box.width(), box.height()) << path.toStdString() << " is not square";
  }

  static inline std::unique_ptr<QGuiApplication> app_;
};

TEST_F(IconsTest, ResourceFolderHoldsExactlyTheTwelveDrawings) {
  QStringList expected = kCommandIcons;
  expected << kProgramIcon;
  QStringList present;
  for (const QString& name : QDir(QStringLiteral(":/icons")).entryList(QDir::Files))
    present << QStringLiteral(":/icons/") + name;
  present.sort();
  expected.sort();
  EXPECT_EQ(present, expected);
}

// Filters, masks, style sheets, embedded images and text are drawn differently (or not
// at all) by the renderers the program may meet, and text depends on the fonts
// installed; the drawings use plain shapes with plain presentation attributes only.
TEST_F(IconsTest, DrawingsUsePlainShapesAndAttributesOnly) {
  QStringList all = kCommandIcons;
  all << kProgramIcon;
  const QStringList forbidden = {
      QStringLiteral("<filter"),  QStringLiteral("filter="),   QStringLiteral("<mask"),
      QStringLiteral("mask="),    QStringLiteral("<style"),    QStringLiteral("style="),
      QStringLiteral("class="),   QStringLiteral("<image"),    QStringLiteral("<text"),
      QStringLiteral("<pattern"), QStringLiteral("<clipPath"), QStringLiteral("<foreignObject"),
  };
  for (const QString& path : all) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    const QString source = QString::fromUtf8(file.readAll());
    for (const QString& token : forbidden)
      EXPECT_FALSE(source.contains(token)) << path.toStdString() << " uses " << token.toStdString();
  }
}

TEST_F(IconsTest, CommandPicturesLoadCleanlyAndDrawAtEverySize) {
  for (const QString& path : kCommandIcons) {
    QSvgRenderer renderer;
    load(renderer, path);
    for (int size : {16, 22, 24, 32, 64}) {
      const double share = coverage(render(renderer, size));
      // A picture that fills almost nothing is unreadable on a tool bar; one that
      // fills everything has lost its shape (a stray full-size background).
      EXPECT_GT(share, 0.15) << path.toStdString() << " at " << size << " px";
      EXPECT_LT(share, 0.95) << path.toStdString() << " at " << size << " px";
    }
  }
}

TEST_F(IconsTest, CommandPicturesAreDistinctAtToolBarSize) {
  std::vector<QImage> images;
  for (const QString& path : kCommandIcons) {
    QSvgRenderer renderer;
    load(renderer, path);
    images.push_back(render(renderer, 24));
  }
  for (size_t a = 0; a < images.size(); ++a) {
    for (size_t b = a + 1; b < images.size(); ++b) {
      int differing = 0;
      for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x)
          if (images[a].pixel(x, y) != images[b].pixel(x, y)) ++differing;
      EXPECT_GT(differing, 24 * 24 / 10) << kCommandIcons[int(a)].toStdString() << " looks like "
                                         << kCommandIcons[int(b)].toStdString();
    }
  }
}

TEST_F(IconsTest, ProgramIconDrawsAtAllInstalledSizes) {
  QSvgRenderer renderer;
  load(renderer, kProgramIcon);
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const QImage image = render(renderer, size);
    const double share = coverage(image);
    EXPECT_GT(share, 0.3) << size << " px";
    EXPECT_LT(share, 0.95) << size << " px";
    // The corners stay clear so the icon sits on any panel without a box around it.
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << size << " px";
    EXPECT_EQ(qAlpha(image.pixel(size - 1, 0)), 0) << size << " px";
  }
}

}  // namespace

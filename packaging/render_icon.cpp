// Draws the program's SVG icon as PNG files of the given sizes, laid out as an icon
// theme wants them: <folder>/<size>x<size>/apps/<name>.png. Runs at build time.
//
// Usage: luckyscope_render_icon <icon.svg> <folder> <name> <size>...

#include <cstdio>
#include <cstdlib>

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

int main(int argc, char* argv[]) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: %s <icon.svg> <folder> <name> <size>...\n", argv[0]);
    return 2;
  }
  // A build machine has no display; the offscreen platform still gives fonts, should
  // the icon ever carry text.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int appArgc = 1;
  QGuiApplication app(appArgc, argv);

  const QString svg = QString::fromLocal8Bit(argv[1]);
  QSvgRenderer renderer(svg);
  if (!renderer.isValid()) {
    std::fprintf(stderr, "render_icon: %s is not a usable SVG picture\n", argv[1]);
    return 1;
  }
  const QString folder = QString::fromLocal8Bit(argv[2]);
  const QString name = QString::fromLocal8Bit(argv[3]);
  for (int i = 4; i < argc; ++i) {
    char* end = nullptr;
    const long size = std::strtol(argv[i], &end, 10);
    if (end == argv[i] || *end != '\0' || size < 1 || size > 4096) {
      std::fprintf(stderr, "render_icon: %s is not a size in pixels\n", argv[i]);
      return 2;
    }
    const int px = static_cast<int>(size);
    QImage image(px, px, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
      QPainter painter(&image);
      painter.setRenderHint(QPainter::Antialiasing);
      painter.setRenderHint(QPainter::SmoothPixmapTransform);
      renderer.render(&painter, QRectF(0, 0, px, px));
    }
    const QString dir = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(px);
    const QString file = QStringLiteral("%1/%2.png").arg(dir, name);
    if (!QDir().mkpath(dir) || !image.save(file, "PNG")) {
      std::fprintf(stderr, "render_icon: cannot write %s\n", qPrintable(file));
      return 1;
    }
  }
  return 0;
}

#include "scan/scan_image.h"

#include <cerrno>
#include <cmath>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include "core/file_io.h"
#include "scan/image_header.h"

namespace luckyscope {
namespace {

constexpr double kDefaultDpi = 300.0;

// The whole file, or an empty array with the reason.
QByteArray ReadImageFile(const QString& path, QString* reason) {
  const int fd = OpenRegularFile(QFile::encodeName(path).constData());
  if (fd < 0) {
    *reason = QStringLiteral("開けないか、通常のファイルではありません");
    return {};
  }
  QByteArray bytes;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || st.st_size > kMaxImageFileBytes) {
    *reason = QStringLiteral("大きすぎます");
  } else {
    bytes.resize(static_cast<qsizetype>(st.st_size));
    qsizetype done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::read(fd, bytes.data() + done, static_cast<std::size_t>(bytes.size() - done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += n;
    }
    bytes.truncate(done);  // a file that shrank while it was read
    if (bytes.isEmpty()) *reason = QStringLiteral("空のファイルです");
  }
  ::close(fd);
  return bytes;
}

}  // namespace

double ScanResolution(const QImage& image) {
  const double dpi = std::round(image.dotsPerMeterX() * 0.0254);
  return dpi >= 100 && dpi <= 1200 ? dpi : kDefaultDpi;
}

QImage LoadScanImage(const QString& path, QString* error) {
  QString reason;
  QByteArray bytes = ReadImageFile(path, &reason);
  QImage image;
  if (!bytes.isEmpty()) {
    switch (CheckImageHeader(ReadImageHeader(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))))) {
      case ImageCheck::NotAnImage:
        reason = QStringLiteral("画像ではないか、読めない形式です");
        break;
      case ImageCheck::TooLarge:
        reason = QStringLiteral("画素数が多すぎます");
        break;
      case ImageCheck::Fine: {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        reader.setAutoTransform(true);
        image = reader.read();
        if (image.isNull()) reason = reader.errorString();
        break;
      }
    }
  }
  if (image.isNull() && error) {
    *error = QStringLiteral("画像を読み込めません: %1 (%2)").arg(QFileInfo(path).fileName(), reason);
  }
  return image;
}

}  // namespace luckyscope

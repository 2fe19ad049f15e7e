#include "scan/scan_loader.h"

#include <dlfcn.h>
#include <mutex>

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

namespace luckyscope {

struct ScanReader::Module {
  void* (*create)(QString* error) = nullptr;
  void (*readFile)(void* reader, const QString* path, ReadCancel cancel, ImageReading* out) = nullptr;
  void (*readImage)(void* reader, const QImage* image, double dpi, ReadCancel cancel, ImageReading* out) = nullptr;
  void (*destroy)(void* reader) = nullptr;
  QString error;  // why the module could not be loaded
};

namespace {

template <typename Fn>
bool Bind(void* handle, const char* name, Fn& out) {
  out = reinterpret_cast<Fn>(dlsym(handle, name));
  return out != nullptr;
}

}  // namespace

std::unique_ptr<ScanReader> ScanReader::Create(QString* error) {
  // Loaded once per run and never unloaded: Tesseract's OpenMP threads and OpenCV's
  // allocations outlive any one reader.
  static ScanReader::Module module;
  static std::once_flag once;
  std::call_once(once, [] {
    QStringList places;
    if (QCoreApplication* app = QCoreApplication::instance(); app != nullptr) {
      places << QCoreApplication::applicationDirPath() + QStringLiteral("/luckyscope-scan.so");
    }
    places << QStringLiteral(LUCKYSCOPE_SCAN_MODULE_INSTALLED) << QStringLiteral(LUCKYSCOPE_SCAN_MODULE_BUILT);
    QString tried;
    for (const QString& place : places) {
      if (!QFile::exists(place)) continue;
      void* handle = dlopen(QFile::encodeName(place).constData(), RTLD_NOW | RTLD_LOCAL);
      if (handle == nullptr) {
        tried = QString::fromLocal8Bit(dlerror());
        continue;
      }
      if (Bind(handle, "LuckyScopeScanCreate", module.create) &&
          Bind(handle, "LuckyScopeScanReadFile", module.readFile) &&
          Bind(handle, "LuckyScopeScanReadImage", module.readImage) &&
          Bind(handle, "LuckyScopeScanDestroy", module.destroy)) {
        return;
      }
      module = ScanReader::Module{};
      tried = place + QStringLiteral(": ") + QString::fromLocal8Bit(dlerror());
    }
    module.error = QStringLiteral("はがきを読み取る部品 (luckyscope-scan.so) を読み込めません。") +
                   (tried.isEmpty() ? QStringLiteral("プログラムを入れ直してください。") : tried);
  });
  if (module.create == nullptr) {
    if (error) *error = module.error;
    return nullptr;
  }
  void* reader = module.create(error);
  if (reader == nullptr) return nullptr;
  return std::unique_ptr<ScanReader>(new ScanReader(module, reader));
}

ScanReader::~ScanReader() { module_.destroy(reader_); }

ImageReading ScanReader::ReadFile(const QString& path, ReadCancel cancel) {
  ImageReading reading;
  module_.readFile(reader_, &path, cancel, &reading);
  return reading;
}

ImageReading ScanReader::ReadImage(const QImage& image, double dpi, ReadCancel cancel) {
  ImageReading reading;
  module_.readImage(reader_, &image, dpi, cancel, &reading);
  return reading;
}

}  // namespace luckyscope

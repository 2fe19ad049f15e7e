#include "scan/scan_loader.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <dlfcn.h>
#include <mutex>
#include <thread>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QThread>

namespace luckyscope {

struct ScanReader::Module {
  void* (*create)(QString* error) = nullptr;
  void (*readFile)(void* reader, const QString* path, ReadCancel cancel, ImageReading* out) = nullptr;
  void (*readImage)(void* reader, const QImage* image, double dpi, ReadCancel cancel, ImageReading* out) = nullptr;
  void (*loadImage)(const QString* path, QImage* image, double* dpi, QString* error) = nullptr;
  void (*destroy)(void* reader) = nullptr;
  QString error;  // why the module could not be loaded
};

namespace {

template <typename Fn>
bool Bind(void* handle, const char* name, Fn& out) {
  out = reinterpret_cast<Fn>(dlsym(handle, name));
  return out != nullptr;
}

// The folder of the running program, with links resolved.
QString ProgramFolder() {
  if (QCoreApplication::instance() != nullptr)
    return QFileInfo(QCoreApplication::applicationDirPath()).canonicalFilePath();
  return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).absolutePath();
}

// Whether `folder` is the build tree or lies inside it.
bool InBuildTree(const QString& folder) {
  const QString tree = QFileInfo(QStringLiteral(LUCKYSCOPE_BUILD_TREE)).canonicalFilePath();
  return !tree.isEmpty() && !folder.isEmpty() && (folder == tree || folder.startsWith(tree + u'/'));
}

}  // namespace

// Never unloaded: Tesseract's OpenMP threads and OpenCV's allocations outlive any one
// reader.
const ScanReader::Module* ScanReader::LoadedModule(QString* error) {
  static ScanReader::Module module;
  static std::once_flag once;
  std::call_once(once, [] {
    const QString folder = ProgramFolder();
    QStringList places;
    if (!folder.isEmpty()) places << folder + QStringLiteral("/luckyscope-scan.so");
    places << QStringLiteral(LUCKYSCOPE_SCAN_MODULE_INSTALLED);
    if (InBuildTree(folder)) places << QStringLiteral(LUCKYSCOPE_SCAN_MODULE_BUILT);
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
          Bind(handle, "LuckyScopeScanLoadImage", module.loadImage) &&
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
  return &module;
}

std::unique_ptr<ScanReader> ScanReader::Create(QString* error) {
  const Module* module = LoadedModule(error);
  if (module == nullptr) return nullptr;
  void* reader = module->create(error);
  if (reader == nullptr) return nullptr;
  return std::unique_ptr<ScanReader>(new ScanReader(*module, reader));
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

QImage ScanReader::LoadImage(const QString& path, double* dpi, QString* error) {
  const Module* module = LoadedModule(error);
  QImage image;
  double resolution = 0;
  if (module != nullptr) module->loadImage(&path, &image, &resolution, error);
  if (dpi) *dpi = resolution;
  return image;
}

// --- ScanReaders --------------------------------------------------------------------

ScanReaders::ScanReaders(int workers) : workers_(workers > 0 ? workers : std::max(1, QThread::idealThreadCount())) {}

ScanReaders::~ScanReaders() = default;

bool ScanReaders::MakeReaders(QString* error) {
  const std::size_t missing = static_cast<std::size_t>(workers_) - std::min(readers_.size(), std::size_t(workers_));
  std::vector<std::unique_ptr<ScanReader>> made(missing);
  std::vector<QString> errors(missing);
  {
    std::vector<std::jthread> makers;
    for (std::size_t i = 0; i < missing; ++i) {
      makers.emplace_back([&made, &errors, i] { made[i] = ScanReader::Create(&errors[i]); });
    }
  }
  for (std::size_t i = 0; i < missing; ++i) {
    if (made[i]) {
      readers_.push_back(std::move(made[i]));
    } else if (error && error->isEmpty()) {
      *error = errors[i];
    }
  }
  return !readers_.empty();
}

std::vector<ImageReading> ScanReaders::ReadFiles(const QStringList& paths, ReadCancel cancel, std::atomic<int>* done,
                                                 QString* error) {
  QString startError;
  if (!MakeReaders(&startError)) {
    if (error) *error = startError;
    return {};
  }
  const auto stopped = [cancel] { return cancel != nullptr && cancel->load(); };
  const std::size_t count = static_cast<std::size_t>(paths.size());
  std::vector<ImageReading> readings(count);
  for (ImageReading& reading : readings) reading.cancelled = true;  // until it is read

  // Decoded images wait here for a free reader; no more than one per reader, so that a
  // pile of large photos never sits decoded in memory all at once.
  struct Decoded {
    std::size_t index;
    QImage image;
    double dpi;
    QString error;
  };
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Decoded> ready;
  bool allDecoded = false;
  const std::size_t room = readers_.size();
  constexpr auto kLookAgain = std::chrono::milliseconds(50);  // Cancel is set without a notice

  std::vector<std::jthread> threads;
  threads.emplace_back([&] {
    for (std::size_t i = 0; i < count && !stopped(); ++i) {
      Decoded next{i, {}, 0, {}};
      next.image = ScanReader::LoadImage(paths[static_cast<qsizetype>(i)], &next.dpi, &next.error);
      std::unique_lock lock(mutex);
      while (ready.size() >= room && !stopped()) changed.wait_for(lock, kLookAgain);
      ready.push_back(std::move(next));
      changed.notify_all();
    }
    const std::lock_guard lock(mutex);
    allDecoded = true;
    changed.notify_all();
  });
  for (const std::unique_ptr<ScanReader>& reader : readers_) {
    threads.emplace_back([&, worker = reader.get()] {
      for (;;) {
        std::unique_lock lock(mutex);
        while (ready.empty() && !allDecoded && !stopped()) changed.wait_for(lock, kLookAgain);
        if (stopped() || ready.empty()) return;
        Decoded next = std::move(ready.front());
        ready.pop_front();
        changed.notify_all();
        lock.unlock();
        ImageReading reading;
        if (next.image.isNull()) {
          reading.error = next.error;
        } else {
          reading = worker->ReadImage(next.image, next.dpi, cancel);
        }
        readings[next.index] = std::move(reading);
        if (done) ++*done;
      }
    });
  }
  threads.clear();  // joins
  return readings;
}

}  // namespace luckyscope

#pragma once
// The card reader as the windows use it: the reading module (scan/scan_module.cpp,
// luckyscope-scan.so) is loaded on first use and stays loaded for the run. It is looked
// for beside the program, then in the installed library folder; the build tree's copy
// is taken only by a program that itself runs from the build tree, so that an installed
// program never loads a module from a folder it does not come from.

#include <atomic>
#include <memory>
#include <vector>

#include <QString>
#include <QStringList>

#include "scan/card_reader.h"

namespace luckyscope {

class ScanReader {
 public:
  // A reader with its model loaded, or null with the reason in `error` (the module or
  // the model missing).
  static std::unique_ptr<ScanReader> Create(QString* error);
  ~ScanReader();
  ScanReader(const ScanReader&) = delete;
  ScanReader& operator=(const ScanReader&) = delete;

  // Loads and reads a file; `cancel` as for CardReader::Read.
  ImageReading ReadFile(const QString& path, ReadCancel cancel = nullptr);
  // Reads an image already in memory (a camera frame, say) whose resolution is dpi.
  ImageReading ReadImage(const QImage& image, double dpi, ReadCancel cancel = nullptr);

  // Loads a file the way ReadFile does, without reading it: the image and its
  // resolution, or a null image with the reason in `error`. Thread-safe.
  static QImage LoadImage(const QString& path, double* dpi, QString* error);

 private:
  struct Module;
  // Loaded once per run and never unloaded. Null, with the reason, when it cannot be.
  static const Module* LoadedModule(QString* error);
  ScanReader(const Module& module, void* reader) : module_(module), reader_(reader) {}
  const Module& module_;
  void* reader_;
};

// Readers kept for a session, one per worker: the first reading loads their models
// (about 0.1 s each, in parallel), later readings use them again. The files are read in
// parallel, each worker with its own reader (a reader is not shared between threads),
// while one more thread decodes the next images ahead of them.
class ScanReaders {
 public:
  // `workers` readers at most; 0 means one per processor core.
  explicit ScanReaders(int workers = 0);
  ~ScanReaders();
  ScanReaders(const ScanReaders&) = delete;
  ScanReaders& operator=(const ScanReaders&) = delete;

  // One reading per path, in the paths' order. `done` (may be null) counts the files
  // finished. Once `cancel` is set the images being read stop and no more start: the
  // files not read come back marked cancelled. Empty, with the reason in `error`, when
  // no reader could start (the module or the model missing); a reader that could not
  // start is tried again at the next call.
  std::vector<ImageReading> ReadFiles(const QStringList& paths, ReadCancel cancel, std::atomic<int>* done,
                                      QString* error);

  // Readers made so far.
  int Loaded() const { return static_cast<int>(readers_.size()); }

 private:
  // Makes the readers still missing, in parallel. False, with the reason, when there
  // is none.
  bool MakeReaders(QString* error);

  int workers_;
  std::vector<std::unique_ptr<ScanReader>> readers_;
};

}  // namespace luckyscope

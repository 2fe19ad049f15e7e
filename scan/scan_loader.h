#pragma once
// The card reader as the windows use it: the reading module (scan/scan_module.cpp,
// luckyscope-scan.so) is loaded on first use, from beside the program, from the
// installed library folder, or from the build tree, and stays loaded for the run.

#include <memory>

#include <QString>

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

 private:
  struct Module;
  ScanReader(const Module& module, void* reader) : module_(module), reader_(reader) {}
  const Module& module_;
  void* reader_;
};

}  // namespace luckyscope

// The card reader as a module of its own: the program loads it (and with it Tesseract
// and OpenCV) only when postcards are first read, so that an ordinary start does not
// pay for libraries most sessions never use. The entry points take and give the
// reader's own types; the module and the program are built together.

#include "scan/card_reader.h"

#define LUCKYSCOPE_SCAN_EXPORT extern "C" __attribute__((visibility("default")))

LUCKYSCOPE_SCAN_EXPORT void* LuckyScopeScanCreate(QString* error) {
  return luckyscope::CardReader::Create(error).release();
}

LUCKYSCOPE_SCAN_EXPORT void LuckyScopeScanReadFile(void* reader, const QString* path, luckyscope::ReadCancel cancel,
                                                   luckyscope::ImageReading* out) {
  *out = static_cast<luckyscope::CardReader*>(reader)->ReadFile(*path, cancel);
}

LUCKYSCOPE_SCAN_EXPORT void LuckyScopeScanReadImage(void* reader, const QImage* image, double dpi,
                                                    luckyscope::ReadCancel cancel, luckyscope::ImageReading* out) {
  *out = static_cast<luckyscope::CardReader*>(reader)->Read(*image, dpi, cancel);
}

LUCKYSCOPE_SCAN_EXPORT void LuckyScopeScanDestroy(void* reader) { delete static_cast<luckyscope::CardReader*>(reader); }

// Loads a file as ReadFile would, without reading it, so that the next image can be
// decoded while another is read. A null image and the reason when it cannot be loaded.
LUCKYSCOPE_SCAN_EXPORT void LuckyScopeScanLoadImage(const QString* path, QImage* image, double* dpi, QString* error) {
  *image = luckyscope::LoadScanImage(*path, error);
  *dpi = image->isNull() ? 0 : luckyscope::ScanResolution(*image);
}

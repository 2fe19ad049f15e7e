#pragma once
// Scans and photos as the reader takes them from files.

#include <QImage>
#include <QString>

namespace luckyscope {

// The resolution a file's image is taken to have: its own when it states a plausible
// one (100 to 1200 dpi, after rounding to whole dots per inch: files store dots per
// metre, and 100 dpi is stored as 3937), else 300.
double ScanResolution(const QImage& image);

// Loads an image file with Qt's readers (PNG, JPEG, TIFF, BMP, GIF, WebP, PNM), turned
// upright as its orientation tag says (a phone stores a portrait photo as landscape
// pixels with such a tag). The file is opened only when it is a regular file, and its
// kind and stated size are checked before it is decoded. A null image and an error
// text naming the file on failure.
QImage LoadScanImage(const QString& path, QString* error);

}  // namespace luckyscope

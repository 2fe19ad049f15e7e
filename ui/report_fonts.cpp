#include "ui/report_fonts.h"

#include <hb-subset.h>
#include <hb.h>
#include <memory>
#include <set>
#include <string>

#include <QByteArray>
#include <QFontDatabase>
#include <QRawFont>

namespace luckyscope {

namespace {

struct BlobDeleter {
  void operator()(hb_blob_t* blob) const { hb_blob_destroy(blob); }
};
struct FaceDeleter {
  void operator()(hb_face_t* face) const { hb_face_destroy(face); }
};
struct InputDeleter {
  void operator()(hb_subset_input_t* input) const { hb_subset_input_destroy(input); }
};
using Blob = std::unique_ptr<hb_blob_t, BlobDeleter>;
using Face = std::unique_ptr<hb_face_t, FaceDeleter>;

// The tables a CFF or TrueType font draws and lays out Japanese with. The name table is
// the copy's own (NameTable).
constexpr const char* kTables[] = {"CFF ", "cmap", "head", "hhea", "hmtx", "maxp", "OS/2",
                                   "post", "vhea", "vmtx", "VORG", "GSUB", "GPOS", "GDEF",
                                   "BASE", "glyf", "loca", "fpgm", "prep", "cvt ", "gasp"};

hb_tag_t Tag(const char* name) { return HB_TAG(name[0], name[1], name[2], name[3]); }

// A table blob that owns its copy of the bytes.
Blob OwnedBlob(const QByteArray& bytes) {
  auto* copy = new QByteArray(bytes);
  return Blob(hb_blob_create(copy->constData(), static_cast<unsigned>(copy->size()), HB_MEMORY_MODE_READONLY, copy,
                             [](void* data) { delete static_cast<QByteArray*>(data); }));
}

void PutBigEndian16(QByteArray& out, unsigned value) {
  out.append(static_cast<char>((value >> 8) & 0xFF));
  out.append(static_cast<char>(value & 0xFF));
}

// A name table (format 0, Windows platform, Unicode BMP, US English) with the family,
// style, full and PostScript names: what font databases read to file a font.
QByteArray NameTable(const QString& family, const QString& style) {
  const QString full = family + QLatin1Char(' ') + style;
  const QString postscript = QString(family).remove(QLatin1Char(' ')) + QLatin1Char('-') + style;
  const std::pair<unsigned, QString> names[] = {{1, family}, {2, style}, {4, full}, {6, postscript}};
  QByteArray strings;
  QByteArray table;
  const unsigned count = std::size(names);
  PutBigEndian16(table, 0);
  PutBigEndian16(table, count);
  PutBigEndian16(table, 6 + 12 * count);
  for (const auto& [id, text] : names) {
    QByteArray utf16;
    for (const QChar c : text) PutBigEndian16(utf16, c.unicode());
    for (unsigned field :
         {3u, 1u, 0x409u, id, static_cast<unsigned>(utf16.size()), static_cast<unsigned>(strings.size())})
      PutBigEndian16(table, field);
    strings += utf16;
  }
  return table + strings;
}

// The installed font cut to the code points of `text`, under `family`; empty when the
// font is not what was asked for or cannot be cut.
QByteArray SubsetFont(const QFont& font, const QString& text, const QString& family, const QString& style) {
  const QRawFont raw = QRawFont::fromFont(font);
  if (!raw.isValid() || raw.familyName() != font.family()) return {};
  Face builder(hb_face_builder_create());
  for (const char* name : kTables) {
    const QByteArray table = raw.fontTable(name);
    if (!table.isEmpty()) hb_face_builder_add_table(builder.get(), Tag(name), OwnedBlob(table).get());
  }
  hb_face_builder_add_table(builder.get(), Tag("name"), OwnedBlob(NameTable(family, style)).get());

  std::unique_ptr<hb_subset_input_t, InputDeleter> input(hb_subset_input_create_or_fail());
  if (!input) return {};
  hb_set_t* unicodes = hb_subset_input_unicode_set(input.get());
  for (const char32_t code : text.toStdU32String()) hb_set_add(unicodes, code);
  Face subset(hb_subset_or_fail(builder.get(), input.get()));
  if (!subset) return {};
  Blob blob(hb_face_reference_blob(subset.get()));
  unsigned length = 0;
  const char* data = hb_blob_get_data(blob.get(), &length);
  return QByteArray(data, static_cast<qsizetype>(length));
}

}  // namespace

QString ReportFontFamily() { return QStringLiteral("Noto Sans CJK JP"); }

ReportFonts::ReportFonts(const QString& text) : family_(ReportFontFamily()) {
  // Each copy gets a family of its own: a font database may keep what it read about a
  // family that has gone.
  static int made = 0;
  const QString family = QStringLiteral("LuckyScope Report %1").arg(++made);
  for (const bool bold : {false, true}) {
    QFont font(ReportFontFamily());
    font.setBold(bold);
    const QByteArray data = SubsetFont(font, text, family, bold ? QStringLiteral("Bold") : QStringLiteral("Regular"));
    const int id = data.isEmpty() ? -1 : QFontDatabase::addApplicationFontFromData(data);
    if (id < 0 || !QFontDatabase::applicationFontFamilies(id).contains(family)) {
      if (id >= 0) QFontDatabase::removeApplicationFont(id);
      for (int registered : ids_) QFontDatabase::removeApplicationFont(registered);
      ids_.clear();
      return;
    }
    ids_.push_back(id);
  }
  family_ = family;
}

ReportFonts::~ReportFonts() {
  for (int id : ids_) QFontDatabase::removeApplicationFont(id);
}

QFont ReportFonts::Font(double points, bool bold) const {
  QFont font(family_);
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

}  // namespace luckyscope

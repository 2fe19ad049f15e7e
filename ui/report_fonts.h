#pragma once
// Fonts for printed and PDF lists whose text a reader can search and copy.
//
// A PDF names the character behind each glyph in a map of its own, and Qt fills that
// map by asking the font which character gives the glyph, lowest code point first.
// The Japanese font (Noto Sans CJK JP) draws many kanji and the Kangxi radical of the
// same shape with one glyph (山 U+5C71 and ⼭ U+2F2D, 日, 月, 一, 子 …), so the radical,
// which comes first, was named: a search for 山田 found nothing, a copied name was wrong.
//
// The cure is at the font: a copy of it that maps only the characters the list uses,
// so that every glyph has one character. The copy is cut from the installed font with
// HarfBuzz's subsetter, named for this program alone (regular and bold), and lives in
// the application's font database while the object does.

#include <vector>

#include <QFont>
#include <QString>

namespace luckyscope {

class ReportFonts {
 public:
  // Registers copies of the report font, regular and bold, that map exactly the
  // characters of `text`. Where the font or the subsetter fails the installed font is
  // used as it is: the text is still drawn, only copied text may show radicals.
  explicit ReportFonts(const QString& text);
  ~ReportFonts();
  ReportFonts(const ReportFonts&) = delete;
  ReportFonts& operator=(const ReportFonts&) = delete;

  QFont Font(double points, bool bold = false) const;

  // True when the copies are in use.
  bool Subset() const { return !ids_.empty(); }

 private:
  QString family_;
  std::vector<int> ids_;
};

// The family the report asks for: the Japanese font that the set-up installs.
QString ReportFontFamily();

}  // namespace luckyscope

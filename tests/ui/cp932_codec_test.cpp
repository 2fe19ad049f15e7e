// The CP932 codec at the widget boundary: the characters where CP932 differs from
// plain Shift_JIS, broken bytes, and characters CP932 cannot hold.

#include "ui/cp932_codec.h"

#include <string>

#include <gtest/gtest.h>

namespace luckyscope {
namespace {

TEST(Cp932Codec, TableIsAvailable) { ASSERT_TRUE(Cp932Available()); }

TEST(Cp932Codec, CharactersThatDifferFromShiftJisRoundTrip) {
  struct Case {
    const char* bytes;
    char16_t unicode;
  } cases[] = {
      {"\x87\x40", u'\u2460'},  // ①, NEC special character
      {"\x81\x60", u'\uFF5E'},  // 〜 is the full-width tilde in CP932, not U+301C
      {"\x81\x7E", u'\u00D7'},  // ×
      {"\x5C", u'\\'},          // backslash, not the yen sign
      {"\x81\x7C", u'\uFF0D'},  // full-width minus, not U+2212
      {"\xB1", u'\uFF71'},      // half-width katakana ｱ
      {"\xDF", u'\uFF9F'},      // last half-width katakana ﾟ
      {"\x82\xA0", u'\u3042'},  // あ
      {"\xEA\xA4", u'\u7199'},  // 熙, last JIS level-2 kanji
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    const QString text = FromCp932(c.bytes);
    ASSERT_EQ(text.size(), 1);
    EXPECT_EQ(text.at(0).unicode(), c.unicode);
    bool complete = false;
    EXPECT_EQ(ToCp932(text, &complete), std::string(c.bytes));
    EXPECT_TRUE(complete);
  }
}

TEST(Cp932Codec, MixedTextRoundTrips) {
  const std::string bytes = "No.7 \x8E\x52\x93\x63\x89\xD4\x8E\x71 \xB1\xB2\xB3 C:\\data\\\x87\x40.dat";
  const QString text = FromCp932(bytes);
  EXPECT_EQ(text, QStringLiteral(u"No.7 山田花子 ｱｲｳ C:\\data\\①.dat"));
  EXPECT_EQ(ToCp932(text), bytes);
}

TEST(Cp932Codec, BrokenBytesShowAsReplacementAndNeverSwallowNeighbours) {
  // A double-byte character cut in half at the end.
  EXPECT_EQ(FromCp932(std::string("ab\x82")), QStringLiteral(u"ab\uFFFD"));
  // A lead byte followed by a byte that cannot trail: the ASCII byte survives.
  EXPECT_EQ(FromCp932(std::string("\x82 x")), QStringLiteral(u"\uFFFD x"));
  // Bytes that are no character at all, and a real 1A control byte that stays itself.
  EXPECT_EQ(FromCp932(std::string("\x80\xA0\xFD\xFE\xFF")), QString(5, QChar(u'\uFFFD')));
  EXPECT_EQ(FromCp932(std::string("\x1A\x82")), QStringLiteral(u"\x1A\uFFFD"));
  // A well-formed pair with no character assigned.
  EXPECT_EQ(FromCp932(std::string("\x85\x40z")), QStringLiteral(u"\uFFFDz"));
  EXPECT_TRUE(FromCp932(static_cast<const char*>(nullptr)).isEmpty());
}

TEST(Cp932Codec, EveryByteSequenceDecodesWithoutCrashing) {
  // All two-byte sequences, each alone and between ASCII neighbours.
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      const std::string pair{static_cast<char>(a), static_cast<char>(b)};
      const QString text = FromCp932("<" + pair + ">");
      ASSERT_TRUE(text.startsWith(u'<')) << a << " " << b;
      ASSERT_TRUE(text.endsWith(u'>')) << a << " " << b;
    }
  }
}

TEST(Cp932Codec, CharactersCp932CannotHoldAreReported) {
  for (const QString& s : {QStringLiteral(u"😀"), QStringLiteral(u"é"), QStringLiteral(u"\u301C"),
                           QStringLiteral(u"\u2212"), QStringLiteral(u"¥"), QStringLiteral(u"\uFFFD")}) {
    SCOPED_TRACE(s.toStdString());
    EXPECT_FALSE(Cp932CanHold(s));
    EXPECT_EQ(Cp932CharBytes(s), 0);
    bool complete = true;
    EXPECT_EQ(ToCp932(QStringLiteral("a") + s + QStringLiteral("b"), &complete), "a?b");
    EXPECT_FALSE(complete);
  }
  EXPECT_TRUE(Cp932CanHold(QStringLiteral(u"山田 ①～×ｱ\\")));
}

TEST(Cp932Codec, CharacterSizes) {
  EXPECT_EQ(Cp932CharBytes(u"a"), 1);
  EXPECT_EQ(Cp932CharBytes(u"ｱ"), 1);
  EXPECT_EQ(Cp932CharBytes(u"あ"), 2);
  EXPECT_EQ(Cp932CharBytes(u"①"), 2);
  EXPECT_EQ(Cp932CharBytes(u""), 0);
}

}  // namespace
}  // namespace luckyscope

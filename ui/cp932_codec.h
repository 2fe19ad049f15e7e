#pragma once
// The one place where the program's CP932 byte strings (code page 932, "windows-31j")
// meet Qt's QString. Every window converts here when it shows a text from the data
// core or hands typed text back to it; nothing else in the window layer guesses at
// encodings.
//
// The table is ICU's windows-31j through QStringConverter, not plain JIS Shift_JIS:
// ① (87 40), 〜 (81 60 <-> U+FF5E), × (81 7E), the backslash 5C and the half-width
// katakana A1..DF all round-trip.

#include <string>
#include <string_view>

#include <QString>

namespace luckyscope {

// Whether the CP932 table is there (Qt built with ICU). Checked once at start; without
// it only ASCII converts and everything else shows as U+FFFD / is refused.
bool Cp932Available();

// Bytes -> text. Bytes that do not form a CP932 character (a double-byte character cut
// in half, unassigned codes, 80, A0, FD..FF) show as U+FFFD; nothing is dropped and
// nothing crashes. The const char* form reads up to the terminating NUL (null reads as
// empty).
QString FromCp932(std::string_view bytes);
QString FromCp932(const char* text);

// Text -> bytes. A character CP932 cannot hold (emoji, é, U+301C wave dash, U+2212
// minus, ¥, U+FFFD) becomes '?' and *complete, when given, is set to false.
std::string ToCp932(const QString& text, bool* complete = nullptr);

// True when every character of `text` has a CP932 code.
bool Cp932CanHold(const QString& text);

// Bytes that the character (one code point, given as a QString of one or two UTF-16
// units) takes in CP932: 1 or 2, or 0 when CP932 cannot hold it.
int Cp932CharBytes(QStringView character);

}  // namespace luckyscope

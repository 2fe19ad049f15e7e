#pragma once
// The CP932 bytes of a text, as the data core holds it: the tests write their names
// and titles in UTF-8.

#include <string>

#include <QString>

#include "ui/cp932_codec.h"

namespace luckyscope::testing {

inline std::string Cp(const QString& text) { return ToCp932(text); }
inline std::string Cp(const char* utf8) { return ToCp932(QString::fromUtf8(utf8)); }

}  // namespace luckyscope::testing

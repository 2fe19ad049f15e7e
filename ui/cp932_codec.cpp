#include "ui/cp932_codec.h"

#include <memory>
#include <optional>

#include <QStringDecoder>
#include <QStringEncoder>

namespace luckyscope {
namespace {

constexpr char kCodecName[] = "windows-31j";
constexpr char16_t kReplacement = u'\uFFFD';

// The converters are stateless and reused: opening an ICU converter costs far more
// than converting one list cell. Windows live on one thread, but thread_local keeps a
// converter from ever being shared. Qt's ICU converters keep their error flag through
// resetState(), so a converter that saw an error is replaced by a fresh one; they are
// held by pointer because a moved Qt ICU converter still reports to its old place.
std::unique_ptr<QStringDecoder>& Decoder() {
  thread_local auto decoder = std::make_unique<QStringDecoder>(kCodecName, QStringConverter::Flag::Stateless);
  return decoder;
}

std::unique_ptr<QStringEncoder>& Encoder() {
  thread_local auto encoder = std::make_unique<QStringEncoder>(kCodecName, QStringConverter::Flag::Stateless);
  return encoder;
}

// Bytes -> text, or nothing when some byte did not decode.
std::optional<QString> TryDecode(QByteArrayView bytes) {
  std::unique_ptr<QStringDecoder>& decoder = Decoder();
  if (!decoder->isValid()) return std::nullopt;
  QString text = decoder->decode(bytes);
  if (!decoder->hasError()) return text;
  decoder = std::make_unique<QStringDecoder>(kCodecName, QStringConverter::Flag::Stateless);
  return std::nullopt;
}

// Text -> bytes, or nothing when some character has no code.
std::optional<QByteArray> TryEncode(QStringView text) {
  if (text.contains(QChar(kReplacement))) return std::nullopt;  // stands for bytes that did not decode
  std::unique_ptr<QStringEncoder>& encoder = Encoder();
  if (!encoder->isValid()) return std::nullopt;
  QByteArray bytes = encoder->encode(text);
  if (!encoder->hasError()) return bytes;
  encoder = std::make_unique<QStringEncoder>(kCodecName, QStringConverter::Flag::Stateless);
  return std::nullopt;
}

bool IsLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool IsTrailByte(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

bool AllAscii(std::string_view bytes) {
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// The careful path, one character unit (one or two bytes) at a time, taken only when
// the whole text did not decode. ICU reports an undecodable unit as U+001A with its
// error flag, which would be mistaken for a real 1A byte, so the flag decides.
QString DecodeByUnits(std::string_view bytes) {
  QString out;
  out.reserve(static_cast<qsizetype>(bytes.size()));
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    std::size_t len = 1;
    if (IsLeadByte(b) && i + 1 < bytes.size() && IsTrailByte(static_cast<unsigned char>(bytes[i + 1]))) len = 2;
    if (len == 1 && b < 0x80) {
      out.append(QChar(static_cast<char16_t>(b)));
    } else {
      const std::optional<QString> piece = TryDecode(QByteArrayView(bytes.data() + i, static_cast<qsizetype>(len)));
      out.append(piece && !piece->isEmpty() ? *piece : QString(QChar(kReplacement)));
    }
    i += len;
  }
  return out;
}

}  // namespace

bool Cp932Available() {
  static const bool available = QStringEncoder(kCodecName).isValid() && QStringDecoder(kCodecName).isValid();
  return available;
}

QString FromCp932(std::string_view bytes) {
  if (AllAscii(bytes)) return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
  if (std::optional<QString> text = TryDecode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())))) {
    return *text;
  }
  return DecodeByUnits(bytes);
}

QString FromCp932(const char* text) { return text == nullptr ? QString() : FromCp932(std::string_view(text)); }

int Cp932CharBytes(QStringView character) {
  if (character.isEmpty()) return 0;
  if (character.size() == 1 && character.front().unicode() < 0x80) return 1;
  const std::optional<QByteArray> bytes = TryEncode(character);
  return bytes ? static_cast<int>(bytes->size()) : 0;
}

std::string ToCp932(const QString& text, bool* complete) {
  if (complete != nullptr) *complete = true;
  if (std::optional<QByteArray> bytes = TryEncode(text)) return bytes->toStdString();
  // Some character has no code: convert one code point at a time so that only that
  // character turns into '?'.
  std::string out;
  out.reserve(static_cast<std::size_t>(text.size()) * 2);
  qsizetype i = 0;
  while (i < text.size()) {
    qsizetype len = 1;
    if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) len = 2;
    const QStringView ch = QStringView(text).mid(i, len);
    const std::optional<QByteArray> bytes = TryEncode(ch);
    if (!bytes || bytes->isEmpty()) {
      out.push_back('?');
      if (complete != nullptr) *complete = false;
    } else {
      out.append(bytes->constData(), static_cast<std::size_t>(bytes->size()));
    }
    i += len;
  }
  return out;
}

bool Cp932CanHold(const QString& text) {
  bool complete = true;
  ToCp932(text, &complete);
  return complete;
}

}  // namespace luckyscope

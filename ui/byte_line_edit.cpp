#include "ui/byte_line_edit.h"

#include <QEvent>
#include <QFile>
#include <QToolTip>
#include <QValidator>

#include "ui/cp932_codec.h"

namespace luckyscope {
namespace {

// Length of the code point that starts at i (2 for a surrogate pair).
qsizetype CodePointLength(const QString& text, qsizetype i) {
  if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) return 2;
  return 1;
}

bool IsControl(QStringView character) {
  const char16_t c = character.front().unicode();
  return c < 0x20 || c == 0x7F;
}

// The half-width form of a full-width digit or asterisk; any other character as it is.
QChar HalfWidthDigit(QChar c) {
  if (c >= u'\uFF10' && c <= u'\uFF19') return QChar(u'0' + (c.unicode() - u'\uFF10'));
  if (c == u'\uFF0A') return QChar(u'*');
  return c;
}

}  // namespace

// Every change of the text passes here (typing, paste, drop, undo, input method), so
// the limit holds whichever way text arrives. The limiter compares the new text with
// the last one it let through: what was inserted is filtered and cut, what was removed
// is always allowed.
class ByteLineEdit::Limiter final : public QValidator {
 public:
  explicit Limiter(ByteLineEdit* box) : QValidator(box), box_(box) {}

  State validate(QString& input, int& pos) const override {
    if (box_->programSetting_ || input == last_) {
      last_ = input;
      return Acceptable;
    }
    const qsizetype shorter = std::min(input.size(), last_.size());
    qsizetype prefix = 0;
    while (prefix < shorter && input.at(prefix) == last_.at(prefix)) ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter && input.at(input.size() - 1 - suffix) == last_.at(last_.size() - 1 - suffix)) ++suffix;
    // The inserted text ends at the cursor; anchor the split there so that a cut
    // falls on what was just inserted.
    const qsizetype afterCursor = std::clamp<qsizetype>(input.size() - pos, 0, input.size());
    suffix = std::min(suffix, afterCursor);
    prefix = std::min(prefix, shorter - suffix);
    // Never split a surrogate pair between the kept parts and the insertion.
    if (prefix > 0 && input.at(prefix - 1).isHighSurrogate()) --prefix;
    if (suffix > 0 && input.at(input.size() - suffix).isLowSurrogate()) --suffix;

    const QString head = input.left(prefix);
    const QString tail = input.right(suffix);
    const QString inserted = input.mid(prefix, input.size() - prefix - suffix);
    if (inserted.isEmpty()) {  // only removed: always allowed
      last_ = input;
      return Acceptable;
    }
    const bool limited = box_->maxBytes_ > 0;
    // May be below 0 when the program put in a longer text: then nothing more fits.
    qsizetype budget = limited ? box_->maxBytes_ - box_->ByteCountOf(head) - box_->ByteCountOf(tail) : 0;
    QString kept;
    kept.reserve(inserted.size());
    bool refused = false;
    qsizetype i = 0;
    while (i < inserted.size()) {
      const qsizetype len = CodePointLength(inserted, i);
      QString ch = inserted.mid(i, len);
      i += len;
      if (box_->halfWidthDigits_ && len == 1) ch[0] = HalfWidthDigit(ch.at(0));
      if (len == 1 && box_->refused_.contains(ch.at(0))) {
        refused = true;
        continue;
      }
      const int bytes = box_->CharBytes(ch);
      if (bytes == 0) continue;              // a character the box cannot hold is left out
      if (limited && bytes > budget) break;  // cut at the last whole character that fits
      budget -= bytes;
      kept.append(ch);
    }
    if (refused) box_->ShowRefusal();
    if (kept.isEmpty()) return Invalid;  // nothing of it fits: the edit is refused
    input = head + kept + tail;
    pos = static_cast<int>(head.size() + kept.size());
    last_ = input;
    return Acceptable;
  }

 private:
  ByteLineEdit* box_;
  mutable QString last_;
};

ByteLineEdit::ByteLineEdit(QWidget* parent, TextBytes encoding)
    : QLineEdit(parent), encoding_(encoding), limiter_(new Limiter(this)) {
  setValidator(limiter_);
}

ByteLineEdit::~ByteLineEdit() = default;

void ByteLineEdit::SetMaxBytes(int maxBytes) { maxBytes_ = std::max(0, maxBytes); }

void ByteLineEdit::SetRefusedCharacters(const QString& characters, const QString& why) {
  refused_ = characters;
  refusedWhy_ = why;
}

void ByteLineEdit::ShowRefusal() {
  if (refusedWhy_.isEmpty()) return;
  QToolTip::showText(mapToGlobal(QPoint(0, height())), refusedWhy_, this);
}

void ByteLineEdit::SetImeEnabled(bool enabled) {
  imeEnabled_ = enabled;
  ApplyIme();
}

void ByteLineEdit::ApplyIme() {
  setAttribute(Qt::WA_InputMethodEnabled, imeEnabled_ && !isReadOnly());
  setInputMethodHints(imeEnabled_ ? Qt::ImhNone : Qt::ImhLatinOnly);
}

QVariant ByteLineEdit::inputMethodQuery(Qt::InputMethodQuery query) const {
  if (query == Qt::ImEnabled && !imeEnabled_) return false;
  return QLineEdit::inputMethodQuery(query);
}

void ByteLineEdit::changeEvent(QEvent* event) {
  QLineEdit::changeEvent(event);
  // QLineEdit switches the input method back on when it stops being read-only.
  if (event->type() == QEvent::ReadOnlyChange) ApplyIme();
}

int ByteLineEdit::CharBytes(QStringView character) const {
  if (character.isEmpty() || IsControl(character)) return 0;
  if (encoding_ == TextBytes::Cp932) return Cp932CharBytes(character);
  return static_cast<int>(character.toUtf8().size());
}

int ByteLineEdit::ByteCountOf(const QString& text) const {
  if (encoding_ == TextBytes::Cp932) return static_cast<int>(ToCp932(text).size());
  return static_cast<int>(QFile::encodeName(text).size());
}

int ByteLineEdit::ByteCount() const { return static_cast<int>(Bytes().size()); }

std::string ByteLineEdit::Bytes() const {
  const QString current = text();
  if (hasOriginal_ && current == originalText_) return originalBytes_;
  if (encoding_ == TextBytes::Cp932) return ToCp932(current);
  return QFile::encodeName(current).toStdString();
}

void ByteLineEdit::SetBytes(std::string_view bytes) {
  const QString shown = encoding_ == TextBytes::Cp932
                            ? FromCp932(bytes)
                            : QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
  originalBytes_.assign(bytes);
  originalText_ = shown;
  hasOriginal_ = true;
  SetText(shown);
}

void ByteLineEdit::SetText(const QString& text) {
  programSetting_ = true;
  setText(text);
  programSetting_ = false;
}

}  // namespace luckyscope

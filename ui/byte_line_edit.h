#pragma once
// The single-line text box of every dialog. Its limit counts bytes, not characters:
// CP932 bytes for names, groups and numbers, file-name bytes (UTF-8 here) for paths.
// Typing, pasting, dropping and input-method commits can never take the text past the
// limit: an insertion that is too long is cut at a character boundary, and characters
// the encoding cannot hold are left out (typed alone, they are refused). A box can
// refuse more characters the same way (a file's separator, say), and can take
// full-width digits and asterisks as their half-width forms.

#include <string>
#include <string_view>

#include <QLineEdit>
#include <QString>

namespace luckyscope {

enum class TextBytes {
  Cp932,     // names, groups, numbers, titles: code page 932
  FileName,  // paths: the platform's file-name bytes
};

class ByteLineEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit ByteLineEdit(QWidget* parent = nullptr, TextBytes encoding = TextBytes::Cp932);
  ~ByteLineEdit() override;

  // 0 means no limit. A new limit does not cut the text already in the box; it only
  // stops it from growing (so a box can be narrowed while it holds a longer text).
  void SetMaxBytes(int maxBytes);
  int MaxBytes() const { return maxBytes_; }

  // Input method on or off. Off also asks for Latin input, so that an input method
  // that stays active offers half-width characters.
  void SetImeEnabled(bool enabled);
  bool ImeEnabled() const { return imeEnabled_; }

  TextBytes Encoding() const { return encoding_; }

  // Characters this box never takes, on top of those the encoding cannot hold: typed
  // alone they are refused, in pasted text they are left out. When that happens `why`
  // is shown as a tool tip at the box.
  void SetRefusedCharacters(const QString& characters, const QString& why);
  // Full-width digits and '＊' arriving in the box become '0'..'9' and '*'.
  void SetHalfWidthDigits(bool fold) { halfWidthDigits_ = fold; }

  // The text as bytes. A text put in with SetBytes and not changed since comes back as
  // exactly those bytes, even where they did not decode, so that showing a stored text
  // never changes it.
  std::string Bytes() const;
  // Shows stored bytes. Text set by the program is not cut to the limit.
  void SetBytes(std::string_view bytes);
  // Sets the text as the program does, not cut to the limit. (QLineEdit::setText also
  // works, but it is treated like typing: cut to the limit.)
  void SetText(const QString& text);

  // Bytes the current text takes.
  int ByteCount() const;
  // Bytes one text would take in this box's encoding.
  int ByteCountOf(const QString& text) const;

  QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

 protected:
  void changeEvent(QEvent* event) override;

 private:
  class Limiter;
  friend class Limiter;

  void ApplyIme();
  // Tells the user why characters were left out.
  void ShowRefusal();
  // Bytes one character (one code point) takes, 0 when the box refuses it.
  int CharBytes(QStringView character) const;

  TextBytes encoding_;
  int maxBytes_ = 0;
  bool imeEnabled_ = true;
  bool programSetting_ = false;
  bool halfWidthDigits_ = false;
  QString refused_;
  QString refusedWhy_;
  Limiter* limiter_;
  QString originalText_;
  std::string originalBytes_;
  bool hasOriginal_ = false;
};

}  // namespace luckyscope

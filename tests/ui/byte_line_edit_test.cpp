// The byte-limited text box: typing and pasting double-byte text against the limit,
// refused characters, input-method commits, and stored bytes that survive being shown.

#include "ui/byte_line_edit.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "tests/support/test_application.h"
#include "ui/cp932_codec.h"

namespace luckyscope {
namespace {

class ByteLineEditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApplication();
    box_ = std::make_unique<ByteLineEdit>();
    box_->show();
  }

  // QTest::keyClicks cannot type Japanese: each character goes in as a key event that
  // carries its text, as a keyboard layout would send it.
  void Type(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
      QString ch(text.at(i));
      if (text.at(i).isHighSurrogate() && i + 1 < text.size()) ch += text.at(++i);
      QTest::sendKeyEvent(QTest::KeyAction::Click, box_.get(), Qt::Key_unknown, ch, Qt::NoModifier);
    }
  }

  void Paste(const QString& text) {
    QGuiApplication::clipboard()->setText(text);
    QTest::keyClick(box_.get(), Qt::Key_V, Qt::ControlModifier);
  }

  void Commit(const QString& text) {
    QInputMethodEvent event;
    event.setCommitString(text);
    QCoreApplication::sendEvent(box_.get(), &event);
  }

  std::unique_ptr<ByteLineEdit> box_;
};

TEST_F(ByteLineEditTest, TypingStopsAtTheByteLimitWithDoubleByteText) {
  box_->SetMaxBytes(5);
  Type(QStringLiteral(u"あいう"));  // 2 + 2 bytes fit, the third would make 6
  EXPECT_EQ(box_->text(), QStringLiteral(u"あい"));
  Type(QStringLiteral(u"ｱ"));  // a half-width katakana is one byte: fits exactly
  EXPECT_EQ(box_->text(), QStringLiteral(u"あいｱ"));
  Type(QStringLiteral("x"));
  EXPECT_EQ(box_->ByteCount(), 5);
  EXPECT_EQ(box_->Bytes(), "\x82\xA0\x82\xA2\xB1");

  // One byte left is not room for a double-byte character.
  box_->clear();
  QTest::keyClicks(box_.get(), "abcd");
  Type(QStringLiteral(u"漢"));
  EXPECT_EQ(box_->text(), QStringLiteral("abcd"));
  Type(QStringLiteral("e"));
  EXPECT_EQ(box_->text(), QStringLiteral("abcde"));
}

TEST_F(ByteLineEditTest, CharactersCp932CannotHoldAreRefused) {
  box_->SetMaxBytes(20);
  Type(QStringLiteral(u"aé😀\u301C\u2212¥b"));
  EXPECT_EQ(box_->text(), QStringLiteral("ab"));
  Type(QStringLiteral(u"～①×\\"));  // the CP932 look-alikes are fine
  EXPECT_EQ(box_->Bytes(), std::string("ab\x81\x60\x87\x40\x81\x7E\\"));
}

TEST_F(ByteLineEditTest, LongPasteIsCutAtACharacterBoundary) {
  box_->SetMaxBytes(8);
  QTest::keyClicks(box_.get(), "ab");
  Paste(QStringLiteral(u"ｱｲｳあいうえお"));  // room for 6: ｱｲｳ (3) + あ (2), not half of い
  EXPECT_EQ(box_->text(), QStringLiteral(u"abｱｲｳあ"));
  EXPECT_EQ(box_->ByteCount(), 7);
  EXPECT_EQ(box_->cursorPosition(), 6);
}

TEST_F(ByteLineEditTest, PasteInTheMiddleKeepsBothSidesAndDropsUnholdableCharacters) {
  box_->SetMaxBytes(7);
  QTest::keyClicks(box_.get(), "abcd");
  box_->setCursorPosition(2);
  Paste(QStringLiteral(u"é山😀田川"));  // é and 😀 left out; 山 fits, 田 would need 2 of 1
  EXPECT_EQ(box_->text(), QStringLiteral(u"ab山cd"));
  EXPECT_EQ(box_->cursorPosition(), 3);
}

TEST_F(ByteLineEditTest, InputMethodCommitIsCutLikeAPaste) {
  box_->SetMaxBytes(6);
  Commit(QStringLiteral(u"日本語テキスト"));
  EXPECT_EQ(box_->text(), QStringLiteral(u"日本語"));
  Commit(QStringLiteral(u"字"));
  EXPECT_EQ(box_->text(), QStringLiteral(u"日本語"));
}

TEST_F(ByteLineEditTest, StoredBytesComeBackUnchangedEvenWhenTheyDoNotDecode) {
  const std::string stored = "\x8E\x52\x82";  // 山 and half a character
  QSignalSpy changed(box_.get(), &QLineEdit::textChanged);
  box_->SetBytes(stored);
  EXPECT_EQ(changed.count(), 1);  // program changes are announced too
  EXPECT_EQ(box_->text(), QStringLiteral(u"山\uFFFD"));
  EXPECT_EQ(box_->Bytes(), stored);
  // Once the user edits, the text is what counts; the broken part becomes '?'.
  box_->end(false);
  Type(QStringLiteral("x"));
  EXPECT_EQ(box_->Bytes(), "\x8E\x52?x");
}

TEST_F(ByteLineEditTest, ProgramTextIsNotCutButCannotGrowAndCanBeShortened) {
  box_->SetMaxBytes(4);
  box_->SetBytes("123456");
  EXPECT_EQ(box_->text(), QStringLiteral("123456"));
  box_->end(false);
  QTest::keyClicks(box_.get(), "7");
  EXPECT_EQ(box_->text(), QStringLiteral("123456"));
  QTest::keyClick(box_.get(), Qt::Key_Backspace);
  EXPECT_EQ(box_->text(), QStringLiteral("12345"));
  // Narrowing the limit leaves the text as it is.
  box_->SetMaxBytes(2);
  EXPECT_EQ(box_->text(), QStringLiteral("12345"));
}

TEST_F(ByteLineEditTest, EnterStillReachesTheDialog) {
  // A validator that called the text unfinished would swallow returnPressed.
  box_->SetMaxBytes(4);
  QSignalSpy pressed(box_.get(), &QLineEdit::returnPressed);
  QTest::keyClicks(box_.get(), "12");
  QTest::keyClick(box_.get(), Qt::Key_Return);
  EXPECT_EQ(pressed.count(), 1);
}

TEST_F(ByteLineEditTest, ImeOffStaysOffThroughReadOnlyChanges) {
  box_->SetImeEnabled(false);
  EXPECT_FALSE(box_->testAttribute(Qt::WA_InputMethodEnabled));
  EXPECT_TRUE(box_->inputMethodHints() & Qt::ImhLatinOnly);
  EXPECT_FALSE(box_->inputMethodQuery(Qt::ImEnabled).toBool());
  box_->setReadOnly(true);
  box_->setReadOnly(false);
  EXPECT_FALSE(box_->testAttribute(Qt::WA_InputMethodEnabled));
  box_->SetImeEnabled(true);
  EXPECT_TRUE(box_->testAttribute(Qt::WA_InputMethodEnabled));
  EXPECT_FALSE(box_->inputMethodHints() & Qt::ImhLatinOnly);
}

TEST_F(ByteLineEditTest, FileNameBoxesCountFileNameBytes) {
  ByteLineEdit path(nullptr, TextBytes::FileName);
  path.SetMaxBytes(6);
  QTest::sendKeyEvent(QTest::KeyAction::Click, &path, Qt::Key_unknown, QStringLiteral(u"é"), Qt::NoModifier);
  QGuiApplication::clipboard()->setText(QStringLiteral(u"/tmp/x"));
  QTest::keyClick(&path, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(path.text(), QStringLiteral(u"é/tmp"));  // é takes two bytes in UTF-8
  EXPECT_EQ(path.Bytes(), "\xC3\xA9/tmp");
}

}  // namespace
}  // namespace luckyscope

// The easy check, driven at the keyboard like a user working through a stack of
// postcards: typed keys into the focused box, verdicts, colours, cues and the log.

#include "checks/esy_check_dlg.h"

#include <QCheckBox>
#include <QClipboard>
#include <QTimer>

#include "checks/easy_check.h"
#include "tests/checks/check_test_support.h"
#include "tests/support/scripted_ui_services.h"
#include "tests/support/store_builders.h"
#include "ui/byte_line_edit.h"

namespace luckyscope {
namespace {

using namespace luckyscope::testing;

class EsyCheckTest : public ::testing::Test {
 protected:
  EsyCheckTest() { core_.InitBaseFolder(base_.c_str()); }

  // The settings the dialog reads; the cues are 16-byte WAVE headers, enough to be
  // recognised and opened on the recording sound output.
  void Set(int enterGroup, int lastTwoFirst, int autoRun, const char* logFile = "", bool sounds = false) {
    SystemSettings s{};
    s.enterGroup = enterGroup;
    s.lastTwoFirst = lastTwoFirst;
    s.autoRunSixDigits = autoRun;
    std::strncpy(s.logFile, logFile, kPathSize - 1);
    if (sounds) {
      for (const std::string* wav : {&hitWav_, &missWav_}) {
        std::ofstream(*wav, std::ios::binary) << std::string("RIFF\0\0\0\0WAVEfmt ", 16);
      }
      std::strncpy(s.hitSoundFile, hitWav_.c_str(), kPathSize - 1);
      std::strncpy(s.missSoundFile, missWav_.c_str(), kPathSize - 1);
    }
    core_.SetSettings(s);
  }

  ByteLineEdit* Box(const char* name) { return dlg_.findChild<ByteLineEdit*>(name); }
  QString Result() { return Box("Memo3")->text(); }
  QColor ResultColour() { return Box("Memo3")->palette().color(QPalette::Base); }
  QColor WindowColour() { return QApplication::palette(Box("Memo3")).color(QPalette::Base); }
  QCheckBox* CheckBox() { return dlg_.findChild<QCheckBox*>("CheckBox1"); }

  std::vector<std::string> CuesOpened() {
    std::vector<std::string> paths;
    for (const auto& call : ui_.Recorder().Calls()) {
      if (call.kind == RecordingSoundBackend::Call::OpenByType) paths.push_back(call.path);
    }
    return paths;
  }

  // The log's lines without their CR LF.
  std::vector<std::string> LogLines(const char* name) {
    std::vector<std::string> lines;
    std::string text = ReadFile(base_ + "/" + name);
    for (std::size_t at; (at = text.find("\r\n")) != std::string::npos; text.erase(0, at + 2)) {
      lines.push_back(text.substr(0, at));
    }
    EXPECT_EQ(text, "") << "every line ends in CR LF";
    return lines;
  }

  QApplication& app_ = TestApplication();  // before any widget
  QTemporaryDir dir_;
  std::string base_ = dir_.path().toStdString();
  std::string hitWav_ = base_ + "/hit.wav";
  std::string missWav_ = base_ + "/miss.wav";
  DataCore core_;
  ScriptedUiServices ui_;
  SoundCueState cue_;
  TEsyCheckDlg dlg_{core_, ui_, cue_};
};

TEST_F(EsyCheckTest, PlainModeWorksThroughTicketsWithEnterAndSpace) {
  AppendEntry(core_.Store(), Entry(Cp("1等"), {{"*", "123456"}}));
  AppendEntry(core_.Store(), Entry(Cp("2等"), {{"12", "654321"}}));
  Set(0, 0, 0, "", true);
  ShowActive(dlg_);
  EXPECT_EQ(Box("Memo1")->text(), "*");
  EXPECT_EQ(FocusName(), "Memo2");

  Type("123456");
  Press(Qt::Key_Return);
  EXPECT_EQ(FocusName(), "OKBtn") << "Enter in the number box moves to 実行";
  EXPECT_EQ(Result(), "");
  Press(Qt::Key_Return);
  EXPECT_EQ(Result(), "* 123456 当たり！ 1等");
  EXPECT_EQ(ResultColour(), QColor(Qt::red));
  EXPECT_EQ(Box("Memo2")->text(), "");
  EXPECT_EQ(FocusName(), "Memo2");

  // The group "*" never matches the pair with group 12; spaces around are trimmed.
  Type(" 654321 ");
  Press(Qt::Key_Return);
  Type(" ");  // Space presses the focused 実行 too
  EXPECT_EQ(Result(), "* 654321 はずれ！");
  EXPECT_EQ(ResultColour(), WindowColour());
  EXPECT_EQ(CuesOpened(), (std::vector<std::string>{hitWav_, missWav_}));
  EXPECT_EQ(ui_.Recorder().OpenDevices().size(), 1u) << "the hit cue was closed before the miss cue";
}

TEST_F(EsyCheckTest, GroupModeStartsEachTicketInTheGroupBox) {
  AppendEntry(core_.Store(), Entry(Cp("2等"), {{"12", "654321"}}));
  Set(1, 0, 0, "group.log");
  ShowActive(dlg_);
  EXPECT_EQ(FocusName(), "Memo1");
  EXPECT_EQ(Box("Memo1")->text(), "");
  Type("12");
  Press(Qt::Key_Return);
  Type("654321");
  Press(Qt::Key_Return);
  Press(Qt::Key_Return);
  EXPECT_EQ(Result(), "12 654321 当たり！ 2等");
  EXPECT_EQ(FocusName(), "Memo1");
  EXPECT_EQ(LogLines("group.log"), std::vector<std::string>{Cp("\"No.00001\",\"12\",\"654321\",\"2等\"")});
}

TEST_F(EsyCheckTest, SixDigitsRunTheCheckExactlyOnce) {
  AppendEntry(core_.Store(), Entry(Cp("1等"), {{"*", "*3456"}}));
  Set(0, 0, 1, "six.log");
  ShowActive(dlg_);
  EXPECT_TRUE(CheckBox()->isChecked());
  Type("12345");
  EXPECT_EQ(Result(), "") << "nothing before the sixth digit";
  Type("6");
  EXPECT_EQ(Result(), "* 123456 当たり！ 1等");
  Type("65432");
  Press(Qt::Key_Return);  // while checked, Enter runs the check at once
  EXPECT_EQ(Result(), "* 65432 はずれ！");
  EXPECT_EQ(LogLines("six.log").size(), 2u);

  // Unchecking (Enter on the box) empties the number and lifts the limit to 15 bytes.
  Type("12");
  CheckBox()->setFocus();
  Press(Qt::Key_Return);
  EXPECT_FALSE(CheckBox()->isChecked());
  EXPECT_EQ(Box("Memo2")->text(), "");
  Box("Memo2")->setFocus();
  Type("1234567");
  EXPECT_EQ(LogLines("six.log").size(), 2u);
  dlg_.hide();
  ShowActive(dlg_);
  EXPECT_TRUE(CheckBox()->isChecked()) << "each showing starts from the setting";
}

TEST_F(EsyCheckTest, LastTwoDigitsFirst) {
  AppendEntry(core_.Store(), Entry(Cp("1等"), {{"*", "*12"}}));
  AppendEntry(core_.Store(), Entry(Cp("2等"), {{"*", "*3456"}}));
  Set(0, 1, 1, "two.log", true);
  ShowActive(dlg_);
  EXPECT_EQ(FocusName(), "Memo4");
  Type("12");  // only *12 ends in 12: decided at once
  EXPECT_EQ(Result(), "* 12 当たり！ 1等");
  EXPECT_EQ(ResultColour(), QColor(Qt::red));
  EXPECT_EQ(FocusName(), "Memo4");
  Press(Qt::Key_Return);  // Enter in the empty box runs the step with an empty text
  EXPECT_EQ(Result(), "*  はずれ！");
  ASSERT_EQ(cue_.state, kSoundCueOpen);

  Type("56");  // *3456 needs the upper digits
  EXPECT_EQ(Result(), "* 56 当たりかも？(上4桁入力)");
  EXPECT_EQ(ResultColour(), QColor(Qt::yellow));
  EXPECT_EQ(cue_.state, kSoundCueIdle) << "a maybe stops the cue and plays none";
  EXPECT_EQ(Box("Memo2")->text(), "56");
  EXPECT_EQ(Box("Memo2")->cursorPosition(), 0);
  EXPECT_EQ(FocusName(), "Memo2");
  Type("1234");  // typed in front; the sixth digit runs the full check
  EXPECT_EQ(Result(), "* 123456 当たり！ 2等");
  EXPECT_EQ(FocusName(), "Memo4");
  EXPECT_EQ(LogLines("two.log").size(), 1u) << "only the full check logs";

  AppendEntry(core_.Store(), Entry(Cp("3等"), {{"*", "*9912"}}));
  Type("12");  // *12 and *9912 both end in 12
  EXPECT_EQ(Result(), "* 12 当たりかも？(上4桁入力)");
}

// Enter in the number box leaves the focus on "実行"; a user who types the next number
// straight away has the pending one judged first, and keeps every digit.
TEST_F(EsyCheckTest, ADigitTypedOnTheRunButtonJudgesThePendingNumberFirst) {
  AppendEntry(core_.Store(), Entry(Cp("1等"), {{"*", "123456"}}));
  AppendEntry(core_.Store(), Entry(Cp("2等"), {{"12", "*"}}));
  struct Case {
    int enterGroup;
    const char* keys;  // up to "実行", which then gets the rest
    const char* next;
    const char* verdict;
    const char* nextBox;
  };
  const Case cases[] = {
      {0, "123456\r", "654321", "* 123456 当たり！ 1等", "Memo2"},
      {1, "12\r1\r", "3", "12 1 当たり！ 2等", "Memo1"},  // the group box starts the next ticket
      {0, "1\r", "a", "", "OKBtn"},                       // a letter is no number
  };
  for (const Case& c : cases) {
    Set(c.enterGroup, 0, 0);
    dlg_.hide();
    ShowActive(dlg_);
    Type(c.keys);
    ASSERT_EQ(FocusName(), "OKBtn");
    Type(c.next);
    EXPECT_EQ(Result(), c.verdict);
    EXPECT_EQ(FocusName(), c.nextBox);
    if (c.verdict[0] != '\0') {
      EXPECT_EQ(Box(c.nextBox)->text(), c.next);
    }
  }
}

// Enter in an empty number box hands the focus to "実行"; the digit typed next starts
// the number instead of judging an empty one. Winning numbers held in full-width
// digits hit the half-width digits typed.
TEST_F(EsyCheckTest, NothingPendingIsNotJudgedAndFullWidthWinningNumbersHit) {
  AppendEntry(core_.Store(), Entry(Cp("1等"), {{"*", Cp("１２３４５６")}}));
  AppendEntry(core_.Store(), Entry(Cp("2等"), {{Cp("０７"), Cp("＊９")}}));
  struct Case {
    int enterGroup;
    const char* keys;
    const char* verdict;
    std::vector<std::string> log;
  };
  const Case cases[] = {
      {0, "\r1", "", {}},  // nothing judged; "1" waits in the number box
      {0, "\r123456\r ", "* 123456 当たり！ 1等", {Cp("\"No.00001\",\"\",\"123456\",\"1等\"")}},
      {1, "07\r\r59\r ", "07 59 当たり！ 2等", {Cp("\"No.00002\",\"07\",\"59\",\"2等\"")}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> lines;
    dlg_.SetLogWriter([&](const char*, std::string_view line) {
      lines.emplace_back(line.substr(0, line.size() - 2));
      return kLogAppended;
    });
    Set(c.enterGroup, 0, 0, "pending.log", true);
    dlg_.hide();
    ShowActive(dlg_);
    Type(c.keys);
    EXPECT_EQ(Result(), c.verdict) << c.keys;
    EXPECT_EQ(lines, c.log) << c.keys;
    EXPECT_EQ(CuesOpened().size(), c.log.size()) << "no cue for a check not made";
    if (c.log.empty()) {
      EXPECT_EQ(FocusName(), "Memo2");
      EXPECT_EQ(Box("Memo2")->text(), "1");
    }
    ui_.Recorder().ClearCalls();
  }
}

// Full-width digits and asterisks, typed or pasted, arrive as half-width ones, so that
// they match and the six-digit run counts them as six.
TEST_F(EsyCheckTest, FullWidthDigitsAndAsteriskArriveHalfWidth) {
  AppendEntry(core_.Store(), Entry(Cp("1等"), {{"07", "123456"}}));
  Set(1, 0, 1);
  ShowActive(dlg_);
  QGuiApplication::clipboard()->setText(QStringLiteral(u"＊"));
  QTest::keyClick(Box("Memo1"), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Box("Memo1")->text(), "*");
  Box("Memo1")->SetText(QString());
  for (const QChar ch : QStringLiteral(u"０７\r１２３４５６")) {
    QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), ch == u'\r' ? Qt::Key_Return : Qt::Key_unknown,
                        QString(ch), Qt::NoModifier);
  }
  EXPECT_EQ(Result(), "07 123456 当たり！ 1等");
}

// Under a dark colour scheme the verdict colours bring their own text colour, and the
// miss goes back to the scheme's own pair.
TEST_F(EsyCheckTest, VerdictTextStaysReadableUnderADarkPalette) {
  const QPalette light = QApplication::palette();
  QPalette dark = light;
  dark.setColor(QPalette::Base, QColor(30, 30, 30));
  dark.setColor(QPalette::Text, QColor(230, 230, 230));
  QApplication::setPalette(dark);
  AppendEntry(core_.Store(), Entry(Cp("1等"), {{"*", "*12"}}));
  AppendEntry(core_.Store(), Entry(Cp("2等"), {{"*", "*3412"}}));
  Set(0, 1, 1);
  ShowActive(dlg_);
  const std::pair<const char*, std::pair<QColor, QColor>> steps[] = {
      {"12", {Qt::yellow, Qt::black}},                      // maybe
      {"0034", {Qt::red, Qt::black}},                       // hit
      {"56", {QColor(30, 30, 30), QColor(230, 230, 230)}},  // miss
  };
  for (const auto& [digits, colours] : steps) {
    Type(digits);
    const QPalette shown = Box("Memo3")->palette();
    EXPECT_EQ(shown.color(QPalette::Base), colours.first) << Result().toStdString();
    EXPECT_EQ(shown.color(QPalette::Text), colours.second) << Result().toStdString();
  }
  QApplication::setPalette(light);
}

TEST_F(EsyCheckTest, TitlesShareAndTheLogLines) {
  const std::string longTitle(200, 'A');
  AppendEntry(core_.Store(), Entry(longTitle, {{"*", "111111"}, {"*", "11111*"}}));
  AppendEntry(core_.Store(), Entry(Cp("1等"), {{"*", "123456"}, {"*", "*9"}}));
  AppendEntry(core_.Store(), Entry(Cp("2等"), {{"*", "*9"}}));
  AppendEntry(core_.Store(), Entry(Cp("3等"), {{"*", "*99"}}));
  std::ofstream(base_ + "/check.log", std::ios::binary) << "kept\r\n";
  Set(0, 0, 0, "check.log");
  ShowActive(dlg_);
  EXPECT_EQ(dlg_.LogPath(), base_ + "/check.log") << "a bare name lives in the base folder";
  for (const char* number : {"111111", "555555", "123456", "999"}) {
    Type(number);
    dlg_.OKBtnClick();
  }
  EXPECT_EQ(LogLines("check.log"),
            (std::vector<std::string>{
                "kept",  // appended to, never truncated
                // Two pairs of one entry: its title once, cut to 256/2-2 = 126 bytes.
                "\"No.00001\",\"\",\"111111\",\"" + longTitle.substr(0, 126) + "\"",
                Cp("\"No.00002\",\"\",\"555555\",\"×\""),
                Cp("\"No.00003\",\"\",\"123456\",\"1等\""),
                Cp("\"No.00004\",\"\",\"999\",\"1等 2等 3等\""),
            }));
  dlg_.hide();
  ShowActive(dlg_);
  EXPECT_EQ(dlg_.LogCounter(), 4) << "numbering goes on across showings";
  dlg_.hide();
  Set(0, 0, 0, "");
  ShowActive(dlg_);
  EXPECT_EQ(dlg_.LogCounter(), 0) << "and restarts while no log is set";
}

TEST_F(EsyCheckTest, LogCounterWrapsAfterTenThousand) {
  AppendEntry(core_.Store(), Entry(Cp("1等"), {{"*", "1"}}));
  Set(0, 0, 0, "wrap.log");
  std::vector<std::string> numbers;
  dlg_.SetLogWriter([&](const char*, std::string_view line) {
    numbers.emplace_back(line.substr(1, 8));
    return kLogAppended;
  });
  ShowActive(dlg_);
  for (int i = 0; i <= kMaxLogNumber; ++i) dlg_.OKBtnClick();
  ASSERT_EQ(numbers.size(), 10001u);
  EXPECT_EQ(numbers[9999], "No.10000");
  EXPECT_EQ(numbers[10000], "No.00001");
}

TEST_F(EsyCheckTest, LogFailures) {
  AppendEntry(core_.Store(), Entry(Cp("1等"), {{"*", "123456"}}));
  Set(0, 0, 0, "/nonexistent-folder/check.log");
  ShowActive(dlg_);
  Type("123456");
  dlg_.OKBtnClick();
  EXPECT_EQ(dlg_.LogCounter(), 1) << "a log that cannot be opened is skipped silently, the count goes on";

  dlg_.SetLogWriter([](const char*, std::string_view) { return kLogWriteFailed; });
  ui_.ExpectMessage("ログファイルの書き込みに失敗しました。", "ヒットメモ");
  Type("123456");
  dlg_.OKBtnClick();
  ASSERT_EQ(ui_.Messages().size(), 1u);
  EXPECT_EQ(ui_.Messages()[0].icon, MessageIcon::Exclamation);
  EXPECT_EQ(Result(), "* 123456 当たり！ 1等") << "the verdict and the reset happen all the same";
  EXPECT_EQ(Box("Memo2")->text(), "");
}

TEST_F(EsyCheckTest, NoWinningDataAsksForItAndChangesNothing) {
  Set(0, 1, 0);
  ShowActive(dlg_);
  ui_.ExpectMessage("当選番号データを入力してください。", "ヒットメモ");
  Press(Qt::Key_Return);  // the two-digit step
  Box("Memo2")->setFocus();
  Type("123");
  ui_.ExpectMessage("当選番号データを入力してください。", "ヒットメモ");
  dlg_.OKBtnClick();
  EXPECT_EQ(Box("Memo2")->text(), "123");
  EXPECT_EQ(Result(), "");
}

TEST_F(EsyCheckTest, EscStopsTheCueAndTheCloseBoxDoesNot) {
  AppendEntry(core_.Store(), Entry(Cp("1等"), {{"*", "123456"}}));
  Set(0, 0, 1, "", true);
  QTimer::singleShot(0, [&] {
    QApplication::setActiveWindow(&dlg_);
    Type("123456");
    EXPECT_EQ(cue_.state, kSoundCueOpen);
    Press(Qt::Key_Escape);
  });
  EXPECT_EQ(dlg_.exec(), QDialog::Rejected);
  EXPECT_EQ(cue_.state, kSoundCueIdle);

  ShowActive(dlg_);
  EXPECT_EQ(Result(), "") << "activation empties the result and its colour";
  EXPECT_EQ(ResultColour(), WindowColour());
  Type("123456");
  dlg_.close();
  EXPECT_EQ(cue_.state, kSoundCueOpen);
}

}  // namespace
}  // namespace luckyscope

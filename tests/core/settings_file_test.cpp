// The settings record, the base folder and the settings file luckyscope.dat.

#include "core/settings_file.h"

#include <cstring>
#include <string>
#include <unistd.h>

#include "tests/support/file_test_util.h"

namespace luckyscope::testing {
namespace {

using Settings = CoreInFolder;

SystemSettings Current(const DataCore& core) {
  SystemSettings s;
  core.GetSettings(s);
  return s;
}

TEST_F(Settings, FirstStartUsesDefaultsAndWritesEightLines) {
  EXPECT_EQ(core->LoadSettingsFile(), -1);
  SystemSettings s = Current(*core);
  EXPECT_EQ(std::string(s.startupFile) + s.logFile + s.hitSoundFile + s.missSoundFile, "");
  EXPECT_EQ(s.saveResults | s.autoRunSixDigits | s.enterGroup | s.lastTwoFirst, 0);
  ASSERT_EQ(core->SaveSettingsFile(), 0);
  EXPECT_EQ(GetFile(In("luckyscope.dat")), "[SYSTDATA]\r\n\r\n0\r\n\r\n0\r\n[SYSTDATA2]\r\n0\r\n0\r\n");
  EXPECT_EQ(core->LoadSettingsFile(), 0);
}

TEST_F(Settings, RoundTripMakesPathsInTheBaseFolderRelative) {
  SystemSettings s{};
  std::snprintf(s.startupFile, sizeof s.startupFile, "%s/sub/a.ban", dir.c_str());
  std::snprintf(s.logFile, sizeof s.logFile, "%s\\check.log", dir.c_str());
  std::snprintf(s.missSoundFile, sizeof s.missSoundFile, "%s/miss.wav", dir.c_str());
  s.saveResults = 1;
  s.lastTwoFirst = 1;
  core->SetSettings(s);
  ASSERT_EQ(core->SaveSettingsFile(), 0);
  EXPECT_EQ(GetFile(In("luckyscope.dat")), "[SYSTDATA]\r\nsub/a.ban\r\n1\r\ncheck.log\r\n0\r\n[SNDFILE]\r\n\r\n" + dir +
                                               "/miss.wav\r\n[SYSTDATA2]\r\n0\r\n1\r\n");
  core->ResetSettings();
  ASSERT_EQ(core->LoadSettingsFile(), 0);
  SystemSettings back = Current(*core);
  EXPECT_STREQ(back.startupFile, "sub/a.ban");
  EXPECT_STREQ(back.logFile, "check.log");
  EXPECT_STREQ(back.hitSoundFile, "");
  EXPECT_STREQ(back.missSoundFile, s.missSoundFile);
  EXPECT_EQ(back.saveResults, 1);
  EXPECT_EQ(back.lastTwoFirst, 1);

  // Only whole folder names count.
  EXPECT_STREQ(PathRelativeToBase("/work/a.ban", "/work"), "a.ban");
  EXPECT_STREQ(PathRelativeToBase("/workshop/a.ban", "/work"), "/workshop/a.ban");
  EXPECT_STREQ(PathRelativeToBase("/work", "/work"), "/work");
  EXPECT_STREQ(PathRelativeToBase("/a.ban", ""), "a.ban");
  EXPECT_STREQ(PathRelativeToBase("\\a.ban", ""), "a.ban");
}

TEST_F(Settings, StartupFileInTheBaseFolderLoadsAgainAtTheNextStart) {
  PutFile(In("mine.dat"), "a,b,c\r\n");
  SystemSettings s{};
  std::snprintf(s.startupFile, sizeof s.startupFile, "%s/mine.dat", dir.c_str());
  core->SetSettings(s);
  ASSERT_EQ(core->SaveSettingsFile(), 0);

  DataCore next(&notifier);  // a later start, from another current directory
  ASSERT_EQ(next.InitBaseFolder(dir.c_str()), 0);
  next.ResetAll();
  ASSERT_EQ(next.LoadSettingsFile(), 0);
  next.GetSettings(s);
  EXPECT_STREQ(s.startupFile, "mine.dat");
  next.OpenDataFile(s.startupFile);
  EXPECT_EQ(next.Store().TargetCount(), 1);
  EXPECT_TRUE(notifier.messages.empty());
}

// A doubled separator after the base folder ("/base//a.dat", as a typed or joined path
// may have it) still makes a name relative to the folder, never the absolute "/a.dat".
TEST_F(Settings, DoubledSeparatorsAfterTheBaseFolderStillMakeARelativeName) {
  const struct {
    const char* path;
    const char* base;
    const char* saved;
  } cases[] = {
      {"/work//a.ban", "/work", "a.ban"},          {"/work/\\a.ban", "/work", "a.ban"},
      {"/work///sub/a.ban", "/work", "sub/a.ban"}, {"//a.ban", "", "a.ban"},
      {"/work\\\\a.ban", "/work", "a.ban"},        {"/workshop//a.ban", "/work", "/workshop//a.ban"},
  };
  for (const auto& c : cases) EXPECT_STREQ(PathRelativeToBase(c.path, c.base), c.saved) << c.path;

  PutFile(In("mine.dat"), "a,b,c\r\n");
  SystemSettings s{};
  std::snprintf(s.startupFile, sizeof s.startupFile, "%s//mine.dat", dir.c_str());
  std::snprintf(s.logFile, sizeof s.logFile, "%s//check.log", dir.c_str());
  core->SetSettings(s);
  ASSERT_EQ(core->SaveSettingsFile(), 0);
  EXPECT_EQ(GetFile(In("luckyscope.dat")),
            "[SYSTDATA]\r\nmine.dat\r\n0\r\ncheck.log\r\n0\r\n[SYSTDATA2]\r\n0\r\n0\r\n");
  DataCore next(&notifier);  // the next start
  ASSERT_EQ(next.InitBaseFolder(dir.c_str()), 0);
  next.ResetAll();
  ASSERT_EQ(next.LoadSettingsFile(), 0);
  next.GetSettings(s);
  EXPECT_EQ(next.OpenDataFile(s.startupFile), kFileDone);
  EXPECT_EQ(next.Store().TargetCount(), 1);
}

TEST_F(Settings, PathsWrittenOnWindowsUseSlashesUnlessTheyNameAFile) {
  PutFile(In("odd\\name.log"), "");  // a Linux file name holding a '\'
  PutFile(In("luckyscope.dat"),
          "[SYSTDATA]\r\nsub\\a.ban\r\n0\r\nodd\\name.log\r\n0\r\n[SNDFILE]\r\n\\snd\\hit.wav\r\nmiss.wav\r\n");
  ASSERT_EQ(core->LoadSettingsFile(), 0);
  const SystemSettings s = Current(*core);
  const struct {
    const char* field;
    const char* expected;
  } cases[] = {
      {s.startupFile, "sub/a.ban"},
      {s.logFile, "odd\\name.log"},
      {s.hitSoundFile, "/snd/hit.wav"},
      {s.missSoundFile, "miss.wav"},
  };
  for (const auto& c : cases) EXPECT_STREQ(c.field, c.expected);
}

TEST_F(Settings, DamagedShortAndRepeatedSectionsReadLineByLine) {
  SystemSettings before{};
  before.enterGroup = 1;
  core->SetSettings(before);
  PutFile(In("luckyscope.dat"),
          "junk\r\n[systdata]\r\nx\r\n"                // letter case matters
          "[SYSTDATA]\r\nfirst.dat\r\n1\r\n\r\n1\r\n"  // replaced by the repeat
          "[SYSTDATA]\r\n" +
              std::string(600, 'p') +
              "\r\n2\r\nlog.txt\r\n \t1\r\n"
              "[SNDFILE]\r\nhit.wav\r\n[SYSTDATA2]\r\n1\r\n1\n");
  ASSERT_EQ(core->LoadSettingsFile(), 0);
  SystemSettings s = Current(*core);
  EXPECT_STREQ(s.startupFile, "");  // 600 bytes do not fit
  EXPECT_EQ(s.saveResults, 0);      // 2 is no flag
  EXPECT_STREQ(s.logFile, "log.txt");
  EXPECT_EQ(s.autoRunSixDigits, 1);  // blanks before the digit
  EXPECT_STREQ(s.hitSoundFile, "hit.wav");
  EXPECT_STREQ(s.missSoundFile, "[SYSTDATA2]");  // section cut short
  EXPECT_EQ(s.enterGroup, 1);                    // never read: kept
  EXPECT_EQ(s.lastTwoFirst, 0);

  // Lines missing at the end of the file give empty texts and zeros.
  PutFile(In("luckyscope.dat"), "[SYSTDATA]\r\nonly.dat");
  ASSERT_EQ(core->LoadSettingsFile(), 0);
  s = Current(*core);
  EXPECT_STREQ(s.startupFile, "only.dat");
  EXPECT_STREQ(s.logFile, "");
  EXPECT_EQ(s.saveResults + s.autoRunSixDigits, 0);
}

TEST_F(Settings, BaseFolderAndHelpPath) {
  char help[kPathSize];
  ASSERT_EQ(core->HelpFilePath(help), 0);
  EXPECT_EQ(std::string(help), In("luckyscope.chm"));
  EXPECT_STREQ(core->HelpPath(), help);

  ASSERT_EQ(core->InitBaseFolder("/"), 0);
  EXPECT_STREQ(core->BaseFolder(), "");
  ASSERT_EQ(core->HelpFilePath(help), 0);
  EXPECT_STREQ(help, "/luckyscope.chm");
  ASSERT_EQ(core->InitBaseFolder("/srv/data//"), 0);
  EXPECT_STREQ(core->BaseFolder(), "/srv/data");

  std::string deep = "/" + std::string(500, 'd');
  ASSERT_EQ(core->InitBaseFolder(deep.c_str()), 0);
  EXPECT_EQ(core->HelpFilePath(help), -1);  // a cut path would name another file
  EXPECT_STREQ(help, "");
  EXPECT_EQ(core->InitBaseFolder(std::string(512, 'x').c_str()), -1);
  EXPECT_STREQ(core->BaseFolder(), deep.c_str());

  char cwd[kPathSize];
  ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(core->InitBaseFolder(), 0);
  EXPECT_STREQ(core->BaseFolder(), cwd);
}

TEST_F(Settings, SetSettingsKeepsTextsTerminated) {
  SystemSettings s;
  std::memset(&s, 'x', sizeof s);  // no terminator anywhere
  core->SetSettings(s);
  SystemSettings back = Current(*core);
  EXPECT_EQ(std::strlen(back.startupFile), 511u);
  EXPECT_EQ(std::strlen(back.missSoundFile), 511u);
}

}  // namespace
}  // namespace luckyscope::testing

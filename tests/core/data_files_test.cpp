// Loading and saving the search-target, winning-number and csv files.

#include "core/data_files.h"

#include <climits>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "core/text_util.h"
#include "tests/support/file_test_util.h"

namespace luckyscope::testing {
namespace {

using DataFiles = CoreInFolder;

std::string Field(const char* text) { return text; }

TEST(CsvTokens, NextCsvFieldHandlesQuotesSeparatorsAndEnds) {
  auto fields = [](std::string line) {
    std::vector<std::string> out;
    CsvFieldState st;
    for (char* f = NextCsvField(line.data(), ',', st); f; f = NextCsvField(nullptr, ',', st)) {
      out.push_back(f);
    }
    return out;
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(fields("\"Sato, Jiro\",\"A\",\"123\""), (V{"Sato, Jiro", "A", "123"}));
  EXPECT_EQ(fields("a\"\"b,c"), (V{"a\"\"b", "c"}));  // doubled quotes stay
  EXPECT_EQ(fields("a,,b"), (V{"a", "", "b"}));
  EXPECT_EQ(fields("a,"), (V{"a", ""}));
  EXPECT_EQ(fields(""), (V{""}));
  EXPECT_EQ(fields("\"open,end"), (V{"open,end"}));
  EXPECT_EQ(fields("\""), (V{""}));
  CsvFieldState fresh;
  EXPECT_EQ(NextCsvField(nullptr, ',', fresh), nullptr);
}

TEST(PathText, DirectoryPartAcceptsBothSeparators) {
  char out[kPathSize];
  auto dirOf = [&](const char* p) {
    DirectoryPart(p, out);
    return std::string(out);
  };
  EXPECT_EQ(dirOf("/home/u/a.dat"), "/home/u");
  EXPECT_EQ(dirOf("C:\\work\\a.dat"), "C:\\work");
  EXPECT_EQ(dirOf("a\\b/c.dat"), "a\\b");
  EXPECT_EQ(dirOf("a/b\\c.dat"), "a/b");
  EXPECT_EQ(dirOf("a.dat"), "");
  EXPECT_EQ(dirOf("/a.dat"), "");
  EXPECT_EQ(dirOf(""), "");
  std::string longPath = std::string(300, 'a') + "/" + std::string(299, 'b') + "/c";
  EXPECT_EQ(dirOf(longPath.c_str()), std::string(300, 'a'));  // looked at over 511 bytes
}

TEST_F(DataFiles, ClassifiesByExtensionAndCsvFirstLine) {
  EXPECT_EQ(core->ClassifyDataFile(""), kEmptyPath);
  EXPECT_EQ(core->ClassifyDataFile("x/A.DAT"), kTargetFile);
  EXPECT_EQ(core->ClassifyDataFile("x.Ban"), kWinningFile);
  EXPECT_EQ(core->ClassifyDataFile("x.txt"), kUnusableFile);
  EXPECT_EQ(core->ClassifyDataFile("dat"), kUnusableFile);
  struct {
    const char* first;
    int kind;
  } cases[] = {
      {"#DAT\r\n\"a\",\"b\",\"c\",\"d\"\r\n", kTargetFile},
      {"#BAN\r\nT,1,2,3\r\n", kWinningFile},
      {"\"a,x\",b\r\n", kTargetFile},  // commas inside quotes count too
      {"T,3\n", kWinningFile},
      {"a,b,c,d\r\n", kUnusableFile},
      {"#DAT \r\n", kUnusableFile},
      {"", kUnusableFile},
  };
  for (const auto& c : cases) {
    PutFile(In("k.CSV"), c.first);
    EXPECT_EQ(core->ClassifyDataFile(In("k.CSV").c_str()), c.kind) << c.first;
  }
  EXPECT_EQ(core->ClassifyDataFile(In("missing.csv").c_str()), kUnusableFile);
  ASSERT_EQ(::mkdir(In("folder.csv").c_str(), 0755), 0);
  EXPECT_EQ(core->ClassifyDataFile(In("folder.csv").c_str()), kUnusableFile);
}

TEST_F(DataFiles, TargetReaderSkipsCutsAndFillsSlotsInOrder) {
  std::string name300(300, 'n');
  PutFile(In("t.dat"),
          "# comment\r\n"
          "\r\n"
          "no comma here\r\n"
          "\"Sato, Jiro\",\"A\",\"123456\"\n"  // LF alone ends a line too
          "\"only\",\"two\"\r\n"               // no number: no target
          ",,,\r\n"                            // all fields empty
          "\"" +
              name300 +
              "\",\"0123456789abcdefXYZ\",\"1\",\"results\"\r\n"
              "\x82\xa0\x81,\xff,\x81\r\n");  // CP932 and stray bytes kept
  core->Store().SetTargetsChanged(1);
  ASSERT_EQ(core->ReadTargetFile(In("t.dat").c_str()), 0);
  const LotteryStore& s = core->Store();
  ASSERT_EQ(s.TargetCount(), 4);
  EXPECT_EQ(s.TargetsChanged(), 0);
  EXPECT_EQ(Field(Target(1).name), "Sato, Jiro");
  EXPECT_EQ(Field(Target(1).number), "123456");
  EXPECT_EQ(Field(Target(2).name), "");
  EXPECT_EQ(Field(Target(2).group), "");
  EXPECT_EQ(Field(Target(3).name), std::string(255, 'n'));
  EXPECT_EQ(Field(Target(3).group), "0123456789abcde");
  EXPECT_EQ(Field(Target(4).name), "\x82\xa0\x81");
  EXPECT_EQ(Field(Target(4).group), "\xff");
  EXPECT_EQ(Target(5).name[0], '\0');
}

TEST_F(DataFiles, LongLinesArriveIn1022BytePieces) {
  // 1017 + ",g,n" = 1021 bytes and CR LF: one piece; the next line reads normally.
  // 1100 bytes and ",g,n": the first piece has no comma, the rest is a line of its own.
  PutFile(In("long.dat"), std::string(1017, 'a') + ",g,n\r\n" + "x,y,z\r\n" + std::string(1100, 'b') + ",g,n\r\n");
  ASSERT_EQ(core->ReadTargetFile(In("long.dat").c_str()), 0);
  ASSERT_EQ(core->Store().TargetCount(), 3);
  EXPECT_EQ(Field(Target(1).name), std::string(255, 'a'));
  EXPECT_EQ(Field(Target(2).name), "x");
  EXPECT_EQ(Field(Target(3).name), std::string(1100 + 4 - 1022 - 4, 'b'));
}

TEST_F(DataFiles, TargetReaderStopsAtTenThousand) {
  std::string text;
  for (int i = 0; i < 10005; ++i) text += "n" + std::to_string(i) + ",g,1\r\n";
  PutFile(In("big.dat"), text);
  ASSERT_EQ(core->ReadTargetFile(In("big.dat").c_str()), 0);
  EXPECT_EQ(core->Store().TargetCount(), 10000);
  EXPECT_EQ(Field(Target(10000).name), "n9999");
}

TEST_F(DataFiles, WinningReaderFollowsTheCountOfEachTitleLine) {
  std::string text = "Big,40\r\n";
  for (int k = 0; k < 35; ++k) text += "g" + std::to_string(k) + ",n\r\n";  // 3 left over
  text +=
      "Zero,0\r\nNeg,-3\r\nNone\r\n"
      ",,,\r\n"                                 // no title and so no count either
      "Commented, 3\r\n#x\r\n,,A,,1\r\nB,\r\n"  // one comment, one single-token line
      "Last,2\r\n\r\nC,3\r\n";
  PutFile(In("w.ban"), text);
  AddTarget("t", "A", "1");
  core->Store().TargetSlots()[0].hit = 1;
  core->Store().TargetSlots()[0].hitMask = 5;
  core->Store().SetTargetsChanged(0);
  ASSERT_EQ(core->ReadWinningFile(In("w.ban").c_str()), 0);
  const LotteryStore& s = core->Store();
  ASSERT_EQ(s.WinningCount(), 3);
  EXPECT_EQ(Field(Entry(1).title), "Big");
  EXPECT_EQ(Entry(1).pairCount, 32);
  EXPECT_EQ(Field(Entry(1).pairs[31].group), "g31");
  EXPECT_EQ(Field(Entry(2).title), "Commented");
  ASSERT_EQ(Entry(2).pairCount, 1);
  EXPECT_EQ(Field(Entry(2).pairs[0].group), "A");
  EXPECT_EQ(Field(Entry(2).pairs[0].number), "1");
  EXPECT_EQ(Field(Entry(3).title), "Last");
  ASSERT_EQ(Entry(3).pairCount, 1);
  EXPECT_EQ(Field(Entry(3).pairs[0].group), "C");
  EXPECT_EQ(s.WinningChanged(), 0);
  EXPECT_EQ(Target(1).hit, 0);
  EXPECT_EQ(Target(1).hitMask, 0u);
  EXPECT_EQ(s.TargetsChanged(), 0);
  EXPECT_EQ(s.TargetCount(), 1);
}

TEST_F(DataFiles, WritersProduceTheFileFormatsByteForByte) {
  AddTarget("Sato", "A", "123456");
  AddTarget("\x82\xa0", "", "*");
  AddEntry("1等", {{"*", "123456"}});
  AddEntry("2等", {{"A", "*56"}, {"B", "1"}});
  ASSERT_EQ(core->WriteTargetFile(In("t.dat").c_str()), 0);
  EXPECT_EQ(GetFile(In("t.dat")), "\"Sato\",\"A\",\"123456\"\r\n\"\x82\xa0\",\"\",\"*\"\r\n");
  ASSERT_EQ(core->WriteWinningFile(In("w.ban").c_str()), 0);
  EXPECT_EQ(GetFile(In("w.ban")), "1等,1\r\n*,123456\r\n2等,2\r\nA,*56\r\nB,1\r\n");
  EXPECT_EQ(core->Store().TargetsChanged(), 0);
  EXPECT_EQ(core->Store().WinningChanged(), 0);

  // Reading back gives the same tables.
  DataCore other;
  ASSERT_EQ(other.ReadWinningFile(In("w.ban").c_str()), 0);
  ASSERT_EQ(other.ReadTargetFile(In("t.dat").c_str()), 0);
  EXPECT_EQ(std::memcmp(other.Store().WinningSlots(), core->Store().WinningSlots(), 2 * sizeof(WinningEntry)), 0);
  EXPECT_EQ(std::memcmp(other.Store().TargetSlots(), core->Store().TargetSlots(), 2 * sizeof(SearchTarget)), 0);
}

TEST_F(DataFiles, CsvFilesCarryAMarkerAndOpenAgainAsTheirKind) {
  AddTarget("Sato, Jiro", "A", "1");
  AddEntry("T", {{"A", "1"}});
  SystemSettings settings{};
  settings.saveResults = 1;
  core->SetSettings(settings);
  core->RunSearch();
  PutFile(In("t.CSV"), "#DAT\r\n");
  PutFile(In("w.csv"), "T,1\r\n");
  core->SaveDataFile(In("t.CSV").c_str());
  core->SaveDataFile(In("w.csv").c_str());
  EXPECT_EQ(GetFile(In("t.CSV")), "#DAT\r\n\"Sato, Jiro\",\"A\",\"1\",\"T\"\r\n");
  EXPECT_EQ(GetFile(In("w.csv")), "#BAN\r\nT,1\r\nA,1\r\n");
  core->ResetAll();
  core->OpenDataFile("t.CSV");  // bare names open in the base folder
  core->OpenDataFile("w.csv");
  EXPECT_TRUE(notifier.messages.empty());
  ASSERT_EQ(core->Store().TargetCount(), 1);
  EXPECT_EQ(Field(Target(1).name), "Sato, Jiro");
  EXPECT_EQ(core->Store().WinningCount(), 1);

  // A csv name that does not exist yet has no kind: refused, nothing created.
  core->SaveDataFile(In("new.csv").c_str());
  EXPECT_EQ(notifier.messages, std::vector<CoreMessage>{CoreMessage::UnusableFile});
  EXPECT_FALSE(Exists(In("new.csv")));
}

TEST_F(DataFiles, ResolveDataPathJoinsBareNamesWithTheBaseFolder) {
  char out[kPathSize];
  ASSERT_EQ(core->ResolveDataPath("a.dat", out), 0);
  EXPECT_EQ(Field(out), In("a.dat"));
  for (const char* asIs : {"sub/a.dat", "sub\\a.dat", "/a.dat", "/x/y/a.ban"}) {
    ASSERT_EQ(core->ResolveDataPath(asIs, out), 0);
    EXPECT_EQ(Field(out), asIs);
  }
  ASSERT_EQ(core->ResolveDataPath("\\a.dat", out), 0);
  EXPECT_EQ(Field(out), In("\\a.dat"));
  std::string tooLong = std::string(510 - dir.size(), 'x') + ".dat";
  EXPECT_EQ(core->ResolveDataPath(tooLong.c_str(), out), -1);
  EXPECT_EQ(Field(out), "");
  core->InitBaseFolder("/");
  EXPECT_EQ(Field(core->BaseFolder()), "");
  ASSERT_EQ(core->ResolveDataPath("a.dat", out), 0);
  EXPECT_EQ(Field(out), "/a.dat");
}

TEST_F(DataFiles, RefusalsLeaveTablesAndFilesAsTheyWere) {
  AddTarget("keep", "A", "1");
  PutFile(In("old.dat"), "old bytes");
  EXPECT_EQ(core->ReadTargetFile(In("missing.dat").c_str()), -1);
  EXPECT_EQ(core->ReadWinningFile(In("missing.ban").c_str()), -1);
  ASSERT_EQ(::mkdir(In("dir.dat").c_str(), 0755), 0);
  EXPECT_EQ(core->ReadTargetFile(In("dir.dat").c_str()), -1);
  EXPECT_EQ(core->ReadTargetFile("/dev/zero"), -1);
  ASSERT_EQ(::mkfifo(In("fifo.dat").c_str(), 0644), 0);
  EXPECT_EQ(core->ReadTargetFile(In("fifo.dat").c_str()), -1);  // and does not hang
  EXPECT_EQ(core->Store().TargetCount(), 1);

  EXPECT_EQ(core->WriteWinningFile(In("old.dat").c_str()), -3);  // empty table
  EXPECT_EQ(core->WriteTargetFile(In("dir.dat").c_str()), -1);
  EXPECT_EQ(core->WriteTargetFile(In("no/such/folder.dat").c_str()), -1);
  EXPECT_EQ(core->WriteTargetFile(In("folder/").c_str()), -1);
  EXPECT_EQ(GetFile(In("old.dat")), "old bytes");
  core->OpenDataFile(In("a.txt").c_str());
  core->OpenDataFile(In("noext").c_str());
  EXPECT_EQ(notifier.messages.size(), 2u);
  EXPECT_EQ(ListFolder(dir), (std::vector<std::string>{"dir.dat", "fifo.dat", "old.dat"}));
}

TEST_F(DataFiles, PathsBeyondTheBufferAreRefusedNotCut) {
  // Build a path of exactly 511 bytes out of folders of legal name length.
  std::string path = dir;
  while (path.size() + 1 + 200 < 511 - 10) {
    path += "/" + std::string(200, 'd');
    ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
  }
  path += "/" + std::string(511 - path.size() - 1 - 4, 'f') + ".dat";
  ASSERT_EQ(path.size(), 511u);
  AddTarget("t", "g", "1");
  ASSERT_EQ(core->WriteTargetFile(path.c_str()), 0);
  ASSERT_EQ(core->ReadTargetFile(path.c_str()), 0);
  std::string path512 = path.substr(0, path.size() - 4) + "x.dat";
  std::string path600 = path + std::string(89, 'x') + ".dat";
  for (const std::string& p : {path512, path600}) {
    EXPECT_EQ(core->ClassifyDataFile(p.c_str()), kUnusableFile);
    EXPECT_EQ(core->WriteTargetFile(p.c_str()), -1);
    EXPECT_EQ(core->ReadTargetFile(p.c_str()), -1);
    char out[kPathSize];
    EXPECT_EQ(core->ResolveDataPath(p.c_str(), out), -1);
  }
  EXPECT_EQ(core->Store().TargetCount(), 1);
}

TEST_F(DataFiles, ArbitraryBytesNeverBreakTheReaders) {
  std::mt19937 rng(12345);
  const char alphabet[] = {',', ',', '"', '\r', '\n', '\0', '#', '1', 'a', '*', '\x81', '\xfc', '\xff', ' ', '-', '9'};
  for (int round = 0; round < 60; ++round) {
    std::string bytes(static_cast<std::size_t>(rng() % 5000), '\0');
    for (char& c : bytes) {
      c = round % 2 ? static_cast<char>(rng()) : alphabet[rng() % sizeof alphabet];
    }
    for (const char* name : {"r.dat", "r.ban", "r.csv"}) {
      PutFile(In(name), bytes);
      core->OpenDataFile(name);
    }
    const LotteryStore& s = core->Store();
    ASSERT_LE(s.TargetCount(), kMaxTargets);
    for (int j = 0; j < s.WinningCount(); ++j) {
      ASSERT_GE(Entry(j + 1).pairCount, 1);
      ASSERT_LE(Entry(j + 1).pairCount, kMaxPairs);
      ASSERT_LT(std::strlen(Entry(j + 1).title), static_cast<std::size_t>(kTextSize));
    }
    for (int i = 0; i < s.TargetCount(); ++i) {
      ASSERT_LT(std::strlen(Target(i + 1).group), static_cast<std::size_t>(kFieldSize));
    }
  }
}

// Files the program's writers make, and the files other tools make of the same text,
// open without a question; only plainly foreign bytes are questioned.
TEST_F(DataFiles, OnlyPlainlyForeignBytesAreQuestioned) {
  const std::string yama = "\x8e\x52";                 // 山, cut in half at odd byte limits
  const std::string zenkaku = "\x82\x50\x82\x51\x82\x52\x82\x53\x82\x54\x82\x55\x82\x56\x82\x57";  // １…８
  std::string longName;
  while (longName.size() < 300) longName += yama;
  // Trail bytes that stand alone would be foreign: ム 0x83 0x80, □ 0x81 0xA0, ソ 0x83 0x5C.
  const std::string trails = "\x83\x80\x81\xa0\x83\x5c";
  std::string random(4096, '\0');
  std::mt19937 rng(22);
  for (char& c : random) c = static_cast<char>(rng());
  std::string utf16;
  for (int i = 0; i < 20; ++i) {
    for (char c : std::string("\"sato\",\"1\",\"123456\"\r\n")) utf16 += std::string{c, '\0'};
  }
  std::string png = "\x89PNG\r\n\x1a\n";
  png += std::string("\0\0\0\rIHDR\0\0\0\x10\0\0\0\x10\x08\x06\0\0\0", 21) + random.substr(0, 2000);
  std::string elf = std::string("\x7f" "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x02\0\x3e\0", 20) + random.substr(2000);

  struct Case {
    const char* name;
    std::function<void()> write;  // writes the file `name`
    bool questioned;
  };
  auto saveTargets = [&](const char* name, std::vector<SearchTarget> targets, int repeat = 1) {
    return [=, this] {
      core->Store().ClearTargets();
      PutFile(In(name), "#DAT\r\n");  // a new csv takes its kind from its marker
      for (int r = 0; r < repeat; ++r) {
        for (const SearchTarget& t : targets) AppendTarget(core->Store(), t);
      }
      ASSERT_EQ(core->SaveDataFile(In(name).c_str()), 0);
    };
  };
  auto saveEntry = [&](const char* name, const WinningEntry& entry) {
    return [=, this] {
      core->Store().ClearWinningEntries();
      AppendEntry(core->Store(), entry);
      PutFile(In(name), "#BAN\r\n");
      ASSERT_EQ(core->SaveDataFile(In(name).c_str()), 0);
    };
  };
  auto bytes = [&](const char* name, const std::string& content) { return [=, this] { PutFile(In(name), content); }; };
  const Case cases[] = {
      {"cut-name.dat", saveTargets("cut-name.dat", {testing::Target(longName, "1", "1"), testing::Target("sato", "2", "2")}), false},
      {"one-line.dat", saveTargets("one-line.dat", {testing::Target(longName, zenkaku, "123456")}), false},
      {"cut-group.csv", saveTargets("cut-group.csv", {testing::Target("a", zenkaku, zenkaku)}), false},
      {"ten-thousand.dat", saveTargets("ten-thousand.dat", {testing::Target(longName, zenkaku, "123456")}, kMaxTargets), false},
      {"cut-title.ban", saveEntry("cut-title.ban", testing::Entry(longName, {{zenkaku, "*" + yama}})), false},
      {"cut-title.csv", saveEntry("cut-title.csv", testing::Entry(longName, {{"1", zenkaku}})), false},
      {"extension.dat", bytes("extension.dat", "\"\x87\x40\xfa\x40\xed\x40" + trails + "\",\"1\",\"1\"\r\n"), false},
      {"kana.dat", bytes("kana.dat", "\"\xb1\xb2\xb3\xdf\",\"1\",\"1\"\r\n\"\xb6\xc5\",\"2\",\"2\"\x1a"), false},
      {"lf-only.ban", bytes("lf-only.ban", "1\x93\x99,1\n*,123456\n"), false},
      {"marker.csv", bytes("marker.csv", "#DAT\r\n" + yama + ",1,1\r\n"), false},
      {"quoting.dat", bytes("quoting.dat", "\"a\"\"b\",1,\"2\r\n\"\",\"\",\"\"\r\n\"\t\x8e\",\"\x82\",\"3\"\r\n"), false},
      {"picture.dat", bytes("picture.dat", png), true},
      {"program.ban", bytes("program.ban", elf), true},
      {"random.dat", bytes("random.dat", random), true},
      {"nul-filled.dat", bytes("nul-filled.dat", utf16), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.write();
    EXPECT_EQ(core->LooksForeign(c.name), c.questioned);
  }
}

TEST(LenientNumbers, ReadLenientIntTakesLeadingDigitsOnly) {
  EXPECT_EQ(ReadLenientInt(" \t12abc") + ReadLenientInt("+3,"), 15);
  EXPECT_EQ(ReadLenientInt("-7"), -7);
  EXPECT_EQ(ReadLenientInt("x1") | ReadLenientInt("- 1") | ReadLenientInt(nullptr), 0);
  EXPECT_EQ(ReadLenientInt("99999999999999999999"), INT_MAX);
  EXPECT_EQ(ReadLenientInt("-2147483648"), INT_MIN);
  EXPECT_EQ(ReadLenientInt("-99999999999999999999"), INT_MIN);
}

// A whole session without windows: open both files by name, search, save with results.
TEST_F(DataFiles, OpenSearchAndSaveWithResults) {
  std::string targets;
  for (int i = 0; i < 100; ++i) {
    targets += "\"card " + std::to_string(i) + "\",\"" + std::to_string(i % 3) + "\",\"" + std::to_string(123400 + i) +
               "\"\r\n";
  }
  PutFile(In("cards.dat"), targets);
  PutFile(In("prizes.ban"), "1等,1\r\n2,123456\r\n末等,2\r\n*,*7\r\n*,*77\r\n");
  SystemSettings s{};
  s.saveResults = 1;
  core->SetSettings(s);
  core->OpenDataFile("cards.dat");
  ASSERT_EQ(core->Store().TargetCount(), 100);
  core->SaveDataFile(In("plain.dat").c_str());  // no winning numbers: no results field
  EXPECT_EQ(GetFile(In("plain.dat")), targets);
  core->OpenDataFile("prizes.ban");
  ASSERT_EQ(core->Store().WinningCount(), 2);
  ASSERT_EQ(core->RunSearch(), 0);
  int hits = 0;
  for (int i = 0; i < 100; ++i) hits += Target(i + 1).hit;
  EXPECT_EQ(hits, 1 + 10);  // 123456, and the ten numbers ending in 7

  core->Store().SetTargetsChanged(1);
  core->SaveDataFile(In("results.dat").c_str());
  EXPECT_TRUE(notifier.messages.empty());
  EXPECT_EQ(core->Store().TargetsChanged(), 0);
  std::string out = GetFile(In("results.dat"));
  EXPECT_NE(out.find("\"card 56\",\"2\",\"123456\",\"1等\"\r\n"), std::string::npos);
  EXPECT_NE(out.find("\"card 77\",\"2\",\"123477\",\"末等\"\r\n"), std::string::npos);
  EXPECT_NE(out.find("\"card 0\",\"0\",\"123400\",\"\x81\x7e\"\r\n"), std::string::npos);
  EXPECT_EQ(out.substr(0, 4), "\"car");                           // a dat file gets no marker line
  ASSERT_EQ(core->ReadTargetFile(In("results.dat").c_str()), 0);  // results not read back
  EXPECT_EQ(Target(57).hit, 0);
  EXPECT_EQ(GetFile(In("plain.dat")), targets);
}

}  // namespace
}  // namespace luckyscope::testing

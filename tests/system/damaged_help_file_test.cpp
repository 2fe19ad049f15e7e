// Help files damaged where chmlib trusts them blindly (found by fuzzing: a zero chunk
// or block size that it divides by, sizes that make it allocate gigabytes, chunk
// chains that loop forever) are refused by the program's own structure check before
// chmlib reads them, while healthy help files still open. The inputs are the fuzz corpus's.

#include <chrono>
#include <string>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "ui/chm_reader.h"

#ifndef LUCKYSCOPE_CHM_CORPUS
#error "LUCKYSCOPE_CHM_CORPUS must name the folder of the help file fuzz corpus"
#endif

namespace luckyscope {
namespace {

std::string Corpus(const char* name) { return std::string(LUCKYSCOPE_CHM_CORPUS) + "/" + name; }

std::string Bytes(const std::string& path) {
  QFile file(QString::fromStdString(path));
  return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

TEST(DamagedHelpFile, HealthyFilesPassTheStructureCheck) {
  for (const char* name : {"with_topic.chm", "bare.chm"}) {
    const std::string bytes = Bytes(Corpus(name));
    ASSERT_FALSE(bytes.empty()) << name;
    EXPECT_TRUE(ChmReader::CheckLayout(bytes)) << name;
    ChmReader reader;
    EXPECT_TRUE(reader.OpenInProcess(Corpus(name))) << name;
    EXPECT_FALSE(reader.DefaultTopic().empty()) << name;
  }
}

TEST(DamagedHelpFile, FuzzFindingsAreRefusedBeforeChmlibSeesThem) {
  const QDir corpus(QString::fromLatin1(LUCKYSCOPE_CHM_CORPUS));
  const QStringList findings = corpus.entryList({QStringLiteral("regress_*")}, QDir::Files);
  ASSERT_GE(findings.size(), 5);
  for (const QString& name : findings) {
    const std::string path = corpus.filePath(name).toStdString();
    EXPECT_FALSE(ChmReader::CheckLayout(Bytes(path))) << name.toStdString();
    // In the process itself: without the check each of these crashes or hangs here.
    ChmReader reader;
    EXPECT_FALSE(reader.OpenInProcess(path)) << name.toStdString();
    EXPECT_FALSE(reader.Open(path)) << name.toStdString();
  }
}

TEST(DamagedHelpFile, EachFieldChmlibTrustsIsChecked) {
  const std::string good = Bytes(Corpus("with_topic.chm"));
  ASSERT_TRUE(ChmReader::CheckLayout(good));
  const auto u32 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(good[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(good[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(good[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(good[at + 3])) << 24;
  };
  const auto with = [&](std::size_t at, std::uint32_t value) {
    std::string bad = good;
    for (int i = 0; i < 4; ++i) bad[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
    return bad;
  };
  const std::size_t dir = u32(0x48);  // the directory's offset (its high half is 0 here)
  const std::size_t firstChunk = dir + u32(dir + 8);
  EXPECT_FALSE(ChmReader::CheckLayout(good.substr(0, 0x50))) << "cut header";
  EXPECT_FALSE(ChmReader::CheckLayout(with(0x48, 0x7FFFFFF0))) << "directory beyond the file";
  EXPECT_FALSE(ChmReader::CheckLayout(with(dir + 0x10, 0))) << "chunk size 0";
  EXPECT_FALSE(ChmReader::CheckLayout(with(dir + 0x10, 0xFFFFF000))) << "chunk size of 4 GB";
  EXPECT_FALSE(ChmReader::CheckLayout(with(dir + 0x2C, 100000))) << "more chunks than the directory";
  EXPECT_FALSE(ChmReader::CheckLayout(with(dir + 0x20, 7))) << "first listing chunk out of range";
  EXPECT_FALSE(ChmReader::CheckLayout(with(firstChunk + 0x10, 0))) << "a chunk that names itself next";
  EXPECT_FALSE(ChmReader::CheckLayout(with(firstChunk + 4, 0xFFFF))) << "free space beyond the chunk";
  EXPECT_FALSE(ChmReader::CheckLayout(with(firstChunk, 0x58585858))) << "not a chunk";
}

}  // namespace
}  // namespace luckyscope

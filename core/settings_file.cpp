// The settings record, the base folder and the settings file "luckyscope.dat".

#include "core/settings_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "core/data_core.h"
#include "core/data_files.h"
#include "core/file_io.h"
#include "core/text_util.h"

namespace luckyscope {

namespace {

constexpr char kSystemSection[] = "[SYSTDATA]";
constexpr char kSoundSection[] = "[SNDFILE]";
constexpr char kSystemSection2[] = "[SYSTDATA2]";

// Room for the base folder, a '/' and the file name.
using SettingsPath = char[kPathSize + sizeof kSettingsFileName + 1];

// A section reader takes its lines as they come, even another section's name.
// A text line of 1 to 511 bytes is kept; an empty, over-long or missing line empties
// the field.
void ReadTextLine(PieceReader& reader, char (&field)[kPathSize]) {
  char line[kLineBufferSize];
  ReadStrippedLine(reader, line);
  std::size_t len = std::strlen(line);
  if (len >= 1 && len < static_cast<std::size_t>(kPathSize)) {
    std::memcpy(field, line, len + 1);
  } else {
    field[0] = '\0';
  }
}

// A flag line keeps 0 or 1; any other number, no digits or a missing line give 0.
std::int32_t ReadFlagLine(PieceReader& reader) {
  char line[kLineBufferSize];
  if (ReadStrippedLine(reader, line) == 0) return 0;
  int value = ReadLenientInt(line);
  return (value == 0 || value == 1) ? value : 0;
}

void ReadSystemSection(PieceReader& reader, SystemSettings& s) {
  ReadTextLine(reader, s.startupFile);
  s.saveResults = ReadFlagLine(reader);
  ReadTextLine(reader, s.logFile);
  s.autoRunSixDigits = ReadFlagLine(reader);
}

void ReadSoundSection(PieceReader& reader, SystemSettings& s) {
  ReadTextLine(reader, s.hitSoundFile);
  ReadTextLine(reader, s.missSoundFile);
}

void ReadSystemSection2(PieceReader& reader, SystemSettings& s) {
  s.enterGroup = ReadFlagLine(reader);
  s.lastTwoFirst = ReadFlagLine(reader);
}

struct SettingsSection {
  const char* name;
  void (*read)(PieceReader&, SystemSettings&);
};

constexpr SettingsSection kSections[] = {
    {kSystemSection, ReadSystemSection},
    {kSoundSection, ReadSoundSection},
    {kSystemSection2, ReadSystemSection2},
};

void MakeSettingsPath(const char* baseFolder, SettingsPath& out) {
  std::snprintf(out, sizeof out, "%s/%s", baseFolder, kSettingsFileName);
}

bool WriteFlag(SafeFileWriter& writer, std::int32_t value) {
  char line[16];
  std::snprintf(line, sizeof line, "%d", static_cast<int>(value));
  return writer.WriteLine(line);
}

template <std::size_t N>
void Terminate(char (&text)[N]) {
  text[N - 1] = '\0';
}

}  // namespace

const char* PathRelativeToBase(const char* path, const char* baseFolder) {
  std::size_t len = std::strlen(baseFolder);
  if (std::strncmp(path, baseFolder, len) == 0 && (path[len] == '/' || path[len] == '\\')) {
    return path + len + 1;
  }
  return path;
}

// ---------------------------------------------------------------------------
// Base folder and help file

int DataCore::InitBaseFolder() {
  char cwd[kPathSize];
  if (::getcwd(cwd, sizeof cwd) == nullptr) {
    // A current directory deeper than 511 bytes, or one that was removed: the
    // process's own current directory still serves as the base.
    std::strcpy(baseFolder_, ".");
    return -1;
  }
  return InitBaseFolder(cwd);
}

int DataCore::InitBaseFolder(const char* folder) {
  if (folder == nullptr || folder[0] == '\0' || strnlen(folder, kPathSize) >= kPathSize) {
    return -1;
  }
  // Trailing separators go, so that joins never double them: the root "/" becomes
  // the empty text and base + "/" + name gives "/name".
  std::size_t len = std::strlen(folder);
  while (len > 0 && folder[len - 1] == '/') --len;
  std::memcpy(baseFolder_, folder, len);
  baseFolder_[len] = '\0';
  return 0;
}

int DataCore::HelpFilePath(char (&out)[kPathSize]) {
  int n = std::snprintf(out, sizeof out, "%s/%s", baseFolder_, kHelpFileName);
  if (n < 0 || n >= kPathSize) {
    // A cut path would name some other file; no help file is better.
    out[0] = '\0';
    helpPath_[0] = '\0';
    return -1;
  }
  std::memcpy(helpPath_, out, sizeof helpPath_);
  return 0;
}

// ---------------------------------------------------------------------------
// Settings record

int DataCore::ResetSettings() {
  std::memset(&settings_, 0, sizeof settings_);
  return 0;
}

int DataCore::ResetAll() {
  ResetSettings();
  store_->ClearTargets();
  store_->ClearWinningEntries();
  return 0;
}

int DataCore::GetSettings(SystemSettings& out) const {
  out = settings_;
  return 0;
}

int DataCore::SetSettings(const SystemSettings& in) {
  settings_ = in;
  // Every text stays terminated within its field, whatever the caller handed over.
  Terminate(settings_.startupFile);
  Terminate(settings_.logFile);
  Terminate(settings_.hitSoundFile);
  Terminate(settings_.missSoundFile);
  return 0;
}

// ---------------------------------------------------------------------------
// Settings file

int DataCore::LoadSettingsFile() {
  SettingsPath path;
  MakeSettingsPath(baseFolder_, path);
  PieceReader reader;
  if (!reader.Open(path)) return -1;
  char line[kLineBufferSize];
  while (ReadStrippedLine(reader, line) > 0) {
    // Sections may come in any order, be missing or repeat (the last one wins).
    for (const SettingsSection& section : kSections) {
      if (std::strcmp(line, section.name) == 0) {
        section.read(reader, settings_);
        break;
      }
    }
  }
  return 0;
}

int DataCore::SaveSettingsFile() {
  SettingsPath path;
  MakeSettingsPath(baseFolder_, path);
  SafeFileWriter writer(&writeFault_);
  if (!writer.Open(path)) return -1;
  const SystemSettings& s = settings_;
  bool ok = writer.WriteLine(kSystemSection) && writer.WriteLine(PathRelativeToBase(s.startupFile, baseFolder_)) &&
            WriteFlag(writer, s.saveResults) && writer.WriteLine(PathRelativeToBase(s.logFile, baseFolder_)) &&
            WriteFlag(writer, s.autoRunSixDigits);
  if (ok && (s.hitSoundFile[0] != '\0' || s.missSoundFile[0] != '\0')) {
    ok = writer.WriteLine(kSoundSection) && writer.WriteLine(s.hitSoundFile) && writer.WriteLine(s.missSoundFile);
  }
  ok = ok && writer.WriteLine(kSystemSection2) && WriteFlag(writer, s.enterGroup) && WriteFlag(writer, s.lastTwoFirst);
  if (!ok || !writer.Commit()) {
    // The settings file from before stays as it was (the writer only ever replaces
    // it whole), so the next start still finds the previous settings.
    Notify(CoreMessage::SettingsDiskFull);
  }
  return 0;
}

}  // namespace luckyscope

// The settings file "luckyscope.dat": its sections, read in any order, and its writer.

#include "core/settings_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <unistd.h>

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

// A path written on Windows separates its folders with '\'. Here '\' is a byte of a
// file name, so such a path stays as it stands only when it names a file (a relative
// one from the base folder); otherwise its '\' become '/'.
void UseLinuxSeparators(const char* baseFolder, char (&path)[kPathSize]) {
  if (std::strchr(path, '\\') == nullptr) return;
  SettingsPath full;
  if (path[0] == '/') {
    std::snprintf(full, sizeof full, "%s", path);
  } else {
    std::snprintf(full, sizeof full, "%s/%s", baseFolder, path);
  }
  if (::access(full, F_OK) == 0) return;
  for (char* p = path; *p != '\0'; ++p) {
    if (*p == '\\') *p = '/';
  }
}

bool WriteFlag(SafeFileWriter& writer, std::int32_t value) {
  char line[16];
  std::snprintf(line, sizeof line, "%d", static_cast<int>(value));
  return writer.WriteLine(line);
}

}  // namespace

const char* PathRelativeToBase(const char* path, const char* baseFolder) {
  std::size_t len = std::strlen(baseFolder);
  if (std::strncmp(path, baseFolder, len) == 0 && (path[len] == '/' || path[len] == '\\')) {
    // Every separator goes: "base//a.dat" names base/a.dat, and keeping the second
    // '/' would turn it into the absolute "/a.dat".
    const char* rest = path + len;
    while (*rest == '/' || *rest == '\\') ++rest;
    return rest;
  }
  return path;
}

// ---------------------------------------------------------------------------
// Settings file

int LoadSettingsFile(const char* baseFolder, SystemSettings& settings) {
  SettingsPath path;
  MakeSettingsPath(baseFolder, path);
  PieceReader reader;
  if (!reader.Open(path)) return kFileCannotOpen;
  if (reader.Owner() != ::geteuid()) return kFileOfOtherUser;
  char line[kLineBufferSize];
  while (ReadStrippedLine(reader, line) > 0) {
    // Sections may come in any order, be missing or repeat (the last one wins).
    for (const SettingsSection& section : kSections) {
      if (std::strcmp(line, section.name) == 0) {
        section.read(reader, settings);
        break;
      }
    }
  }
  for (char(*field)[kPathSize] :
       {&settings.startupFile, &settings.logFile, &settings.hitSoundFile, &settings.missSoundFile}) {
    UseLinuxSeparators(baseFolder, *field);
  }
  return kFileDone;
}

bool LooksLikeSettingsFile(const char* path) {
  PieceReader reader;
  if (!reader.Open(path)) return false;
  char line[kLineBufferSize];
  ReadStrippedLine(reader, line);
  for (const SettingsSection& section : kSections) {
    if (std::strcmp(line, section.name) == 0) return true;
  }
  return false;
}

std::string SettingsFilePath(const char* baseFolder) {
  SettingsPath path;
  MakeSettingsPath(baseFolder, path);
  return path;
}

int SaveSettingsFile(const char* baseFolder, const SystemSettings& settings, const WriteFault* fault,
                     int* errorNumber) {
  SettingsPath path;
  MakeSettingsPath(baseFolder, path);
  SafeFileWriter writer(fault);
  if (!writer.Open(path)) {
    if (errorNumber != nullptr) *errorNumber = writer.ErrorNumber();
    return kFileCannotOpen;
  }
  const SystemSettings& s = settings;
  bool ok = writer.WriteLine(kSystemSection) && writer.WriteLine(PathRelativeToBase(s.startupFile, baseFolder)) &&
            WriteFlag(writer, s.saveResults) && writer.WriteLine(PathRelativeToBase(s.logFile, baseFolder)) &&
            WriteFlag(writer, s.autoRunSixDigits);
  if (ok && (s.hitSoundFile[0] != '\0' || s.missSoundFile[0] != '\0')) {
    ok = writer.WriteLine(kSoundSection) && writer.WriteLine(s.hitSoundFile) && writer.WriteLine(s.missSoundFile);
  }
  ok = ok && writer.WriteLine(kSystemSection2) && WriteFlag(writer, s.enterGroup) && WriteFlag(writer, s.lastTwoFirst);
  if (ok && writer.Commit()) return kFileDone;
  if (errorNumber != nullptr) *errorNumber = writer.ErrorNumber();
  return kFileWriteFailed;
}

}  // namespace luckyscope

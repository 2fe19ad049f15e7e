#pragma once
// The settings record and the settings file "luckyscope.dat" kept in the base folder,
// with the name of the help file kept beside it. DataCore (core/data_core.h) holds the
// record and the base folder and offers these to the windows.

#include <cstdint>
#include <string>

#include "core/file_io.h"
#include "core/lottery_store.h"

namespace luckyscope {

inline constexpr char kSettingsFileName[] = "luckyscope.dat";
inline constexpr char kHelpFileName[] = "luckyscope.chm";

struct SystemSettings {
  char startupFile[kPathSize];
  std::int32_t saveResults;
  char logFile[kPathSize];
  std::int32_t autoRunSixDigits;
  char hitSoundFile[kPathSize];
  char missSoundFile[kPathSize];
  std::int32_t enterGroup;
  std::int32_t lastTwoFirst;
};

// Reads the settings file of the base folder into `settings`: the fields of every
// section found are replaced, the others kept. kFileDone, kFileCannotOpen, or
// kFileOfOtherUser: a settings file another user owns is not read at all, since its
// log-file entry would make the easy check append to a file of their choosing.
int LoadSettingsFile(const char* baseFolder, SystemSettings& settings);

// Writes the settings file of the base folder whole: kFileDone, kFileCannotOpen, or
// kFileWriteFailed, when the file from before stays as it was. On a failure
// `errorNumber`, when given, receives the system's reason (errno).
int SaveSettingsFile(const char* baseFolder, const SystemSettings& settings, const WriteFault* fault,
                     int* errorNumber = nullptr);

// True when the file starts as a settings file does (a section name on its first line).
bool LooksLikeSettingsFile(const char* path);

// The path of the settings file of a base folder.
std::string SettingsFilePath(const char* baseFolder);

// The path as it is written to the settings file: a path inside the base folder loses
// the folder and the separators after it ('/' or '\', however many), so that the
// settings move with the folder; any other path is returned whole. Returns a pointer into `path`.
const char* PathRelativeToBase(const char* path, const char* baseFolder);

}  // namespace luckyscope

#pragma once
// Names and rules of the settings file and the help file, both kept in the base
// folder. The operations themselves are DataCore's (core/data_core.h).

namespace luckyscope {

inline constexpr char kSettingsFileName[] = "luckyscope.dat";
inline constexpr char kHelpFileName[] = "luckyscope.chm";

// The path as it is written to the settings file: a path inside the base folder loses
// the folder and the separator after it ('/' or '\'), so that the settings move with
// the folder; any other path is returned whole. Returns a pointer into `path`.
const char* PathRelativeToBase(const char* path, const char* baseFolder);

}  // namespace luckyscope

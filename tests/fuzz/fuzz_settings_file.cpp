// The settings file on any bytes: every text terminated, every flag 0 or 1, and the
// settings it gave save and load back the same (paths inside the base folder come
// back relative to it).

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/data_core.h"
#include "core/settings_file.h"
#include "tests/fuzz/fuzz_support.h"

using namespace luckyscope;
using namespace luckyscope::fuzz;

namespace {

bool Flag(std::int32_t v) { return v == 0 || v == 1; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string folder = ScratchFolder();
  static const std::string file = folder + "/" + kSettingsFileName;
  static DataCore core;
  static DataCore again;
  static const bool ready = core.InitBaseFolder(folder.c_str()) == 0 && again.InitBaseFolder(folder.c_str()) == 0;
  Check(ready, "base folder");

  PutFile(file, data, size);
  core.ResetAll();
  Check(core.LoadSettingsFile() == 0, "a readable settings file must load");
  SystemSettings s{};
  core.GetSettings(s);
  Check(Terminated(s.startupFile, sizeof s.startupFile) && Terminated(s.logFile, sizeof s.logFile) &&
            Terminated(s.hitSoundFile, sizeof s.hitSoundFile) && Terminated(s.missSoundFile, sizeof s.missSoundFile),
        "text not terminated");
  Check(Flag(s.saveResults) && Flag(s.autoRunSixDigits) && Flag(s.enterGroup) && Flag(s.lastTwoFirst),
        "flag other than 0 or 1");

  Check(core.SaveSettingsFile() == 0, "the settings must save");
  again.ResetAll();
  Check(again.LoadSettingsFile() == 0, "the saved settings must load");
  SystemSettings t{};
  again.GetSettings(t);
  Check(std::strcmp(t.startupFile, PathRelativeToBase(s.startupFile, folder.c_str())) == 0 &&
            std::strcmp(t.logFile, PathRelativeToBase(s.logFile, folder.c_str())) == 0,
        "paths load back different");
  Check(std::strcmp(t.hitSoundFile, s.hitSoundFile) == 0 && std::strcmp(t.missSoundFile, s.missSoundFile) == 0,
        "sound files load back different");
  Check(t.saveResults == s.saveResults && t.autoRunSixDigits == s.autoRunSixDigits && t.enterGroup == s.enterGroup &&
            t.lastTwoFirst == s.lastTwoFirst,
        "flags load back different");
  return 0;
}

#pragma once
// The start of the data core, once every window exists: the base folder, the help
// file path, the defaults, the settings file and the start-up file.

namespace luckyscope {

class DataCore;
class UiServices;

// `baseFolder` null means the current directory. A settings file that cannot be read
// (the first start, when there is none yet) is reported and the defaults stay; the
// start-up file named in the settings is loaded when there is one, and named in a
// message when it cannot be loaded.
void StartDataCore(DataCore& core, UiServices& ui, const char* baseFolder = nullptr);

}  // namespace luckyscope

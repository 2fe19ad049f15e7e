// Helper of the kill-during-save test: saves a table of 10,000 search targets to one
// file over and over through the data core, generation after generation, until it is
// killed. Every generation's file is fully predictable (see ExpectedTargetFile), so
// the test can tell a complete file from a torn one.
//
// Usage: save_loop <file.dat> <first generation>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "core/data_core.h"
#include "tests/system/save_loop_format.h"

int main(int argc, char* argv[]) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: save_loop <file.dat> <first generation>\n");
    return 2;
  }
  auto core = std::make_unique<luckyscope::DataCore>();
  core->ResetAll();
  for (long generation = std::atol(argv[2]);; ++generation) {
    luckyscope::testing::FillGeneration(core->Store(), generation);
    if (core->WriteTargetFile(argv[1]) != 0) {
      std::fprintf(stderr, "save_loop: generation %ld was not saved\n", generation);
      return 1;
    }
  }
}

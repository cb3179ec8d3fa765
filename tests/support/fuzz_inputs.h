// The inputs kept for a fuzz target: its hand-written seeds and the inputs it once failed on.
// Unit tests replay them through the target's own code, so that what the fuzzer found stays fixed
// on every platform, including those where no fuzzer runs.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/test_support.h"

namespace tsl::testing {

struct KeptFuzzInput {
  std::string name;  // the folder it was kept in and its file name, for the failure message
  std::string bytes;
};

/// The files of `seeds/<target>` and `regressions/<target>` under the fuzz folder (a Linux
/// path); a folder that is missing has no inputs.
inline std::vector<KeptFuzzInput> KeptFuzzInputs(const std::string& fuzz_folder,
                                                 const std::string& target) {
  std::vector<KeptFuzzInput> inputs;
  for (const char* kind : {"seeds", "regressions"}) {
    const std::string folder =
        BuiltProgram(fuzz_folder) + Separator() + kind + Separator() + target;
    std::vector<DirEntry> entries;
    if (RealFileSystem().ListFolder(folder, &entries).failed()) continue;
    for (const DirEntry& entry : entries) {
      if (entry.is_folder()) continue;
      KeptFuzzInput input{std::string(kind) + "/" + entry.name, ""};
      const std::string path = folder + Separator() + entry.name;
      EXPECT_TRUE(RealFileSystem().ReadWholeFile(path, &input.bytes).ok()) << path;
      inputs.push_back(std::move(input));
    }
  }
  return inputs;
}

/// Runs every kept input of `target` through `body` (a fuzz target's entry: bytes and size),
/// each under its name in failure messages; a target without inputs fails the test.
template <typename Body>
void ReplayKeptFuzzInputs(const std::string& fuzz_folder, const std::string& target, Body body) {
  std::vector<KeptFuzzInput> inputs = KeptFuzzInputs(fuzz_folder, target);
  EXPECT_FALSE(inputs.empty()) << "no seeds for " << target;
  for (const KeptFuzzInput& input : inputs) {
    SCOPED_TRACE(input.name);
    body(reinterpret_cast<const std::uint8_t*>(input.bytes.data()), input.bytes.size());
  }
}

}  // namespace tsl::testing

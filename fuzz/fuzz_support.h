// What the fuzz targets' bodies share: stopping on a contradiction, and a file of the process's
// own for the readers that load only from a path.
#pragma once

#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace tsl::fuzzing {

/// Stops the process when a result contradicts the input (libFuzzer reports it as a crash).
inline void Check(bool condition) {
  if (!condition) std::abort();
}

/// One file in the temporary folder, made with a unique name the first time it is needed and
/// rewritten with each input; deleted when the process ends normally. A fixed name would let two
/// fuzzing processes, or a fuzzer and the regression tests, overwrite each other's input.
class ScratchFile {
 public:
  static const std::string& Path() {
    static ScratchFile file;
    return file.path_;
  }

  /// Replaces the file's content; false when it cannot be written (the input is then skipped).
  static bool Write(std::string_view content) {
    std::unique_ptr<WritableFile> file;
    if (Files().OpenForWriting(Path(), WriteMode::kReplace, &file).failed()) return false;
    bool written = file->Write(content.data(), content.size()).ok();
    return file->Close().ok() && written;
  }

  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

 private:
  ScratchFile() {
    FileSystem& fs = Files();
    if (fs.CreateTempFile(fs.TempFolder(), "tslfz", &path_).failed()) std::abort();
  }
  ~ScratchFile() { Files().RemoveFile(path_); }

  std::string path_;
};

}  // namespace tsl::fuzzing

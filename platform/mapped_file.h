// A file's whole content, read-only, without copying it through the process's heap: the file is
// mapped into memory, so that its bytes are the system's cached pages. A file that cannot be
// mapped (an empty file, a pipe or a device, a file system that does not map) is read into a
// buffer of the content's own instead.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace tsl {

class MappedFile {
 public:
  MappedFile() = default;
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  /// Maps (or reads) the file at `path`, releasing what was open before. A file with a size is
  /// taken with the size it has when opened, as ReadWholeFile takes it; one without (empty, a
  /// pipe, a device) is read to its end. A failure carries the call ("MapFile") and the path, and
  /// leaves the content empty; a folder fails as it does for ReadWholeFile.
  SysError Open(const std::string& path);

  /// The content; valid until the next Open or the end of the object.
  std::string_view content() const { return {data_, size_}; }
  /// Whether the content is the mapped file itself rather than a copy read from it.
  bool mapped() const { return mapping_ != nullptr; }

  /// Whether every page of the content touched so far could be read: an I/O error when one
  /// could not, with the call ("MapFile") and the path. Ask after using the content. On POSIX a
  /// page that cannot be read (the file was shortened by another process meanwhile, or the disk
  /// failed) reads as zeros instead of stopping the process with SIGBUS, for up to kGuardedMappings
  /// mappings at a time. Windows refuses to shorten a mapped file (a disk that fails under a view
  /// still stops the process).
  SysError PageFailure() const;
  static constexpr int kGuardedMappings = 16;

 private:
  // The system's part: maps or reads the file into the members below.
  SysError OpenNative(const std::string& path);
  // One read of the system's: up to `most` bytes into `into`, `*got` 0 at the end.
  using ReadStep = std::function<SysError(char* into, std::size_t most, std::size_t* got)>;
  // Reads into a buffer of the content's own, which is not filled beforehand: `size` bytes, or
  // fewer when the file ends sooner, when `known_size`; else everything up to the end.
  SysError ReadAll(const ReadStep& read, bool known_size, std::size_t size);
  // Unmaps or frees the content (the system's part).
  void Release();

  const char* data_ = "";
  std::size_t size_ = 0;
  void* mapping_ = nullptr;  // the start of the system's mapping; null when read
  int guard_ = -1;           // the mapping's entry among those guarded (POSIX); -1: none
  std::string path_;
  std::unique_ptr<char[]> buffer_;
};

}  // namespace tsl

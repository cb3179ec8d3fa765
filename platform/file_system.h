// The file service: every file and folder access of the program goes through FileSystem, so that
// tests can swap the real one for a wrapper that fails chosen operations (see fault_injection.h).
//
// Paths are native: `\` and drive letters on Windows, `/` on Linux. Text is the system's ANSI
// code page, passed through as bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"

namespace tsl {

/// 100-nanosecond units since 1601-01-01, the Windows file time scale.
using FileTime = std::int64_t;

/// File attribute bits, with the Windows values (the scripts and reports use them).
namespace attr {
inline constexpr std::uint32_t kReadOnly = 0x01;
inline constexpr std::uint32_t kHidden = 0x02;
inline constexpr std::uint32_t kSystem = 0x04;
inline constexpr std::uint32_t kDirectory = 0x10;
inline constexpr std::uint32_t kArchive = 0x20;
inline constexpr std::uint32_t kNormal = 0x80;
inline constexpr std::uint32_t kReparsePoint = 0x400;  // a symbolic link or junction
}  // namespace attr

/// One entry of a folder listing. Times are UTC file times.
struct DirEntry {
  std::string name;
  FileTime created = 0;
  FileTime accessed = 0;
  FileTime modified = 0;
  std::uint64_t size = 0;
  std::uint32_t attributes = 0;
  /// A symbolic link (or, on Windows, a reparse point); the fields above describe what it points
  /// to. A link to a folder also has kReparsePoint in its attributes.
  bool link = false;
  /// Neither a regular file nor a folder (a pipe, socket or device): never opened for its
  /// contents.
  bool special = false;

  bool is_folder() const { return (attributes & attr::kDirectory) != 0; }
};

/// Which file a path names, whatever its spelling and the links on the way: the device and inode
/// on POSIX, the volume serial number and file index on Windows.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  bool operator==(const FileIdentity&) const = default;
};

/// A file open for reading.
class ReadableFile {
 public:
  virtual ~ReadableFile() = default;
  /// Reads up to `size` bytes; `*got` is 0 at the end of the file.
  virtual SysError Read(void* buffer, std::size_t size, std::size_t* got) = 0;
  virtual std::uint64_t Size() const = 0;
  virtual SysError Seek(std::uint64_t offset) = 0;
};

/// A file open for writing. Writes may be buffered: a failure can surface at Flush or Close, and
/// only a successful Close means that everything reached the file.
class WritableFile {
 public:
  virtual ~WritableFile() = default;  // closes without reporting; call Close() to learn the outcome
  virtual SysError Write(const void* data, std::size_t size) = 0;
  virtual SysError Flush() = 0;
  virtual SysError Close() = 0;
};

/// Whether a copy may replace a file that is already at its target path.
enum class CopyMode {
  kReplace,
  kFailIfExists,
  /// Gives an existing target new content: as kReplace, but the new file keeps the target's own
  /// permission bits (POSIX) or attributes (Windows) instead of taking the source's.
  kReplaceContent,
};

/// The steps of CopyFileKeepingTimes, each of which can fail on its own. A system copy that does
/// several of them in one call goes through kCopyData only.
enum class CopyStep {
  kOpenSource,
  kCreateTemporary,  // the new file beside the target
  kCopyData,         // once per block of data
  kKeepAttributes,
  kKeepTimes,
  kSync,   // only when an existing file is replaced
  kPlace,  // the new file takes the target's name
};

/// Called before each step of a copy; a failure it returns is taken as that step's failure. Fault
/// injection uses it to fail a copy half-way; callers outside tests pass an empty one.
using CopyStepCheck = std::function<SysError(CopyStep step)>;

enum class WriteMode {
  kReplace,    // create, or empty an existing file
  kAppend,     // create, or keep an existing file and write at its end
  kCreateNew,  // fail with kAlreadyExists when the file exists
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  /// Reads a whole file (through OpenForReading unless a file service knows better).
  virtual SysError ReadWholeFile(const std::string& path, std::string* content);
  /// Opened with sharing denied to nobody.
  virtual SysError OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>* file) = 0;
  /// As OpenForReading, for a file whose size a listing has just given: a file service may skip
  /// asking for its status again, and Size() may then give `listed_size`.
  virtual SysError OpenListedForReading(const std::string& path, std::uint64_t listed_size,
                                        std::unique_ptr<ReadableFile>* file) {
    (void)listed_size;
    return OpenForReading(path, file);
  }
  /// Opened binary and not shared with other writers.
  virtual SysError OpenForWriting(const std::string& path, WriteMode mode,
                                  std::unique_ptr<WritableFile>* file) = 0;

  /// Lists a folder in one pass, without "." and "..". A symbolic link to a file is listed as
  /// that file; a link to a folder as a folder with kReparsePoint (both with `link`); a broken
  /// link, or an entry gone meanwhile, not at all. An entry that cannot be examined otherwise (no
  /// permission, an I/O error) fails the whole listing, which then holds nothing: a folder is
  /// never passed off as emptier than it is.
  virtual SysError ListFolder(const std::string& folder, std::vector<DirEntry>* entries) = 0;

  /// The folders of a listing, as ListFolder gives them; `*holds_others` tells whether the
  /// folder holds anything else, which is not looked at more closely.
  virtual SysError ListSubfolders(const std::string& folder, std::vector<DirEntry>* folders,
                                  bool* holds_others) = 0;

  /// What a listing of the path's folder would say about it (name, attributes, times, size).
  virtual SysError GetEntry(const std::string& path, DirEntry* entry) = 0;
  /// The identity of the file or folder a path names (links followed).
  virtual SysError GetIdentity(const std::string& path, FileIdentity* identity) = 0;
  virtual SysError GetAttributes(const std::string& path, std::uint32_t* attributes) = 0;
  /// Sets the attributes of the path itself: never those of what a link points to (a POSIX link
  /// has none of its own, and is left as it is).
  virtual SysError SetAttributes(const std::string& path, std::uint32_t attributes) = 0;
  /// Sets the last access and last write times (UTC) of the path itself, a link's own for a
  /// link; a time of 0 leaves that one as it is.
  virtual SysError SetTimes(const std::string& path, FileTime accessed, FileTime modified) = 0;

  /// The process's current folder, without a closing separator (unless it is a root).
  virtual std::string CurrentFolder() = 0;
  /// The system's temporary folder, with a closing separator.
  virtual std::string TempFolder() = 0;
  /// Creates an empty file with a unique name made of `prefix` and a number in `folder`.
  virtual SysError CreateTempFile(const std::string& folder, const std::string& prefix,
                                  std::string* path) = 0;

  /// Deletes a file; a file that is already gone is success.
  virtual SysError RemoveFile(const std::string& path) = 0;
  /// Creates one folder (its parent must exist); an existing folder is kAlreadyExists.
  virtual SysError MakeFolder(const std::string& path) = 0;
  /// Removes an empty folder.
  virtual SysError RemoveFolder(const std::string& path) = 0;
  /// Renames or moves a file or folder; with `replace` an existing target file is replaced
  /// in one step.
  virtual SysError Rename(const std::string& from, const std::string& to, bool replace) = 0;

  /// Copies a file with its last write time and attributes (on POSIX its modification time and
  /// permission bits). The copy is written to a new file beside the target, which takes the
  /// target's name only when it is complete: whatever fails, and wherever the process is
  /// stopped, the target is either the file that was there or the whole copy. With
  /// kFailIfExists an existing target is kAlreadyExists and stays as it is.
  virtual SysError CopyFileKeepingTimes(const std::string& from, const std::string& to,
                                        CopyMode mode, const CopyStepCheck& check) = 0;
};

/// The file service in force: the real one, unless a test has swapped it (ScopedFileSystem).
FileSystem& Files();

/// The real file service of this platform: its failures carry the call and the path.
FileSystem& RealFileSystem();
/// The platform's own implementation beneath it (the platform layer's business).
FileSystem& SystemFileSystem();

/// Puts another file service in force for its lifetime.
class ScopedFileSystem {
 public:
  explicit ScopedFileSystem(FileSystem& replacement);
  ~ScopedFileSystem();
  ScopedFileSystem(const ScopedFileSystem&) = delete;
  ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;

 private:
  FileSystem* previous_;
};

/// True when the path names an existing file or folder.
bool PathExists(const std::string& path);

/// Lets a file be run as a program: on POSIX its mode becomes 0755 (rwxr-xr-x); on Windows,
/// where a file's extension says whether it runs, nothing is done and the call succeeds. Works
/// on the real file system, not through the file service in force.
SysError MakeExecutable(const std::string& path);

/// The identities of a folder and of every folder above it as the system resolves them (links
/// followed), the folder's own first and the root's last.
SysError FolderAncestry(const std::string& folder, std::vector<FileIdentity>* ancestry);

/// True when the path names the file or folder of that identity (false when it names nothing
/// or cannot be looked at).
bool HasIdentity(const std::string& path, const FileIdentity& identity);

/// True for the names of the temporary files that copies write beside their targets (see
/// CopyFileKeepingTimes): scans pass them over, so that a leftover of a killed copy is never
/// compared or copied.
bool IsCopyTemporaryName(std::string_view name);

}  // namespace tsl

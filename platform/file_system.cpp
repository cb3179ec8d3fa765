// The process-wide file service and its test seam.
#include "platform/file_system.h"

#include <algorithm>

#include "platform/paths.h"

namespace tsl {
namespace {
FileSystem* g_current = nullptr;
}  // namespace

SysError FileSystem::ReadWholeFile(const std::string& path, std::string* content) {
  std::unique_ptr<ReadableFile> file;
  if (SysError e = OpenForReading(path, &file); e.failed()) return e;
  // Read through a small block and appended, so that the string's room is written once rather
  // than filled with zeros first and then read into.
  constexpr std::uint64_t kBlock = 64 * 1024;
  const std::uint64_t size = file->Size();
  content->clear();
  content->reserve(size);
  std::unique_ptr<char[]> block(new char[std::max<std::uint64_t>(1, std::min(size, kBlock))]);
  while (content->size() < size) {
    std::size_t got = 0;
    std::uint64_t want = std::min(kBlock, size - content->size());
    if (SysError e = file->Read(block.get(), want, &got); e.failed()) return e;
    if (got == 0) break;  // the file shrank while it was read
    content->append(block.get(), got);
  }
  return {};
}

FileSystem& Files() { return g_current ? *g_current : RealFileSystem(); }

SysError InContext(SysError error, const char* operation, const std::string& path) {
  if (error.failed() && error.path.empty()) {
    error.operation = operation;
    error.path = path;
  }
  return error;
}

namespace {

// The system's file service with every failure marked with the call and the path it was given,
// in one place rather than at each of the system's own calls.
class FileSystemWithContext : public FileSystem {
 public:
  explicit FileSystemWithContext(FileSystem& system) : system_(system) {}

  SysError ReadWholeFile(const std::string& path, std::string* content) override {
    return InContext(system_.ReadWholeFile(path, content), "ReadWholeFile", path);
  }
  SysError OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>* file) override {
    return InContext(system_.OpenForReading(path, file), "OpenForReading", path);
  }
  SysError OpenListedForReading(const std::string& path, std::uint64_t listed_size,
                                std::unique_ptr<ReadableFile>* file) override {
    return InContext(system_.OpenListedForReading(path, listed_size, file), "OpenForReading",
                     path);
  }
  SysError OpenForWriting(const std::string& path, WriteMode mode,
                          std::unique_ptr<WritableFile>* file) override {
    return InContext(system_.OpenForWriting(path, mode, file), "OpenForWriting", path);
  }
  SysError ListFolder(const std::string& folder, std::vector<DirEntry>* entries) override {
    return InContext(system_.ListFolder(folder, entries), "ListFolder", folder);
  }
  SysError ListSubfolders(const std::string& folder, std::vector<DirEntry>* folders,
                          bool* holds_others) override {
    return InContext(system_.ListSubfolders(folder, folders, holds_others), "ListSubfolders",
                     folder);
  }
  SysError GetEntry(const std::string& path, DirEntry* entry) override {
    return InContext(system_.GetEntry(path, entry), "GetEntry", path);
  }
  SysError GetIdentity(const std::string& path, FileIdentity* identity) override {
    return InContext(system_.GetIdentity(path, identity), "GetIdentity", path);
  }
  SysError GetAttributes(const std::string& path, std::uint32_t* attributes) override {
    return InContext(system_.GetAttributes(path, attributes), "GetAttributes", path);
  }
  SysError SetAttributes(const std::string& path, std::uint32_t attributes) override {
    return InContext(system_.SetAttributes(path, attributes), "SetAttributes", path);
  }
  SysError SetTimes(const std::string& path, FileTime accessed, FileTime modified) override {
    return InContext(system_.SetTimes(path, accessed, modified), "SetTimes", path);
  }
  std::string CurrentFolder() override { return system_.CurrentFolder(); }
  std::string TempFolder() override { return system_.TempFolder(); }
  SysError CreateTempFile(const std::string& folder, const std::string& prefix,
                          std::string* path) override {
    return InContext(system_.CreateTempFile(folder, prefix, path), "CreateTempFile", folder);
  }
  SysError RemoveFile(const std::string& path) override {
    return InContext(system_.RemoveFile(path), "RemoveFile", path);
  }
  SysError MakeFolder(const std::string& path) override {
    return InContext(system_.MakeFolder(path), "MakeFolder", path);
  }
  SysError RemoveFolder(const std::string& path) override {
    return InContext(system_.RemoveFolder(path), "RemoveFolder", path);
  }
  SysError Rename(const std::string& from, const std::string& to, bool replace) override {
    return InContext(system_.Rename(from, to, replace), "Rename", from);
  }
  SysError CopyFileKeepingTimes(const std::string& from, const std::string& to, CopyMode mode,
                                const CopyStepCheck& check) override {
    return InContext(system_.CopyFileKeepingTimes(from, to, mode, check), "CopyFile", from);
  }

 private:
  FileSystem& system_;
};

}  // namespace

FileSystem& RealFileSystem() {
  static FileSystemWithContext instance(SystemFileSystem());
  return instance;
}

ScopedFileSystem::ScopedFileSystem(FileSystem& replacement) : previous_(g_current) {
  g_current = &replacement;
}

ScopedFileSystem::~ScopedFileSystem() { g_current = previous_; }

bool PathExists(const std::string& path) {
  std::uint32_t attributes = 0;
  return !path.empty() && Files().GetAttributes(path, &attributes).ok();
}

// On POSIX the parent is asked of the system (`..` below the folder), so that a link on the way
// leads to the folder it points to. Windows resolves `..` in the text, so there the folders above
// are the text's own, once `.` and `..` are resolved and a relative folder is made whole.
SysError FolderAncestry(const std::string& folder, std::vector<FileIdentity>* ancestry) {
  ancestry->clear();
  constexpr std::size_t kMostLevels = 4096;  // deeper than any path a system accepts
  PathStyle style = NativePathStyle();
  auto add = [&](const std::string& path, bool* at_root) -> SysError {
    FileIdentity identity;
    if (SysError e = Files().GetIdentity(path, &identity); e.failed()) return e;
    *at_root = !ancestry->empty() && ancestry->back() == identity;
    if (!*at_root) ancestry->push_back(identity);
    return {};
  };
  bool at_root = false;
  if (style == PathStyle::kPosix) {
    std::string path = folder;
    while (!at_root && ancestry->size() < kMostLevels) {
      if (SysError e = add(path, &at_root); e.failed()) return e;
      path = WithClosingSeparator(path, style) + "..";
    }
    return {};
  }
  for (const std::string& path : FolderChain(folder, Files().CurrentFolder(), style)) {
    if (SysError e = add(path, &at_root); e.failed()) return e;
  }
  return {};
}

bool HasIdentity(const std::string& path, const FileIdentity& identity) {
  FileIdentity found;
  return Files().GetIdentity(path, &found).ok() && found == identity;
}

bool IsCopyTemporaryName(std::string_view name) {
  // ".tsl-" then the writing process's id, "-", eight hexadecimal digits, ".tmp"; and the form
  // without the process id that earlier versions wrote.
  constexpr std::string_view kPrefix = ".tsl-", kSuffix = ".tmp";
  if (name.size() < kPrefix.size() + 8 + kSuffix.size() || name.substr(0, 5) != kPrefix ||
      name.substr(name.size() - kSuffix.size()) != kSuffix) {
    return false;
  }
  std::string_view middle = name.substr(kPrefix.size(), name.size() - 9);
  auto hex = [](std::string_view digits) {
    return digits.size() == 8 &&
           digits.find_first_not_of("0123456789abcdef") == std::string_view::npos;
  };
  std::string_view::size_type dash = middle.find('-');
  if (dash == std::string_view::npos) return hex(middle);
  std::string_view pid = middle.substr(0, dash);
  return !pid.empty() && pid.size() <= 10 &&
         pid.find_first_not_of("0123456789") == std::string_view::npos &&
         hex(middle.substr(dash + 1));
}

}  // namespace tsl

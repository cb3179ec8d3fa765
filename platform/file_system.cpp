// The process-wide file service and its test seam.
#include "platform/file_system.h"

#include "platform/paths.h"

namespace tsl {
namespace {
FileSystem* g_current = nullptr;
}  // namespace

SysError FileSystem::ReadWholeFile(const std::string& path, std::string* content) {
  std::unique_ptr<ReadableFile> file;
  if (SysError e = OpenForReading(path, &file); e.failed()) return e;
  content->assign(file->Size(), '\0');
  std::size_t done = 0;
  while (done < content->size()) {
    std::size_t got = 0;
    if (SysError e = file->Read(content->data() + done, content->size() - done, &got); e.failed()) {
      return e;
    }
    if (got == 0) break;  // the file shrank while it was read
    done += got;
  }
  content->resize(done);
  return {};
}

FileSystem& Files() { return g_current ? *g_current : RealFileSystem(); }

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

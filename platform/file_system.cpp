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
    if (SysError e = file->Read(content->data() + done, content->size() - done, &got);
        e.failed()) {
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
// leads to the folder it points to; Windows resolves `..` in the text, so there the parent is the
// text's own.
SysError FolderAncestry(const std::string& folder, std::vector<FileIdentity>* ancestry) {
  ancestry->clear();
  constexpr std::size_t kMostLevels = 4096;  // deeper than any path a system accepts
  PathStyle style = NativePathStyle();
  std::string path = folder;
  while (ancestry->size() < kMostLevels) {
    FileIdentity identity;
    if (SysError e = Files().GetIdentity(path, &identity); e.failed()) return e;
    if (!ancestry->empty() && ancestry->back() == identity) return {};  // the root
    ancestry->push_back(identity);
    if (style == PathStyle::kPosix) {
      path = WithClosingSeparator(path, style) + "..";
    } else {
      std::string parent = FolderPart(path.size() > 1 && EndsWithSeparator(path, style)
                                          ? path.substr(0, path.size() - 1)
                                          : path,
                                      style);
      if (parent.empty() || parent == path) return {};
      path = parent;
    }
  }
  return {};
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

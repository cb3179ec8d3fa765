// The process-wide file service and its test seam.
#include "platform/file_system.h"

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

}  // namespace tsl

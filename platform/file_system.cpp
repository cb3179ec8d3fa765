// The process-wide file service and its test seam.
#include "platform/file_system.h"

namespace tsl {
namespace {
FileSystem* g_current = nullptr;
}  // namespace

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

// Version texts on Linux: only PE images carry a version resource; the portable reader finds it.
#include <memory>

#include "platform/file_system.h"
#include "platform/version_info.h"

namespace tsl {
namespace {
// Larger images are not read whole for the sake of a version text.
constexpr std::uint64_t kLargestImage = 512ull * 1024 * 1024;
}  // namespace

std::optional<std::string> FileVersionText(const std::string& path) {
  std::unique_ptr<ReadableFile> file;
  if (Files().OpenForReading(path, &file).failed()) return std::nullopt;
  char magic[2];
  std::size_t got = 0;
  if (file->Read(magic, sizeof magic, &got).failed() || got != 2 || magic[0] != 'M' ||
      magic[1] != 'Z' || file->Size() > kLargestImage) {
    return std::nullopt;
  }
  std::string image(file->Size(), '\0');
  std::size_t done = 0;
  if (file->Seek(0).failed()) return std::nullopt;
  while (done < image.size()) {
    if (file->Read(image.data() + done, image.size() - done, &got).failed() || got == 0) break;
    done += got;
  }
  image.resize(done);
  return PeFileVersion(image);
}

}  // namespace tsl

// MappedFile on Windows: a read-only view of a file mapping. While the view exists the system
// refuses to shorten the file, so the whole view stays readable.
#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/mapped_file.h"

namespace tsl {
namespace {

SysError LastError() { return NativeError(static_cast<int>(GetLastError())); }

// The program's paths are in the ANSI code page, as the file service's own (ANSI) calls take
// them; the wide calls get them converted from it.
bool ToWide(const std::string& path, std::wstring* wide) {
  int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
  if (length <= 0) return false;
  wide->assign(static_cast<std::size_t>(length), L'\0');
  return MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide->data(), length) == length;
}

}  // namespace

SysError MappedFile::OpenNative(const std::string& path) {
  std::wstring wide;
  if (!ToWide(path, &wide)) return LastError();
  // Opened as the file service opens a file for reading: a folder fails (access denied).
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastError();
  // The view stays valid once the file and the mapping are closed.
  struct Closer {
    HANDLE handle;
    ~Closer() { CloseHandle(handle); }
  } closer{file};
  // Pipes and devices have no size to map; an empty file cannot be mapped.
  LARGE_INTEGER file_size{};
  if (GetFileType(file) == FILE_TYPE_DISK && !GetFileSizeEx(file, &file_size)) return LastError();
  const bool known_size =
      file_size.QuadPart > 0 && static_cast<std::uint64_t>(file_size.QuadPart) <= SIZE_MAX;
  const std::size_t size = known_size ? static_cast<std::size_t>(file_size.QuadPart) : 0;
  if (known_size) {
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping) {
      void* at = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
      CloseHandle(mapping);
      if (at) {
        mapping_ = at;
        data_ = static_cast<const char*>(at);
        size_ = size;
        return {};
      }
    }
  }
  return ReadAll(
      [file](char* into, std::size_t most, std::size_t* got) -> SysError {
        DWORD chunk = most > 0x40000000 ? 0x40000000 : static_cast<DWORD>(most);
        DWORD n = 0;
        if (!ReadFile(file, into, chunk, &n, nullptr)) {
          *got = 0;
          // A pipe whose writer has closed its end: the end of the content.
          return GetLastError() == ERROR_BROKEN_PIPE ? SysError{} : LastError();
        }
        *got = n;
        return {};
      },
      known_size, size);
}

SysError MappedFile::PageFailure() const { return {}; }

void MappedFile::Release() {
  if (mapping_) UnmapViewOfFile(mapping_);
  mapping_ = nullptr;
  buffer_.reset();
  data_ = "";
  size_ = 0;
}

}  // namespace tsl

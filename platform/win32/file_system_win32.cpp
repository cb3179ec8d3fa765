// The real file service on Windows, through the ANSI file functions.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "platform/file_system.h"

namespace tsl {
namespace {

SysError LastError() { return NativeError(static_cast<int>(GetLastError())); }

FileTime TimeOf(const FILETIME& t) {
  return static_cast<FileTime>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) |
                               t.dwLowDateTime);
}

SysError Check(const CopyStepCheck& check, CopyStep step) {
  return check ? check(step) : SysError{};
}

// A temporary file of a copy: deleted again unless it was moved into place.
struct CopyTemporary {
  std::string path;
  bool placed = false;
  ~CopyTemporary() {
    if (path.empty() || placed) return;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);  // a read-only source made it so
    DeleteFileA(path.c_str());
  }
};

std::string FolderOf(const std::string& path) {
  std::string::size_type slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".\\") : path.substr(0, slash + 1);
}

// A handle that closes itself.
class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (valid()) CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// Opens a file or folder for no more than looking at it (or, with `access`, setting its
// attributes), following links unless `at_link`.
HANDLE OpenToLook(const std::string& path, DWORD access, bool at_link) {
  return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | (at_link ? FILE_FLAG_OPEN_REPARSE_POINT : 0),
                     nullptr);
}

bool NotFound(const SysError& e) { return e.kind == ErrorKind::kNotFound; }

// The fields of an entry from what the system says of the path itself. A reparse point (a
// symbolic link or a junction) is listed with the attributes, times and size of what it points
// to, keeping its own reparse-point bit; `*gone` when it points nowhere.
SysError FillEntry(const std::string& path, DWORD attributes, const FILETIME& created,
                   const FILETIME& accessed, const FILETIME& modified, std::uint64_t size,
                   DirEntry* entry, bool* gone) {
  *gone = false;
  entry->link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  entry->special = (attributes & FILE_ATTRIBUTE_DEVICE) != 0;
  entry->attributes = attributes;
  entry->created = TimeOf(created);
  entry->accessed = TimeOf(accessed);
  entry->modified = TimeOf(modified);
  entry->size = size;
  if (!entry->link) return {};
  Handle target(OpenToLook(path, 0, false));
  BY_HANDLE_FILE_INFORMATION info;
  if (!target.valid() || !GetFileInformationByHandle(target.get(), &info)) {
    SysError e = LastError();
    if (NotFound(e)) {
      *gone = true;
      return {};
    }
    return e;
  }
  entry->attributes = info.dwFileAttributes | FILE_ATTRIBUTE_REPARSE_POINT;
  entry->created = TimeOf(info.ftCreationTime);
  entry->accessed = TimeOf(info.ftLastAccessTime);
  entry->modified = TimeOf(info.ftLastWriteTime);
  entry->size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  return {};
}

// Creates an empty file in `folder` with a name that no other file there has:
// ".tsl-<process id>-<8 hexadecimal digits>.tmp", which scans know to pass over.
SysError ReserveTemporaryName(const std::string& folder, std::string* path) {
  static std::mt19937_64 random{[] {
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    return static_cast<std::uint64_t>(counter.QuadPart) ^ (std::uint64_t{GetCurrentProcessId()} << 32);
  }()};
  for (int attempt = 0; attempt < 100; ++attempt) {
    char middle[32];
    std::snprintf(middle, sizeof middle, "%lu-%08x",
                  static_cast<unsigned long>(GetCurrentProcessId()),
                  static_cast<unsigned>(random() & 0xFFFFFFFFu));
    std::string name = folder + ".tsl-" + middle + ".tmp";
    HANDLE created = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created != INVALID_HANDLE_VALUE) {
      CloseHandle(created);
      *path = name;
      return {};
    }
    DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
      return NativeError(static_cast<int>(error));
    }
  }
  return NativeError(ERROR_FILE_EXISTS);
}

class Win32ReadableFile : public ReadableFile {
 public:
  Win32ReadableFile(HANDLE handle, std::uint64_t size) : handle_(handle), size_(size) {}
  ~Win32ReadableFile() override { CloseHandle(handle_); }

  SysError Read(void* buffer, std::size_t size, std::size_t* got) override {
    DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD n = 0;
    if (!ReadFile(handle_, buffer, chunk, &n, nullptr)) {
      *got = 0;
      return LastError();
    }
    *got = n;
    return {};
  }
  std::uint64_t Size() const override { return size_; }
  SysError Seek(std::uint64_t offset) override {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN)) return LastError();
    return {};
  }

 private:
  HANDLE handle_;
  std::uint64_t size_;
};

SysError WriteAll(HANDLE handle, const char* data, std::size_t size) {
  while (size > 0) {
    DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD n = 0;
    if (!WriteFile(handle, data, chunk, &n, nullptr)) return LastError();
    data += n;
    size -= n;
  }
  return {};
}

class Win32WritableFile : public WritableFile {
 public:
  explicit Win32WritableFile(HANDLE handle) : handle_(handle) { buffer_.reserve(kBufferSize); }
  ~Win32WritableFile() override {
    if (handle_ != INVALID_HANDLE_VALUE) Close();
  }

  SysError Write(const void* data, std::size_t size) override {
    if (handle_ == INVALID_HANDLE_VALUE) return NativeError(ERROR_INVALID_HANDLE);
    const char* bytes = static_cast<const char*>(data);
    if (buffer_.size() + size > kBufferSize) {
      if (SysError e = Flush(); e.failed()) return e;
      if (size >= kBufferSize) return WriteAll(handle_, bytes, size);
    }
    buffer_.insert(buffer_.end(), bytes, bytes + size);
    return {};
  }

  SysError Flush() override {
    if (handle_ == INVALID_HANDLE_VALUE) return NativeError(ERROR_INVALID_HANDLE);
    SysError e = WriteAll(handle_, buffer_.data(), buffer_.size());
    buffer_.clear();
    return e;
  }

  SysError Close() override {
    if (handle_ == INVALID_HANDLE_VALUE) return NativeError(ERROR_INVALID_HANDLE);
    SysError flushed = Flush();
    BOOL closed = CloseHandle(handle_);
    SysError close_error = closed ? SysError{} : LastError();
    handle_ = INVALID_HANDLE_VALUE;
    return flushed.failed() ? flushed : close_error;
  }

 private:
  static constexpr std::size_t kBufferSize = 64 * 1024;
  HANDLE handle_;
  std::vector<char> buffer_;
};

class Win32FileSystem : public FileSystem {
 public:

  SysError OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>* file) override {
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle, &size)) {
      SysError e = LastError();
      CloseHandle(handle);
      return e;
    }
    *file = std::make_unique<Win32ReadableFile>(handle, static_cast<std::uint64_t>(size.QuadPart));
    return {};
  }

  SysError OpenForWriting(const std::string& path, WriteMode mode,
                          std::unique_ptr<WritableFile>* file) override {
    DWORD disposition = mode == WriteMode::kReplace  ? CREATE_ALWAYS
                        : mode == WriteMode::kAppend ? OPEN_ALWAYS
                                                     : CREATE_NEW;
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    if (mode == WriteMode::kAppend) {
      LARGE_INTEGER zero{};
      if (!SetFilePointerEx(handle, zero, nullptr, FILE_END)) {
        SysError e = LastError();
        CloseHandle(handle);
        return e;
      }
    }
    *file = std::make_unique<Win32WritableFile>(handle);
    return {};
  }

  SysError ListFolder(const std::string& folder, std::vector<DirEntry>* entries) override {
    entries->clear();
    std::string pattern = folder;
    if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
      SysError e = LastError();
      return e.kind == ErrorKind::kNotFound ? SysError{} : e;  // an empty drive root
    }
    SysError failure;
    do {
      if (std::strcmp(data.cFileName, ".") == 0 || std::strcmp(data.cFileName, "..") == 0) {
        continue;
      }
      DirEntry entry;
      entry.name = data.cFileName;
      bool gone = false;
      failure = FillEntry(pattern.substr(0, pattern.size() - 1) + data.cFileName,
                          data.dwFileAttributes, data.ftCreationTime, data.ftLastAccessTime,
                          data.ftLastWriteTime,
                          (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) |
                              data.nFileSizeLow,
                          &entry, &gone);
      if (failure.failed()) break;
      if (!gone) entries->push_back(std::move(entry));
    } while (FindNextFileA(find, &data));
    SysError e = failure.failed() ? failure : LastError();
    FindClose(find);
    if (failure.failed() || e.code != ERROR_NO_MORE_FILES) {
      entries->clear();  // a part of a folder is never passed off as the whole
      return e;
    }
    return {};
  }

  SysError ListSubfolders(const std::string& folder, std::vector<DirEntry>* folders,
                          bool* holds_others) override {
    SysError e = ListFolder(folder, folders);
    auto others = std::remove_if(folders->begin(), folders->end(),
                                 [](const DirEntry& entry) { return !entry.is_folder(); });
    *holds_others = others != folders->end();
    folders->erase(others, folders->end());
    return e;
  }

  SysError GetEntry(const std::string& path, DirEntry* entry) override {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return LastError();
    std::string::size_type slash = path.find_last_of("\\/");
    entry->name = slash == std::string::npos ? path : path.substr(slash + 1);
    bool gone = false;
    if (SysError e = FillEntry(path, data.dwFileAttributes, data.ftCreationTime,
                               data.ftLastAccessTime, data.ftLastWriteTime,
                               (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) |
                                   data.nFileSizeLow,
                               entry, &gone);
        e.failed()) {
      return e;
    }
    if (gone) return NativeError(ERROR_FILE_NOT_FOUND);
    return {};
  }

  // Folders open only with backup semantics; nothing is read or written through the handle.
  SysError GetIdentity(const std::string& path, FileIdentity* identity) override {
    HANDLE handle = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    BY_HANDLE_FILE_INFORMATION info;
    bool got = GetFileInformationByHandle(handle, &info) != 0;
    SysError error = got ? SysError{} : LastError();
    CloseHandle(handle);
    if (!got) return error;
    identity->volume = info.dwVolumeSerialNumber;
    identity->index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return {};
  }

  SysError GetAttributes(const std::string& path, std::uint32_t* attributes) override {
    DWORD value = GetFileAttributesA(path.c_str());
    if (value == INVALID_FILE_ATTRIBUTES) return LastError();
    *attributes = value;
    return {};
  }

  // Nothing is changed through a reparse point: its own attributes are set through a handle
  // opened at it. Where the system opens what it points to all the same (Wine does, for unix
  // symbolic links), the handle names the same file as one that follows it, and nothing is set:
  // like a POSIX link, such a link has no attributes of its own.
  SysError SetAttributes(const std::string& path, std::uint32_t attributes) override {
    DWORD now = GetFileAttributesA(path.c_str());
    if (now == INVALID_FILE_ATTRIBUTES) return LastError();
    if (!(now & FILE_ATTRIBUTE_REPARSE_POINT)) {
      if (!SetFileAttributesA(path.c_str(), attributes)) return LastError();
      return {};
    }
    Handle at_link(OpenToLook(path, FILE_WRITE_ATTRIBUTES, true));
    if (!at_link.valid()) return LastError();
    BY_HANDLE_FILE_INFORMATION own, target;
    if (!GetFileInformationByHandle(at_link.get(), &own)) return LastError();
    Handle followed(OpenToLook(path, 0, false));
    bool same = followed.valid() && GetFileInformationByHandle(followed.get(), &target) &&
                own.dwVolumeSerialNumber == target.dwVolumeSerialNumber &&
                own.nFileIndexHigh == target.nFileIndexHigh &&
                own.nFileIndexLow == target.nFileIndexLow;
    if (same || !(own.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) return {};
    FILE_BASIC_INFO basic{};  // times of 0 stay as they are
    basic.FileAttributes = (attributes & ~(FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) |
                           (own.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    if (!SetFileInformationByHandle(at_link.get(), FileBasicInfo, &basic, sizeof basic)) {
      return LastError();
    }
    return {};
  }

  SysError SetTimes(const std::string& path, FileTime accessed, FileTime modified) override {
    // At a reparse point, its own times: nothing is changed through a link.
    HANDLE handle = OpenToLook(path, FILE_WRITE_ATTRIBUTES, true);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    auto to_filetime = [](FileTime t) {
      FILETIME f;
      f.dwLowDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(t) & 0xFFFFFFFFu);
      f.dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(t) >> 32);
      return f;
    };
    FILETIME a = to_filetime(accessed), m = to_filetime(modified);
    BOOL done = SetFileTime(handle, nullptr, accessed ? &a : nullptr, modified ? &m : nullptr);
    SysError e = done ? SysError{} : LastError();
    CloseHandle(handle);
    return e;
  }

  std::string CurrentFolder() override {
    DWORD length = GetCurrentDirectoryA(0, nullptr);
    std::string folder(length, '\0');
    length = GetCurrentDirectoryA(length, folder.data());
    folder.resize(length);
    return folder;
  }

  std::string TempFolder() override {
    char buffer[MAX_PATH + 1];
    DWORD length = GetTempPathA(sizeof buffer, buffer);
    std::string folder(buffer, length > MAX_PATH ? 0 : length);
    if (folder.empty()) folder = "C:\\";
    if (folder.back() != '\\') folder += '\\';
    return folder;
  }

  SysError CreateTempFile(const std::string& folder, const std::string& prefix,
                          std::string* path) override {
    char buffer[MAX_PATH + 1];
    if (!GetTempFileNameA(folder.c_str(), prefix.c_str(), 0, buffer)) return LastError();
    *path = buffer;
    return {};
  }

  SysError RemoveFile(const std::string& path) override {
    if (!DeleteFileA(path.c_str())) {
      SysError e = LastError();
      if (e.kind != ErrorKind::kNotFound) return e;
    }
    return {};
  }

  SysError MakeFolder(const std::string& path) override {
    if (!CreateDirectoryA(path.c_str(), nullptr)) return LastError();
    return {};
  }

  SysError RemoveFolder(const std::string& path) override {
    if (!RemoveDirectoryA(path.c_str())) return LastError();
    return {};
  }

  SysError Rename(const std::string& from, const std::string& to, bool replace) override {
    DWORD flags = MOVEFILE_COPY_ALLOWED | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (!MoveFileExA(from.c_str(), to.c_str(), flags)) return LastError();
    return {};
  }

  // The system's copy (data, attributes, last write time) into a temporary file beside the
  // target, moved over the target when complete, so that a failed copy leaves the target as it
  // was. A replaced target is given up only once the move has reached the disk.
  SysError CopyFileKeepingTimes(const std::string& from, const std::string& to, CopyMode mode,
                                const CopyStepCheck& check) override {
    if (SysError e = Check(check, CopyStep::kOpenSource); e.failed()) return e;
    DWORD source = GetFileAttributesA(from.c_str());
    if (source == INVALID_FILE_ATTRIBUTES) return LastError();
    if (source & FILE_ATTRIBUTE_DIRECTORY) return NativeError(ERROR_ACCESS_DENIED);
    bool exists = GetFileAttributesA(to.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (mode == CopyMode::kFailIfExists && exists) return NativeError(ERROR_FILE_EXISTS);
    if (SysError e = Check(check, CopyStep::kCreateTemporary); e.failed()) return e;
    CopyTemporary temporary;
    if (SysError e = ReserveTemporaryName(FolderOf(to), &temporary.path); e.failed()) return e;
    // The copy makes the file anew, so that it takes the source's attributes: the name is only
    // reserved here.
    DeleteFileA(temporary.path.c_str());
    if (SysError e = Check(check, CopyStep::kCopyData); e.failed()) return e;
    if (!CopyFileA(from.c_str(), temporary.path.c_str(), TRUE)) return LastError();
    if (mode == CopyMode::kReplaceContent && exists) {
      DWORD target = GetFileAttributesA(to.c_str());
      if (target == INVALID_FILE_ATTRIBUTES) return LastError();
      // The attributes a file may be given (not its kind: folder, link, compression ...).
      constexpr DWORD kSettable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_OFFLINE;
      DWORD settable = target & kSettable;
      if (settable == 0) settable = FILE_ATTRIBUTE_NORMAL;
      if (!SetFileAttributesA(temporary.path.c_str(), settable)) {
        return LastError();
      }
    }
    if (SysError e = Check(check, CopyStep::kPlace); e.failed()) return e;
    DWORD flags = mode != CopyMode::kFailIfExists ? MOVEFILE_REPLACE_EXISTING : 0;
    if (exists) flags |= MOVEFILE_WRITE_THROUGH;
    if (!MoveFileExA(temporary.path.c_str(), to.c_str(), flags)) return LastError();
    temporary.placed = true;
    return {};
  }
};

}  // namespace

FileSystem& SystemFileSystem() {
  static Win32FileSystem instance;
  return instance;
}

SysError MakeExecutable(const std::string&) { return {}; }

}  // namespace tsl

// GetLastError() codes to SysError: the one place where Windows error codes get a meaning.
#include <windows.h>

#include "platform/error.h"

namespace tsl {

SysError NativeError(int code) {
  ErrorKind kind = ErrorKind::kOther;
  switch (static_cast<DWORD>(code)) {
    case ERROR_SUCCESS:
      kind = ErrorKind::kNone;
      break;
    case ERROR_FILE_NOT_FOUND:
      kind = ErrorKind::kNotFound;
      break;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_PATHNAME:
      kind = ErrorKind::kPathNotFound;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      kind = ErrorKind::kAccessDenied;
      break;
    case ERROR_SHARING_VIOLATION:
      kind = ErrorKind::kSharingViolation;
      break;
    case ERROR_LOCK_VIOLATION:
      kind = ErrorKind::kLockViolation;
      break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      kind = ErrorKind::kDiskFull;
      break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      kind = ErrorKind::kAlreadyExists;
      break;
    case ERROR_TOO_MANY_OPEN_FILES:
      kind = ErrorKind::kTooManyOpenFiles;
      break;
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_DIRECTORY:
      kind = ErrorKind::kInvalidPath;
      break;
    case ERROR_DIR_NOT_EMPTY:
      kind = ErrorKind::kNotEmpty;
      break;
    case ERROR_CRC:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_IO_DEVICE:
      kind = ErrorKind::kIo;
      break;
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_NETWORK_UNREACHABLE:
    case ERROR_HOST_UNREACHABLE:
      kind = ErrorKind::kUnreachable;
      break;
    default:
      break;
  }
  SysError error;
  error.kind = kind;
  error.code = code;
  return error;
}

SysError ErrorOfKind(ErrorKind kind) {
  DWORD code = 0;
  switch (kind) {
    case ErrorKind::kNone: code = ERROR_SUCCESS; break;
    case ErrorKind::kNotFound: code = ERROR_FILE_NOT_FOUND; break;
    case ErrorKind::kPathNotFound: code = ERROR_PATH_NOT_FOUND; break;
    case ErrorKind::kAccessDenied: code = ERROR_ACCESS_DENIED; break;
    case ErrorKind::kSharingViolation: code = ERROR_SHARING_VIOLATION; break;
    case ErrorKind::kLockViolation: code = ERROR_LOCK_VIOLATION; break;
    case ErrorKind::kDiskFull: code = ERROR_DISK_FULL; break;
    case ErrorKind::kAlreadyExists: code = ERROR_ALREADY_EXISTS; break;
    case ErrorKind::kTooManyOpenFiles: code = ERROR_TOO_MANY_OPEN_FILES; break;
    case ErrorKind::kInvalidPath: code = ERROR_INVALID_NAME; break;
    case ErrorKind::kNotEmpty: code = ERROR_DIR_NOT_EMPTY; break;
    case ErrorKind::kIo: code = ERROR_IO_DEVICE; break;
    case ErrorKind::kUnreachable: code = ERROR_BAD_NETPATH; break;
    case ErrorKind::kOther: code = ERROR_GEN_FAILURE; break;
  }
  SysError error;
  error.kind = kind;
  error.code = static_cast<int>(code);
  return error;
}

std::string SystemErrorText(int code) {
  char* text = nullptr;
  DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
      reinterpret_cast<char*>(&text), 0, nullptr);
  std::string result = length && text ? std::string(text, length) : std::string();
  if (text) LocalFree(text);
  while (!result.empty() && (result.back() == ' ' || result.back() == '\n' ||
                             result.back() == '\r' || result.back() == '\t')) {
    result.pop_back();
  }
  return result;
}

}  // namespace tsl

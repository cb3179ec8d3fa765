// errno to SysError: the one place where POSIX error codes are given a meaning.
#include <cerrno>
#include <cstring>

#include "platform/error.h"

namespace tsl {

SysError NativeError(int code) {
  ErrorKind kind = ErrorKind::kOther;
  switch (code) {
    case 0:
      kind = ErrorKind::kNone;
      break;
    case ENOENT:
      kind = ErrorKind::kNotFound;
      break;
    case ENOTDIR:
      kind = ErrorKind::kPathNotFound;
      break;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      kind = ErrorKind::kAccessDenied;
      break;
    case EBUSY:
    case ETXTBSY:
      kind = ErrorKind::kSharingViolation;
      break;
    case ENOLCK:
    case EDEADLK:
      kind = ErrorKind::kLockViolation;
      break;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      kind = ErrorKind::kDiskFull;
      break;
    case EEXIST:
      kind = ErrorKind::kAlreadyExists;
      break;
    case EMFILE:
    case ENFILE:
      kind = ErrorKind::kTooManyOpenFiles;
      break;
    case ENAMETOOLONG:
    case EINVAL:
    case ELOOP:
      kind = ErrorKind::kInvalidPath;
      break;
    case ENOTEMPTY:
      kind = ErrorKind::kNotEmpty;
      break;
    case EIO:
      kind = ErrorKind::kIo;
      break;
    case ENETUNREACH:
    case EHOSTUNREACH:
    case ECONNREFUSED:
    case ETIMEDOUT:
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
  int code = 0;
  switch (kind) {
    case ErrorKind::kNone: code = 0; break;
    case ErrorKind::kNotFound: code = ENOENT; break;
    case ErrorKind::kPathNotFound: code = ENOTDIR; break;
    case ErrorKind::kAccessDenied: code = EACCES; break;
    case ErrorKind::kSharingViolation: code = EBUSY; break;
    case ErrorKind::kLockViolation: code = ENOLCK; break;
    case ErrorKind::kDiskFull: code = ENOSPC; break;
    case ErrorKind::kAlreadyExists: code = EEXIST; break;
    case ErrorKind::kTooManyOpenFiles: code = EMFILE; break;
    case ErrorKind::kInvalidPath: code = ENAMETOOLONG; break;
    case ErrorKind::kNotEmpty: code = ENOTEMPTY; break;
    case ErrorKind::kIo: code = EIO; break;
    case ErrorKind::kUnreachable: code = EHOSTUNREACH; break;
    case ErrorKind::kOther: code = EPROTO; break;
  }
  SysError error;
  error.kind = kind;
  error.code = code;
  return error;
}

std::string SystemErrorText(int code) {
  char buffer[256];
  // GNU strerror_r may return a static string instead of filling the buffer.
  const char* text = strerror_r(code, buffer, sizeof buffer);
  std::string result = text ? text : "";
  while (!result.empty() && (result.back() == ' ' || result.back() == '\n' ||
                             result.back() == '\r' || result.back() == '\t')) {
    result.pop_back();
  }
  return result;
}

}  // namespace tsl

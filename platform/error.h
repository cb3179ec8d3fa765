// System failures in a portable form. Each platform converts its native error codes (errno,
// GetLastError) into a SysError in exactly one place, so callers never see native codes' meaning.
#pragma once

#include <string>

namespace tsl {

/// The classes of failure that callers react to differently.
enum class ErrorKind {
  kNone,
  kNotFound,          // the file or key does not exist
  kPathNotFound,      // a folder on the way does not exist
  kAccessDenied,
  kSharingViolation,  // another process holds the file open
  kLockViolation,
  kDiskFull,
  kAlreadyExists,
  kTooManyOpenFiles,
  kInvalidPath,
  kNotEmpty,  // a folder that still holds entries
  kIo,        // a hardware or transport error
  kUnreachable,  // another machine that cannot be reached
  kOther,
};

/// A failed (or successful) system call: the portable kind and the native code, and what was
/// being done to which path, so that whoever reports the failure can say so.
struct SysError {
  ErrorKind kind = ErrorKind::kNone;
  int code = 0;  // errno on POSIX, GetLastError() on Windows
  /// The call that failed ("ListFolder", "Rename" ...) and the path it was given (for a rename,
  /// the path being renamed); empty on success and where the failure came without them.
  const char* operation = "";
  std::string path;

  bool failed() const { return kind != ErrorKind::kNone; }
  bool ok() const { return kind == ErrorKind::kNone; }
};

/// `error` with its operation and path, when it is a failure that does not carry them yet.
SysError InContext(SysError error, const char* operation, const std::string& path);

/// Classifies a native error code; 0 is success.
SysError NativeError(int code);

/// The native code that stands for a kind on this platform (for fault injection and tests).
SysError ErrorOfKind(ErrorKind kind);

/// The system's message text for a native error code, trailing white space removed; empty when
/// the system has none.
std::string SystemErrorText(int code);

}  // namespace tsl

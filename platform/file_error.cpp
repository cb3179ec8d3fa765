#include "platform/file_error.h"

namespace tsl {
namespace {

const char* TemplateFor(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::kNotFound:
      return "%1 was not found.";
    case ErrorKind::kPathNotFound:
    case ErrorKind::kInvalidPath:
      return "%1 contains an invalid path.";
    case ErrorKind::kAccessDenied:
      return "Access to %1 was denied.";
    case ErrorKind::kSharingViolation:
      return "A sharing violation occurred while accessing %1.";
    case ErrorKind::kLockViolation:
      return "A locking violation occurred while accessing %1.";
    case ErrorKind::kDiskFull:
      return "Disk full while accessing %1.";
    case ErrorKind::kAlreadyExists:
      return "%1 already exists.";
    case ErrorKind::kTooManyOpenFiles:
      return "%1 could not be opened because there are too many open files.";
    case ErrorKind::kNotEmpty:
      return "%1 could not be removed because it is not empty.";
    case ErrorKind::kIo:
      return "A hardware I/O error was reported while accessing %1.";
    case ErrorKind::kUnreachable:
      return "%1 could not be reached.";
    case ErrorKind::kNone:
    case ErrorKind::kOther:
      break;
  }
  return "An unknown error occurred while accessing %1.";
}

}  // namespace

std::string StandardFileErrorText(const SysError& error, const std::string& path) {
  std::string text = TemplateFor(error.kind);
  std::string::size_type at = text.find("%1");
  text.replace(at, 2, path);
  return text;
}

std::string StandardFileErrorText(const SysError& error) {
  return StandardFileErrorText(error, error.path);
}

}  // namespace tsl

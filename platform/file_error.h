// File errors as exceptions that carry the cause and the path, and the standard texts that the
// program shows for them.
#pragma once

#include <stdexcept>
#include <string>

#include "platform/error.h"

namespace tsl {

class FileError : public std::runtime_error {
 public:
  FileError(SysError error, std::string path);

  const SysError& error() const { return error_; }
  const std::string& path() const { return path_; }

  /// The standard text for the cause with the path in place of %1, for example
  /// "Access to C:\x.txt was denied.".
  std::string StandardMessage() const;

 private:
  SysError error_;
  std::string path_;
};

/// The standard text for a failure with `path` standing for %1.
std::string StandardFileErrorText(const SysError& error, const std::string& path);

/// Throws FileError when `error` is a failure.
void ThrowIfFailed(const SysError& error, const std::string& path);

}  // namespace tsl

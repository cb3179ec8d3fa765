// The standard texts that the program shows for file errors.
#pragma once

#include <string>

#include "platform/error.h"

namespace tsl {

/// The standard text for a failure with `path` standing for %1.
std::string StandardFileErrorText(const SysError& error, const std::string& path);

/// The standard text for a failure with the path it carries standing for %1.
std::string StandardFileErrorText(const SysError& error);

}  // namespace tsl

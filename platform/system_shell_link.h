// Shell links through the system's own shell link object: on Windows the shell's IShellLinkA
// with IPersistFile; Linux has none (kUnavailable). The tests use it as a second reader and
// writer of the links our codec reads and writes.
#pragma once

#include <cstdint>
#include <string>

namespace tsl {

/// The fields of a link as the shell link object gives them (ANSI, at most 259 characters).
struct SystemLinkFields {
  std::string path;  // the network form preferred
  std::string working_folder;
  std::string description;
  std::string arguments;
  std::string icon_file;
  int icon_index = 0;
  std::uint16_t hot_key = 0;
  int show_command = 1;
};

enum class SystemLinkStatus {
  kOk,
  kUnavailable,     // no shell link object on this system
  kNotFound,        // the file does not exist
  kGeneralFailure,  // the object refused the file (not a link, damaged)
  kOutOfMemory,
  kOther,
};

/// Loads a link with the shell link object (OLE must be initialised: ProcessServices).
SystemLinkStatus ReadSystemLink(const std::string& path, SystemLinkFields* fields);
/// Makes a new link with every field set and saves it at `path`.
SystemLinkStatus WriteSystemLink(const std::string& path, const SystemLinkFields& fields);

}  // namespace tsl

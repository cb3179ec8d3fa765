// Shell links through the system's own shell link object: on Windows the shell's IShellLinkA
// with IPersistFile and IExtractIconA; Linux has none (kUnavailable, no object). The shortcut
// job works on links through it on Windows; the tests also use it as a second reader and writer
// of the links our codec reads and writes.
#pragma once

#include <cstdint>
#include <memory>
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

/// One shell link object (OLE must be initialised): a link loaded from a file, its fields read
/// and set, and saved back to that file. Texts are ANSI, at most 259 characters.
class SystemShellLink {
 public:
  virtual ~SystemShellLink() = default;
  /// Loads for reading and writing, shared with no one.
  virtual SystemLinkStatus Load(const std::string& path) = 0;
  virtual bool GetPath(std::string* path) = 0;  // the network form preferred
  virtual bool GetWorkingFolder(std::string* folder) = 0;
  virtual bool GetDescription(std::string* text) = 0;
  virtual bool GetArguments(std::string* arguments) = 0;
  virtual bool GetHotKey(std::uint16_t* hot_key) = 0;
  virtual bool GetShowCommand(int* show_command) = 0;
  virtual bool GetIconLocation(std::string* file, int* index) = 0;
  /// The icon location the link's icon extractor gives.
  virtual bool ExtractorIconLocation(std::string* file, int* index) = 0;
  virtual bool SetPath(const std::string& path) = 0;
  virtual bool SetWorkingFolder(const std::string& folder) = 0;
  virtual bool SetArguments(const std::string& arguments) = 0;
  virtual bool SetIconLocation(const std::string& file, int index) = 0;
  /// Saves to the file loaded, which stays the link's file.
  virtual bool Save() = 0;
};

/// A new shell link object; null when the system has none or it cannot be created.
std::unique_ptr<SystemShellLink> CreateSystemShellLink();

/// The number of icons the system finds in a file (an icon file, a program or library); 0 for
/// none or a missing file.
int SystemIconCount(const std::string& path);

}  // namespace tsl

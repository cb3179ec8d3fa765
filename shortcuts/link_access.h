// How the shortcut engine reaches shell links: load one, read and set the fields it works on,
// save it. Two implementations: our own codec (every platform) and the system's shell link
// object where there is one; the system one checks every file with the codec first, so that a
// damaged link never reaches the system's reader.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tsl {

enum class LinkLoad { kOk, kNotFound, kGeneralFailure, kOutOfMemory, kOther };

/// Fields are texts of at most kMaxLinkField characters, as the shell link object gives them.
inline constexpr std::size_t kMaxLinkField = 259;

class LinkAccess {
 public:
  virtual ~LinkAccess() = default;
  /// Loads the link at `path`, forgetting the one loaded before.
  virtual LinkLoad Load(const std::string& path) = 0;
  /// Each false when the field cannot be read.
  virtual bool GetPath(std::string* path) = 0;  // the network form preferred
  virtual bool GetWorkingFolder(std::string* folder) = 0;
  virtual bool GetDescription(std::string* text) = 0;
  virtual bool GetArguments(std::string* arguments) = 0;
  virtual bool GetHotKey(std::uint16_t* hot_key) = 0;
  virtual bool GetShowCommand(int* show_command) = 0;
  virtual bool GetIconLocation(std::string* file, int* index) = 0;
  /// The icon the link's icon extractor names (for a link without an icon location).
  virtual bool ExtractorIconLocation(std::string* file, int* index) = 0;
  /// How many icons a file (a path of this system) offers; 0 when none or missing.
  virtual int IconCount(const std::string& file) = 0;
  virtual bool SetPath(const std::string& path) = 0;
  virtual bool SetWorkingFolder(const std::string& folder) = 0;
  virtual bool SetArguments(const std::string& arguments) = 0;
  virtual bool SetIconLocation(const std::string& file, int index) = 0;
  /// Writes the loaded link back to the path it was loaded from.
  virtual bool Save() = 0;
};

/// Links through our own codec.
std::unique_ptr<LinkAccess> MakeCodecLinkAccess();
/// The system's shell link object where there is one (checked by the codec first), else the
/// codec.
std::unique_ptr<LinkAccess> MakeLinkAccess();

}  // namespace tsl

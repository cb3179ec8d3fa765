// Shell link files (.lnk) read and written by our own code: the header, the link target ID list,
// the link info with its local and network paths, the string data and the extra data blocks.
//
// What the shortcut job reads and changes is modelled; everything else is kept as the bytes read,
// so that a link written back differs from the one read only in the fields that were set. Every
// offset and count read from a file is checked against the size of what holds it: a damaged link
// is a kDamaged result, never a read past the end.
//
// Strings are ANSI (the system's code page) at the interface. In the file they are ANSI or
// UTF-16LE as the link's IsUnicode flag says, and are kept in that encoding.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"

namespace tsl {

/// Bits of the link flags (the header's fourth field).
namespace link_flag {
inline constexpr std::uint32_t kHasIdList = 0x1;
inline constexpr std::uint32_t kHasLinkInfo = 0x2;
inline constexpr std::uint32_t kHasName = 0x4;
inline constexpr std::uint32_t kHasRelativePath = 0x8;
inline constexpr std::uint32_t kHasWorkingDir = 0x10;
inline constexpr std::uint32_t kHasArguments = 0x20;
inline constexpr std::uint32_t kHasIconLocation = 0x40;
inline constexpr std::uint32_t kIsUnicode = 0x80;
/// The lowest bit of the byte at offset 21: the link-tracking information is not to be used.
inline constexpr std::uint32_t kForceNoLinkInfo = 0x100;
inline constexpr std::uint32_t kHasExpString = 0x200;
inline constexpr std::uint32_t kHasExpIcon = 0x4000;
}  // namespace link_flag

/// Signatures of the extra data blocks the codec looks into.
namespace link_block {
inline constexpr std::uint32_t kEnvironment = 0xA0000001;  // the target with %NAME% references
inline constexpr std::uint32_t kTracker = 0xA0000003;
inline constexpr std::uint32_t kSpecialFolder = 0xA0000005;
inline constexpr std::uint32_t kIconEnvironment = 0xA0000007;  // the icon file, likewise
inline constexpr std::uint32_t kKnownFolder = 0xA000000B;
inline constexpr std::uint32_t kVistaIdList = 0xA000000C;
}  // namespace link_block

inline constexpr std::size_t kLinkHeaderSize = 0x4C;
/// The offset of the byte whose lowest bit is link_flag::kForceNoLinkInfo.
inline constexpr std::size_t kTrackingByteOffset = 21;

struct LinkHeader {
  std::uint32_t flags = 0;
  std::uint32_t attributes = 0;
  std::uint64_t created = 0;  // file times of the target: 100 ns units since 1601
  std::uint64_t accessed = 0;
  std::uint64_t written = 0;
  std::uint32_t file_size = 0;
  std::int32_t icon_index = 0;
  std::uint32_t show_command = 1;  // SW_SHOWNORMAL
  std::uint16_t hot_key = 0;       // low byte the key, high byte the modifiers
  std::uint16_t reserved1 = 0;
  std::uint32_t reserved2 = 0;
  std::uint32_t reserved3 = 0;
};

/// What the link info says about the target. Unicode texts are given in ANSI; a text missing
/// from the file is empty.
struct LinkInfoFields {
  std::string local_base_path;
  std::string common_path_suffix;
  bool has_network = false;
  std::string net_name;     // \\server\share
  std::string device_name;  // the drive letter it was mapped to (Z:), when known
  std::string volume_id;    // the VolumeID structure's bytes (drive type, serial, label)
};

/// One extra data block, whole: its size and signature fields included.
struct LinkExtraBlock {
  std::uint32_t signature = 0;
  std::string bytes;
};

enum class LinkError {
  kNone,
  kNotFound,  // the file does not exist
  kDamaged,   // not a shell link, or one whose structures do not fit (a general failure)
  kOther,     // the file could not be read for another reason
};

/// A shell link held in memory.
class ShellLink {
 public:
  /// Reads a link from its bytes; kDamaged when they are not a whole, consistent shell link.
  static LinkError Parse(std::string_view bytes, ShellLink* link);
  /// The link as bytes: the parts read and not changed come out as they went in.
  std::string Serialize() const;

  const LinkHeader& header() const { return header_; }
  const std::string& id_list() const { return id_list_; }  // the items and terminal, no size
  const std::optional<LinkInfoFields>& link_info() const { return info_; }
  const std::vector<LinkExtraBlock>& extra_blocks() const { return blocks_; }
  bool unicode() const { return (header_.flags & link_flag::kIsUnicode) != 0; }

  /// The target path with the network form preferred: from the environment block when the link
  /// has one (%NAME% references left as they are), else from the link info (network name and
  /// suffix, or local base path and suffix), else from the ID list when its items are a drive
  /// and plain file system entries; empty when none of these gives one.
  std::string Path() const;
  std::string Description() const { return StringField(kName); }
  std::string RelativePath() const { return StringField(kRelativePath); }
  std::string WorkingFolder() const { return StringField(kWorkingDir); }
  std::string Arguments() const { return StringField(kArguments); }
  /// The icon file: from the icon environment block when the link has one, else the string.
  std::string IconFile() const;
  int IconIndex() const { return header_.icon_index; }
  std::uint16_t HotKey() const { return header_.hot_key; }
  int ShowCommand() const { return static_cast<int>(header_.show_command); }

  /// Points the link at another target. The ID list, the relative path and the blocks that
  /// describe the old target (environment, tracker, special and known folder, alternate ID
  /// list) are dropped; the header's attributes, times and size stay as they were; the link
  /// info is made anew from the path (a \\server\share path as its network part, any other path
  /// as its local base path; the old volume ID is kept when the drive letter is the same). A path
  /// holding `%` goes into an environment block instead, without link info.
  void SetPath(const std::string& path);
  /// An empty text removes the field.
  void SetWorkingFolder(const std::string& folder) { SetStringField(kWorkingDir, folder); }
  void SetArguments(const std::string& arguments) { SetStringField(kArguments, arguments); }
  void SetDescription(const std::string& text) { SetStringField(kName, text); }
  void SetRelativePath(const std::string& path) { SetStringField(kRelativePath, path); }
  /// Sets the icon string and index; an icon environment block, when the link has one, gets the
  /// same file.
  void SetIconLocation(const std::string& file, int index);
  void SetHotKey(std::uint16_t hot_key) { header_.hot_key = hot_key; }
  void SetShowCommand(int show_command) {
    header_.show_command = static_cast<std::uint32_t>(show_command);
  }
  /// Sets or clears a header flag bit that no field stands for (kForceNoLinkInfo, ...).
  void SetFlag(std::uint32_t bit, bool on);
  /// Unknown blocks are appended before the terminal block as given (for tests and tools).
  void AddExtraBlock(LinkExtraBlock block) { blocks_.push_back(std::move(block)); }

  /// A new, empty link; `unicode` chooses the encoding of its strings.
  static ShellLink Empty(bool unicode);

  /// True when the link points at a network path: its link info has a network part, or one of
  /// its texts (strings, link info paths, environment blocks) holds a `\\`.
  bool PointsToNetwork() const;

 private:
  enum StringIndex { kName, kRelativePath, kWorkingDir, kArguments, kIconLocation, kStringCount };
  static std::uint32_t FlagOf(int index) { return link_flag::kHasName << index; }
  std::string StringField(int index) const;
  void SetStringField(int index, const std::string& value);
  std::string EncodeText(const std::string& text) const;
  const LinkExtraBlock* FindBlock(std::uint32_t signature) const;
  void DropBlock(std::uint32_t signature);

  LinkHeader header_;
  std::string id_list_;
  std::optional<LinkInfoFields> info_;
  std::string info_bytes_;             // the link info as read; empty once the path is set anew
  std::string strings_[kStringCount];  // each in the file's encoding, as many bytes as read
  std::vector<LinkExtraBlock> blocks_;
  std::string terminal_ = std::string(4, '\0');  // the terminal block's size field as read
  std::string trailer_;                          // whatever follows the terminal block
};

/// Reads a link file. A missing file is kNotFound; one that is not a shell link (an Internet
/// shortcut's text, garbage, a truncated link) is kDamaged.
LinkError LoadShellLink(const std::string& path, ShellLink* link);
/// Writes a link to a temporary file beside `path` that then replaces it, so that the link is
/// either the old one or the whole new one.
SysError SaveShellLink(const std::string& path, const ShellLink& link);
/// Writes bytes the same way (for the tracking switch, which edits one byte of the file).
SysError ReplaceFileContent(const std::string& path, std::string_view content);

/// What SetLinkTracking did with a file.
enum class TrackingChange {
  kNotALink,     // missing, unreadable, not a shell link or damaged: left as it is
  kUnchanged,    // the bit already had the asked value
  kLocal,        // the link does not point at a network path: left as it is
  kChanged,      // the bit was switched, every other byte kept
  kWriteFailed,  // the switched file could not be written: left as it is
};

/// Forbids (`forbidden`) or allows the use of the link-tracking information of a network link:
/// the lowest bit of the byte at offset 21, in a file that parses as a whole shell link.
TrackingChange SetLinkTracking(const std::string& path, bool forbidden);

/// True when the bytes begin with the shell link header: its size field 0x4C and the link CLSID.
bool HasShellLinkHeader(std::string_view bytes);
/// The lowest bit of the byte at offset 21 (false when the bytes are too short).
bool TrackingForbidden(std::string_view bytes);
/// Sets or clears that bit, keeping the other bits; false when the bytes are too short.
bool SetTrackingForbidden(std::string* bytes, bool forbidden);

}  // namespace tsl

// The shell link codec. Layout of a link file, all numbers little-endian:
//   header (0x4C bytes) | [ID list: u16 size, items, u16 0] | [link info: u32 size, ...]
//   | [strings: u16 count, count characters] x the flagged ones, in a fixed order
//   | extra blocks (u32 size >= 8, u32 signature, data) ... | terminal (u32 below 4) | rest
#include "shortcuts/shell_link.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "platform/byte_reader.h"
#include "platform/code_page.h"
#include "platform/file_system.h"

namespace tsl {
namespace {

constexpr std::array<unsigned char, 16> kLinkClsid = {
    0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
// The ID list item of "My Computer", under which drives and their files are found.
constexpr std::array<unsigned char, 16> kMyComputerGuid = {
    0xE0, 0x4F, 0xD0, 0x20, 0xEA, 0x3A, 0x69, 0x10, 0xA2, 0xD8, 0x08, 0x00, 0x2B, 0x30, 0x30, 0x9D};

// Bits that say which structures the file holds: only the codec itself sets them.
constexpr std::uint32_t kStructureFlags = link_flag::kHasIdList | link_flag::kHasLinkInfo |
                                          link_flag::kHasName | link_flag::kHasRelativePath |
                                          link_flag::kHasWorkingDir | link_flag::kHasArguments |
                                          link_flag::kHasIconLocation | link_flag::kIsUnicode |
                                          link_flag::kHasExpString | link_flag::kHasExpIcon;

constexpr std::size_t kLinkInfoHeaderAnsi = 0x1C;
constexpr std::size_t kLinkInfoHeaderUnicode = 0x24;
constexpr std::size_t kNetworkLinkHeader = 0x14;
constexpr std::size_t kVolumeIdMinimum = 0x10;
// Environment and icon environment blocks: size, signature, 260 ANSI bytes, 260 UTF-16 units.
constexpr std::size_t kEnvironmentBlockSize = 0x314;
constexpr std::size_t kEnvironmentAnsiAt = 8;
constexpr std::size_t kEnvironmentUnicodeAt = 8 + 260;
constexpr std::size_t kEnvironmentChars = 260;

// The shared reader, with the texts of the link format.
class Bytes : public ByteReader {
 public:
  using ByteReader::ByteReader;
  // A zero-terminated ANSI text starting at `at`; nothing when no zero ends it in range.
  std::optional<std::string> AnsiZ(std::size_t at) const {
    std::string_view bytes = data();
    if (at >= bytes.size()) return std::nullopt;
    std::size_t end = bytes.find('\0', at);
    if (end == std::string_view::npos) return std::nullopt;
    return std::string(bytes.substr(at, end - at));
  }
  // A zero-terminated UTF-16 text starting at `at`, given in ANSI.
  std::optional<std::string> Utf16Z(std::size_t at) const {
    std::u16string units;
    for (std::size_t i = at; Has(i, 2); i += 2) {
      const std::uint16_t unit = U16(i);
      if (unit == 0) return cp::FromUtf16(units);
      units.push_back(static_cast<char16_t>(unit));
    }
    return std::nullopt;
  }
  std::string_view Slice(std::size_t at, std::size_t size) const {
    return data().substr(at, size);
  }
};

void PutU16(std::string* out, std::uint32_t value) {
  out->push_back(static_cast<char>(value & 0xFF));
  out->push_back(static_cast<char>((value >> 8) & 0xFF));
}
void PutU32(std::string* out, std::uint32_t value) {
  PutU16(out, value & 0xFFFF);
  PutU16(out, value >> 16);
}
void PutU64(std::string* out, std::uint64_t value) {
  PutU32(out, static_cast<std::uint32_t>(value));
  PutU32(out, static_cast<std::uint32_t>(value >> 32));
}
void SetU32At(std::string* out, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) (*out)[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::string Utf16Bytes(std::u16string_view units) {
  std::string bytes;
  for (char16_t unit : units) PutU16(&bytes, unit);
  return bytes;
}

// Checks the items of an ID list (the bytes after its size field): each item's size at least 2
// and inside the list, and a zero terminal inside it.
bool IdListFits(std::string_view list) {
  const Bytes b(list);
  for (std::size_t at = 0;;) {
    if (!b.Has(at, 2)) return false;
    const std::uint16_t size = b.U16(at);
    if (size == 0) return true;
    if (size < 2 || !b.Has(at, size)) return false;
    at += size;
  }
}

// Reads an optional text of a structure: ANSI at a required offset, UTF-16 at an offset that may
// be 0 (absent). An offset outside `first_valid`..end is damage.
bool ReadText(const Bytes& b, std::size_t first_valid, std::uint32_t offset, bool utf16,
              std::string* text) {
  if (offset < first_valid) return false;
  std::optional<std::string> found = utf16 ? b.Utf16Z(offset) : b.AnsiZ(offset);
  if (!found) return false;
  *text = std::move(*found);
  return true;
}

// Reads the link info structure (all of it, its size field included).
bool ParseLinkInfo(std::string_view bytes, LinkInfoFields* fields) {
  const Bytes b(bytes);
  const std::uint32_t header = b.U32(4);
  if (header < kLinkInfoHeaderAnsi || header > bytes.size()) return false;
  if (header != kLinkInfoHeaderAnsi && header < kLinkInfoHeaderUnicode) return false;
  const bool unicode_offsets = header >= kLinkInfoHeaderUnicode;
  const std::uint32_t flags = b.U32(8);

  if (flags & 1) {  // a volume ID and a local base path
    const std::uint32_t volume = b.U32(12);
    if (volume < header || !b.Has(volume, 4)) return false;
    const std::uint32_t volume_size = b.U32(volume);
    if (volume_size < kVolumeIdMinimum || !b.Has(volume, volume_size)) return false;
    fields->volume_id = std::string(b.Slice(volume, volume_size));
    if (!ReadText(b, header, b.U32(16), false, &fields->local_base_path)) return false;
    if (unicode_offsets && b.U32(0x1C) != 0 &&
        !ReadText(b, header, b.U32(0x1C), true, &fields->local_base_path)) {
      return false;
    }
  }
  if (flags & 2) {  // a network part
    const std::uint32_t at = b.U32(20);
    if (at < header || !b.Has(at, 4)) return false;
    const std::uint32_t size = b.U32(at);
    if (size < kNetworkLinkHeader || !b.Has(at, size)) return false;
    const Bytes n(b.Slice(at, size));
    const std::uint32_t net_flags = n.U32(4);
    const std::uint32_t net_name = n.U32(8);
    const bool valid_device = (net_flags & 1) != 0;
    fields->has_network = true;
    if (!ReadText(n, kNetworkLinkHeader, net_name, false, &fields->net_name)) return false;
    if (valid_device && !ReadText(n, kNetworkLinkHeader, n.U32(12), false, &fields->device_name)) {
      return false;
    }
    if (net_name > kNetworkLinkHeader) {  // the UTF-16 offsets follow the ANSI ones
      if (!n.Has(0x14, 8)) return false;
      if (n.U32(0x14) != 0 &&
          !ReadText(n, kNetworkLinkHeader, n.U32(0x14), true, &fields->net_name)) {
        return false;
      }
      if (valid_device && n.U32(0x18) != 0 &&
          !ReadText(n, kNetworkLinkHeader, n.U32(0x18), true, &fields->device_name)) {
        return false;
      }
    }
  }
  if (b.U32(24) != 0 && !ReadText(b, header, b.U32(24), false, &fields->common_path_suffix)) {
    return false;
  }
  if (unicode_offsets && b.U32(0x20) != 0 &&
      !ReadText(b, header, b.U32(0x20), true, &fields->common_path_suffix)) {
    return false;
  }
  return true;
}

// The link info for a path the codec sets: ANSI texts only.
std::string EncodeLinkInfo(const LinkInfoFields& fields) {
  std::string out(kLinkInfoHeaderAnsi, '\0');
  SetU32At(&out, 4, kLinkInfoHeaderAnsi);
  if (fields.has_network) {
    SetU32At(&out, 8, 2);
    SetU32At(&out, 20, static_cast<std::uint32_t>(out.size()));
    std::string part;
    PutU32(&part, 0);                                   // size, set below
    PutU32(&part, fields.device_name.empty() ? 2 : 3);  // ValidNetType, ValidDevice
    PutU32(&part, kNetworkLinkHeader);
    PutU32(&part, 0);
    PutU32(&part, 0x00020000);  // the provider type of Windows file sharing
    part += fields.net_name + '\0';
    if (!fields.device_name.empty()) {
      SetU32At(&part, 12, static_cast<std::uint32_t>(part.size()));
      part += fields.device_name + '\0';
    }
    SetU32At(&part, 0, static_cast<std::uint32_t>(part.size()));
    out += part;
  } else {
    SetU32At(&out, 8, 1);
    SetU32At(&out, 12, static_cast<std::uint32_t>(out.size()));
    out += fields.volume_id;
    SetU32At(&out, 16, static_cast<std::uint32_t>(out.size()));
    out += fields.local_base_path + '\0';
  }
  SetU32At(&out, 24, static_cast<std::uint32_t>(out.size()));
  out += fields.common_path_suffix + '\0';
  SetU32At(&out, 0, static_cast<std::uint32_t>(out.size()));
  return out;
}

// A volume ID of unknown drive type, serial number 0 and an empty label.
std::string PlainVolumeId() {
  std::string id;
  PutU32(&id, 0x11);
  PutU32(&id, 0);
  PutU32(&id, 0);
  PutU32(&id, 0x10);
  id.push_back('\0');
  return id;
}

// The drive letter and colon that begin a path, upper-cased; empty when it has none.
std::string DrivePrefix(const std::string& path) {
  if (path.size() < 2 || path[1] != ':') return {};
  return cp::ToUpper(path.substr(0, 2));
}

// The target of an environment or icon environment block: its UTF-16 text when not empty, else
// its ANSI text.
std::string EnvironmentTarget(const LinkExtraBlock& block) {
  const Bytes b(block.bytes);
  std::string unicode;
  if (b.Has(kEnvironmentUnicodeAt, 2)) {
    std::u16string units;
    for (std::size_t i = 0; i < kEnvironmentChars && b.Has(kEnvironmentUnicodeAt + 2 * i, 2); ++i) {
      const std::uint16_t unit = b.U16(kEnvironmentUnicodeAt + 2 * i);
      if (unit == 0) break;
      units.push_back(static_cast<char16_t>(unit));
    }
    unicode = cp::FromUtf16(units);
  }
  if (!unicode.empty()) return unicode;
  std::string_view ansi = b.Slice(std::min(kEnvironmentAnsiAt, b.size()), kEnvironmentChars);
  return std::string(ansi.substr(0, std::min(ansi.find('\0'), ansi.size())));
}

// An environment block (of either signature) naming `target`, truncated to what fits.
LinkExtraBlock EnvironmentBlock(std::uint32_t signature, const std::string& target) {
  std::string bytes(kEnvironmentBlockSize, '\0');
  SetU32At(&bytes, 0, kEnvironmentBlockSize);
  SetU32At(&bytes, 4, signature);
  const std::string ansi = target.substr(0, kEnvironmentChars - 1);
  std::copy(ansi.begin(), ansi.end(), bytes.begin() + kEnvironmentAnsiAt);
  std::u16string units = cp::ToUtf16(target);
  units.resize(std::min(units.size(), kEnvironmentChars - 1));
  const std::string unicode = Utf16Bytes(units);
  std::copy(unicode.begin(), unicode.end(), bytes.begin() + kEnvironmentUnicodeAt);
  return {signature, bytes};
}

// The path an ID list stands for when it is "My Computer", a drive and plain file system entries;
// empty for any other list (network places, special folders, shell namespaces).
std::string PathFromIdList(std::string_view list) {
  const Bytes b(list);
  std::string path;
  int index = 0;
  for (std::size_t at = 0; b.Has(at, 2) && b.U16(at) >= 3; at += b.U16(at), ++index) {
    const Bytes item(b.Slice(at, b.U16(at)));
    const unsigned type = item.U16(2) & 0xFF;
    if (index == 0) {
      if (type != 0x1F || !item.Has(4, 16) ||
          std::memcmp(item.Slice(4, 16).data(), kMyComputerGuid.data(), 16) != 0) {
        return {};
      }
    } else if (index == 1) {
      if ((type & 0x70) != 0x20) return {};
      std::optional<std::string> drive = item.AnsiZ(3);
      if (!drive || drive->empty()) return {};
      path = *drive;
    } else {
      if ((type & 0x70) != 0x30) return {};
      std::optional<std::string> name = (type & 0x04) ? item.Utf16Z(14) : item.AnsiZ(14);
      if (!name || name->empty()) return {};
      if (!path.empty() && path.back() != '\\') path += '\\';
      path += *name;
    }
  }
  return index >= 2 ? path : std::string();
}

bool HoldsDoubleBackslash(const std::string& text) {
  return text.find("\\\\") != std::string::npos;
}

}  // namespace

bool HasShellLinkHeader(std::string_view bytes) {
  return bytes.size() >= kLinkHeaderSize && Bytes(bytes).U32(0) == kLinkHeaderSize &&
         std::memcmp(bytes.data() + 4, kLinkClsid.data(), kLinkClsid.size()) == 0;
}

bool TrackingForbidden(std::string_view bytes) {
  return bytes.size() > kTrackingByteOffset && (bytes[kTrackingByteOffset] & 1) != 0;
}

bool SetTrackingForbidden(std::string* bytes, bool forbidden) {
  if (bytes->size() <= kTrackingByteOffset) return false;
  char& byte = (*bytes)[kTrackingByteOffset];
  byte = static_cast<char>(forbidden ? (byte | 1) : (byte & ~1));
  return true;
}

LinkError ShellLink::Parse(std::string_view bytes, ShellLink* link) {
  if (!HasShellLinkHeader(bytes)) return LinkError::kDamaged;
  const Bytes b(bytes);
  ShellLink result;
  LinkHeader& h = result.header_;
  h.flags = b.U32(20);
  h.attributes = b.U32(24);
  h.created = b.U64(28);
  h.accessed = b.U64(36);
  h.written = b.U64(44);
  h.file_size = b.U32(52);
  h.icon_index = static_cast<std::int32_t>(b.U32(56));
  h.show_command = b.U32(60);
  h.hot_key = b.U16(64);
  h.reserved1 = b.U16(66);
  h.reserved2 = b.U32(68);
  h.reserved3 = b.U32(72);
  std::size_t at = kLinkHeaderSize;

  if (h.flags & link_flag::kHasIdList) {
    if (!b.Has(at, 2)) return LinkError::kDamaged;
    const std::uint16_t size = b.U16(at);
    if (!b.Has(at + 2, size) || !IdListFits(b.Slice(at + 2, size))) return LinkError::kDamaged;
    result.id_list_ = std::string(b.Slice(at + 2, size));
    at += 2 + size;
  }
  if (h.flags & link_flag::kHasLinkInfo) {
    if (!b.Has(at, 4)) return LinkError::kDamaged;
    const std::uint32_t size = b.U32(at);
    if (size < kLinkInfoHeaderAnsi || !b.Has(at, size)) return LinkError::kDamaged;
    result.info_bytes_ = std::string(b.Slice(at, size));
    LinkInfoFields fields;
    if (!ParseLinkInfo(result.info_bytes_, &fields)) return LinkError::kDamaged;
    result.info_ = std::move(fields);
    at += size;
  }
  const std::size_t unit = result.unicode() ? 2 : 1;
  for (int i = 0; i < kStringCount; ++i) {
    if (!(h.flags & FlagOf(i))) continue;
    if (!b.Has(at, 2)) return LinkError::kDamaged;
    const std::size_t size = b.U16(at) * unit;
    if (!b.Has(at + 2, size)) return LinkError::kDamaged;
    result.strings_[i] = std::string(b.Slice(at + 2, size));
    at += 2 + size;
  }
  // Extra blocks up to the terminal block, which must be there.
  for (;;) {
    if (!b.Has(at, 4)) return LinkError::kDamaged;
    const std::uint32_t size = b.U32(at);
    if (size < 4) {
      result.terminal_ = std::string(b.Slice(at, 4));
      result.trailer_ = std::string(b.Slice(at + 4, bytes.size() - at - 4));
      break;
    }
    if (size < 8 || !b.Has(at, size)) return LinkError::kDamaged;
    result.blocks_.push_back({b.U32(at + 4), std::string(b.Slice(at, size))});
    at += size;
  }
  *link = std::move(result);
  return LinkError::kNone;
}

std::string ShellLink::Serialize() const {
  std::string out;
  PutU32(&out, kLinkHeaderSize);
  out.append(reinterpret_cast<const char*>(kLinkClsid.data()), kLinkClsid.size());
  const LinkHeader& h = header_;
  PutU32(&out, h.flags);
  PutU32(&out, h.attributes);
  PutU64(&out, h.created);
  PutU64(&out, h.accessed);
  PutU64(&out, h.written);
  PutU32(&out, h.file_size);
  PutU32(&out, static_cast<std::uint32_t>(h.icon_index));
  PutU32(&out, h.show_command);
  PutU16(&out, h.hot_key);
  PutU16(&out, h.reserved1);
  PutU32(&out, h.reserved2);
  PutU32(&out, h.reserved3);
  if (h.flags & link_flag::kHasIdList) {
    PutU16(&out, static_cast<std::uint32_t>(id_list_.size()));
    out += id_list_;
  }
  if (h.flags & link_flag::kHasLinkInfo) out += info_bytes_;
  const std::size_t unit = unicode() ? 2 : 1;
  for (int i = 0; i < kStringCount; ++i) {
    if (!(h.flags & FlagOf(i))) continue;
    PutU16(&out, static_cast<std::uint32_t>(strings_[i].size() / unit));
    out += strings_[i];
  }
  for (const LinkExtraBlock& block : blocks_) out += block.bytes;
  out += terminal_;
  out += trailer_;
  return out;
}

ShellLink ShellLink::Empty(bool unicode) {
  ShellLink link;
  if (unicode) link.header_.flags |= link_flag::kIsUnicode;
  return link;
}

std::string ShellLink::StringField(int index) const {
  const std::string& raw = strings_[index];
  if (!unicode()) return raw.substr(0, std::min(raw.find('\0'), raw.size()));
  std::optional<std::string> text = Bytes(raw + std::string(2, '\0')).Utf16Z(0);
  return text ? *text : std::string();
}

std::string ShellLink::EncodeText(const std::string& text) const {
  constexpr std::size_t kMaxCount = 0xFFFF;
  if (!unicode()) return text.substr(0, kMaxCount);
  std::u16string units = cp::ToUtf16(text);
  units.resize(std::min(units.size(), kMaxCount));
  return Utf16Bytes(units);
}

void ShellLink::SetStringField(int index, const std::string& value) {
  strings_[index] = EncodeText(value);
  if (value.empty()) {
    header_.flags &= ~FlagOf(index);
  } else {
    header_.flags |= FlagOf(index);
  }
}

const LinkExtraBlock* ShellLink::FindBlock(std::uint32_t signature) const {
  for (const LinkExtraBlock& block : blocks_) {
    if (block.signature == signature) return &block;
  }
  return nullptr;
}

void ShellLink::DropBlock(std::uint32_t signature) {
  std::erase_if(blocks_, [&](const LinkExtraBlock& b) { return b.signature == signature; });
}

void ShellLink::SetFlag(std::uint32_t bit, bool on) {
  bit &= ~kStructureFlags;
  header_.flags = on ? (header_.flags | bit) : (header_.flags & ~bit);
}

std::string ShellLink::Path() const {
  if (header_.flags & link_flag::kHasExpString) {
    if (const LinkExtraBlock* block = FindBlock(link_block::kEnvironment)) {
      std::string target = EnvironmentTarget(*block);
      if (!target.empty()) return target;
    }
  }
  if (info_) {
    if (info_->has_network && !info_->net_name.empty()) {
      std::string path = info_->net_name;
      if (!info_->common_path_suffix.empty()) path += '\\' + info_->common_path_suffix;
      return path;
    }
    if (!info_->local_base_path.empty()) return info_->local_base_path + info_->common_path_suffix;
  }
  if (header_.flags & link_flag::kHasIdList) return PathFromIdList(id_list_);
  return {};
}

std::string ShellLink::IconFile() const {
  if (header_.flags & link_flag::kHasExpIcon) {
    if (const LinkExtraBlock* block = FindBlock(link_block::kIconEnvironment)) {
      std::string file = EnvironmentTarget(*block);
      if (!file.empty()) return file;
    }
  }
  return StringField(kIconLocation);
}

void ShellLink::SetIconLocation(const std::string& file, int index) {
  SetStringField(kIconLocation, file);
  header_.icon_index = index;
  if (!FindBlock(link_block::kIconEnvironment)) return;
  if (file.empty()) {
    DropBlock(link_block::kIconEnvironment);
    header_.flags &= ~link_flag::kHasExpIcon;
    return;
  }
  for (LinkExtraBlock& block : blocks_) {
    if (block.signature == link_block::kIconEnvironment) {
      block = EnvironmentBlock(link_block::kIconEnvironment, file);
    }
  }
}

void ShellLink::SetPath(const std::string& path) {
  for (std::uint32_t signature :
       {link_block::kEnvironment, link_block::kTracker, link_block::kSpecialFolder,
        link_block::kKnownFolder, link_block::kVistaIdList}) {
    DropBlock(signature);
  }
  header_.flags &= ~(link_flag::kHasIdList | link_flag::kHasExpString | link_flag::kHasLinkInfo);
  id_list_.clear();
  SetStringField(kRelativePath, "");
  std::optional<LinkInfoFields> old = std::move(info_);
  info_.reset();
  info_bytes_.clear();
  if (path.empty()) return;
  if (path.find('%') != std::string::npos) {
    blocks_.insert(blocks_.begin(), EnvironmentBlock(link_block::kEnvironment, path));
    header_.flags |= link_flag::kHasExpString;
    return;
  }
  LinkInfoFields fields;
  if (path.size() > 2 && path[0] == '\\' && path[1] == '\\') {
    // \\server\share is the network name, what follows the share the suffix.
    // A separator that ends the path stays with the network name.
    std::size_t share_end = path.find('\\', 2);
    if (share_end != std::string::npos) share_end = path.find('\\', share_end + 1);
    if (share_end == path.size() - 1) share_end = std::string::npos;
    fields.has_network = true;
    fields.net_name = path.substr(0, share_end);
    if (share_end != std::string::npos) fields.common_path_suffix = path.substr(share_end + 1);
  } else {
    fields.local_base_path = path;
    const std::string drive = DrivePrefix(path);
    const bool same_drive = old && !old->volume_id.empty() && !drive.empty() &&
                            DrivePrefix(old->local_base_path) == drive;
    fields.volume_id = same_drive ? old->volume_id : PlainVolumeId();
  }
  info_bytes_ = EncodeLinkInfo(fields);
  info_ = std::move(fields);
  header_.flags |= link_flag::kHasLinkInfo;
}

bool ShellLink::PointsToNetwork() const {
  if (info_ && info_->has_network) return true;
  if (info_ && (HoldsDoubleBackslash(info_->local_base_path) ||
                HoldsDoubleBackslash(info_->common_path_suffix))) {
    return true;
  }
  for (int i = 0; i < kStringCount; ++i) {
    if (HoldsDoubleBackslash(StringField(i))) return true;
  }
  for (const LinkExtraBlock& block : blocks_) {
    if ((block.signature == link_block::kEnvironment ||
         block.signature == link_block::kIconEnvironment) &&
        HoldsDoubleBackslash(EnvironmentTarget(block))) {
      return true;
    }
  }
  return false;
}

namespace {

// Far above the size of any real link: a bigger file is taken for damaged without being read.
constexpr std::uint64_t kLargestLink = 16u << 20;

LinkError ReadLinkFile(const std::string& path, std::string* bytes) {
  DirEntry entry;
  SysError e = Files().GetEntry(path, &entry);
  if (e.ok() && entry.is_folder()) return LinkError::kOther;
  if (e.ok() && entry.size > kLargestLink) return LinkError::kDamaged;
  if (e.ok()) e = Files().ReadWholeFile(path, bytes);
  if (e.ok()) return LinkError::kNone;
  const bool missing = e.kind == ErrorKind::kNotFound || e.kind == ErrorKind::kPathNotFound;
  return missing ? LinkError::kNotFound : LinkError::kOther;
}

}  // namespace

LinkError LoadShellLink(const std::string& path, ShellLink* link) {
  std::string bytes;
  if (LinkError e = ReadLinkFile(path, &bytes); e != LinkError::kNone) return e;
  return ShellLink::Parse(bytes, link);
}

SysError ReplaceFileContent(const std::string& path, std::string_view content) {
  // The new content goes to a temporary file first; the copy then puts it beside the link and
  // renames it into place, keeping the link's own permissions or attributes.
  FileSystem& fs = Files();
  std::string temporary;
  if (SysError e = fs.CreateTempFile(fs.TempFolder(), "tsl", &temporary); e.failed()) return e;
  SysError result;
  {
    std::unique_ptr<WritableFile> file;
    result = fs.OpenForWriting(temporary, WriteMode::kReplace, &file);
    if (result.ok()) result = file->Write(content.data(), content.size());
    if (file) {
      SysError closed = file->Close();
      if (result.ok()) result = closed;
    }
  }
  // A new link is first made empty, so that it gets the permissions of a file the user makes;
  // it goes again when it cannot be filled.
  bool made = false;
  if (result.ok()) {
    std::unique_ptr<WritableFile> file;
    SysError created = fs.OpenForWriting(path, WriteMode::kCreateNew, &file);
    made = created.ok() && file->Close().ok();
    if (created.failed() && created.kind != ErrorKind::kAlreadyExists) result = created;
  }
  if (result.ok()) result = fs.CopyFileKeepingTimes(temporary, path, CopyMode::kReplaceContent, {});
  if (result.failed() && made) fs.RemoveFile(path);
  fs.RemoveFile(temporary);
  return result;
}

TrackingChange SetLinkTracking(const std::string& path, bool forbidden) {
  std::string bytes;
  ShellLink link;
  if (ReadLinkFile(path, &bytes) != LinkError::kNone ||
      ShellLink::Parse(bytes, &link) != LinkError::kNone) {
    return TrackingChange::kNotALink;
  }
  if (TrackingForbidden(bytes) == forbidden) return TrackingChange::kUnchanged;
  if (!link.PointsToNetwork()) return TrackingChange::kLocal;
  SetTrackingForbidden(&bytes, forbidden);
  if (ReplaceFileContent(path, bytes).failed()) return TrackingChange::kWriteFailed;
  return TrackingChange::kChanged;
}

SysError SaveShellLink(const std::string& path, const ShellLink& link) {
  return ReplaceFileContent(path, link.Serialize());
}

}  // namespace tsl

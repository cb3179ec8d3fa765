// The version resource of a PE image, read without the system: DOS header -> PE header ->
// resource directory (type 16, first name, first language) -> VS_VERSIONINFO tree ->
// \VarFileInfo\Translation -> \StringFileInfo\<language><code page>\FileVersion.
//
// Every offset comes from the file, so every read is bounds-checked; the walk has a fixed depth.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform/byte_reader.h"
#include "platform/code_page.h"
#include "platform/version_info.h"

namespace tsl {
namespace {

constexpr std::uint32_t kVersionResourceType = 16;

using Bytes = ByteReader;

struct Section {
  std::uint32_t virtual_address;
  std::uint32_t extent;
  std::uint32_t raw_offset;
};

// The file offset of a relative virtual address, through the section table.
std::optional<std::size_t> FileOffset(const std::vector<Section>& sections, std::uint32_t rva) {
  for (const Section& s : sections) {
    if (rva >= s.virtual_address && rva - s.virtual_address < s.extent) {
      return static_cast<std::size_t>(s.raw_offset) + (rva - s.virtual_address);
    }
  }
  return std::nullopt;
}

// The first entry of a resource directory, optionally the one with a given numeric id.
// Gives the entry's OffsetToData (high bit: a subdirectory).
std::optional<std::uint32_t> DirectoryEntry(const Bytes& b, std::size_t directory,
                                            std::optional<std::uint32_t> id) {
  if (!b.Has(directory, 16)) return std::nullopt;
  std::size_t named = b.U16(directory + 12);
  std::size_t ids = b.U16(directory + 14);
  for (std::size_t i = 0; i < named + ids; ++i) {
    std::size_t entry = directory + 16 + 8 * i;
    if (!b.Has(entry, 8)) return std::nullopt;
    std::uint32_t name = b.U32(entry);
    if (!id || (!(name & 0x80000000u) && name == *id)) return b.U32(entry + 4);
  }
  return std::nullopt;
}

// The version resource's bytes inside the image.
std::optional<std::string_view> VersionResource(std::string_view image) {
  Bytes b(image);
  if (image.size() < 64 || image[0] != 'M' || image[1] != 'Z') return std::nullopt;
  std::size_t pe = b.U32(0x3C);
  if (!b.Has(pe, 24) || image.substr(pe, 4) != std::string_view("PE\0\0", 4)) return std::nullopt;
  std::size_t section_count = b.U16(pe + 6);
  std::size_t optional_size = b.U16(pe + 20);
  std::size_t optional = pe + 24;
  std::uint16_t magic = b.U16(optional);
  std::size_t directories = magic == 0x10b ? optional + 96 : magic == 0x20b ? optional + 112 : 0;
  std::size_t count_at = magic == 0x10b ? optional + 92 : optional + 108;
  if (directories == 0 || b.U32(count_at) < 3 || !b.Has(directories + 16, 8)) return std::nullopt;
  std::uint32_t resource_rva = b.U32(directories + 16);
  std::vector<Section> sections;
  std::size_t table = optional + optional_size;
  for (std::size_t i = 0; i < section_count && b.Has(table + 40 * i, 40); ++i) {
    std::size_t s = table + 40 * i;
    std::uint32_t virtual_size = b.U32(s + 8), raw_size = b.U32(s + 16);
    sections.push_back(
        {b.U32(s + 12), virtual_size > raw_size ? virtual_size : raw_size, b.U32(s + 20)});
  }
  std::optional<std::size_t> root = FileOffset(sections, resource_rva);
  if (!root || resource_rva == 0) return std::nullopt;
  std::size_t directory = *root;
  std::optional<std::uint32_t> id = kVersionResourceType;
  for (int level = 0; level < 3; ++level) {  // type, name, language
    std::optional<std::uint32_t> next = DirectoryEntry(b, directory, id);
    if (!next || !(*next & 0x80000000u) != (level == 2)) return std::nullopt;
    directory = *root + (*next & 0x7FFFFFFFu);
    id.reset();
  }
  if (!b.Has(directory, 16)) return std::nullopt;
  std::optional<std::size_t> data = FileOffset(sections, b.U32(directory));
  std::size_t size = b.U32(directory + 4);
  if (!data || !b.Has(*data, size)) return std::nullopt;
  return image.substr(*data, size);
}

std::size_t Align4(std::size_t n) { return (n + 3) & ~static_cast<std::size_t>(3); }

// One node of the VS_VERSIONINFO tree: its key, its value bytes and the span of its children.
struct Node {
  std::u16string key;
  std::size_t value_at = 0;
  std::size_t value_size = 0;
  bool text = false;
  std::size_t children_at = 0;
  std::size_t end = 0;
};

std::optional<Node> ReadNode(const Bytes& b, std::size_t at, std::size_t limit) {
  if (!b.Has(at, 6)) return std::nullopt;
  std::size_t length = b.U16(at);
  if (length < 6 || at + length > limit) return std::nullopt;
  Node node;
  node.end = at + length;
  node.text = b.U16(at + 4) == 1;
  std::size_t p = at + 6;
  for (;; p += 2) {
    if (p + 2 > node.end) return std::nullopt;
    std::uint16_t c = b.U16(p);
    if (c == 0) break;
    node.key.push_back(static_cast<char16_t>(c));
  }
  node.value_at = Align4(p + 2);
  std::size_t value_length = b.U16(at + 2);
  node.value_size = node.text ? value_length * 2 : value_length;
  if (node.value_at > node.end || node.value_size > node.end - node.value_at) {
    node.value_size = node.value_at > node.end ? 0 : node.end - node.value_at;
  }
  node.children_at = Align4(node.value_at + node.value_size);
  return node;
}

// The child of `parent` whose key equals `key` ignoring letter case.
std::optional<Node> Child(const Bytes& b, const Node& parent, std::string_view key) {
  std::size_t at = parent.children_at;
  while (at < parent.end) {
    std::optional<Node> child = ReadNode(b, at, parent.end);
    if (!child) return std::nullopt;
    if (cp::EqualsIgnoreCase(cp::FromUtf16(child->key), key)) return child;
    at = Align4(child->end);
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> PeFileVersion(std::string_view image) {
  std::optional<std::string_view> resource = VersionResource(image);
  if (!resource) return std::nullopt;
  Bytes b(*resource);
  std::optional<Node> root = ReadNode(b, 0, resource->size());
  if (!root) return std::nullopt;
  std::optional<Node> var_info = Child(b, *root, "VarFileInfo");
  std::optional<Node> translation = var_info ? Child(b, *var_info, "Translation") : std::nullopt;
  if (!translation || translation->value_size < 4) return std::nullopt;
  std::uint32_t language = b.U16(translation->value_at);
  std::uint32_t code_page = b.U16(translation->value_at + 2);
  char table_key[16];
  std::snprintf(table_key, sizeof table_key, "%08lx",
                static_cast<unsigned long>((language << 16) | code_page));
  std::optional<Node> string_info = Child(b, *root, "StringFileInfo");
  std::optional<Node> table = string_info ? Child(b, *string_info, table_key) : std::nullopt;
  std::optional<Node> version = table ? Child(b, *table, "FileVersion") : std::nullopt;
  if (!version) return std::nullopt;
  std::u16string value;
  for (std::size_t p = version->value_at; p + 2 <= version->value_at + version->value_size;
       p += 2) {
    std::uint16_t c = b.U16(p);
    if (c == 0) break;
    value.push_back(static_cast<char16_t>(c));
  }
  return cp::FromUtf16(value);
}

}  // namespace tsl

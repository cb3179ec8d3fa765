#include "platform/version_info.h"

#include <gtest/gtest.h>

#include "platform/code_page.h"
#include "tessaline_version.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

// Builds the pieces of a PE image with a version resource, little-endian.
class Image {
 public:
  void U16(std::uint32_t v) {
    bytes_ += static_cast<char>(v & 0xFF);
    bytes_ += static_cast<char>((v >> 8) & 0xFF);
  }
  void U32(std::uint32_t v) {
    U16(v & 0xFFFF);
    U16(v >> 16);
  }
  void Text16(const std::string& text) {
    for (char16_t c : cp::ToUtf16(text)) U16(c);
    U16(0);
  }
  void Align4() {
    while (bytes_.size() % 4) bytes_ += '\0';
  }
  void PadTo(std::size_t size) { bytes_.resize(size, '\0'); }
  void Put(std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  }
  void Append(const std::string& more) { bytes_ += more; }
  std::string& bytes() { return bytes_; }

 private:
  std::string bytes_;
};

// One node of a version resource tree: length, value length, type, key, value, children.
std::string Node(const std::string& key, const std::string& value, bool text,
                 std::uint32_t value_length, const std::vector<std::string>& children) {
  Image n;
  n.U16(0);
  n.U16(value_length);
  n.U16(text ? 1 : 0);
  n.Text16(key);
  n.Align4();
  n.Append(value);
  for (const std::string& child : children) {
    n.Align4();
    n.Append(child);
  }
  std::string bytes = n.bytes();
  bytes[0] = static_cast<char>(bytes.size() & 0xFF);
  bytes[1] = static_cast<char>(bytes.size() >> 8);
  return bytes;
}

std::string StringValue(const std::string& key, const std::string& value) {
  Image v;
  v.Text16(value);
  return Node(key, v.bytes(), true, static_cast<std::uint32_t>(value.size() + 1), {});
}

std::string VersionInfo(const std::string& table, std::uint16_t language, std::uint16_t code_page,
                        const std::string& version) {
  Image translation;
  translation.U16(language);
  translation.U16(code_page);
  std::string strings =
      Node(table, "", true, 0,
           {StringValue("CompanyName", "Quarnel"), StringValue("FileVersion", version)});
  return Node(
      "VS_VERSION_INFO", std::string(52, '\0'), false, 52,
      {Node("StringFileInfo", "", true, 0, {strings}),
       Node("VarFileInfo", "", true, 0, {Node("Translation", translation.bytes(), false, 4, {})})});
}

// A PE32+ image with one section, .rsrc, that holds a version resource.
std::string PeImage(const std::string& version_info) {
  Image image;
  image.Append("MZ");
  image.PadTo(0x3C);
  image.U32(0x40);
  image.Append(std::string("PE\0\0", 4));
  image.U16(0x8664);
  image.U16(1);  // sections
  image.U32(0), image.U32(0), image.U32(0);
  image.U16(240);  // size of the optional header
  image.U16(0x22);
  std::size_t optional = image.bytes().size();
  image.U16(0x20b);
  image.PadTo(optional + 108);
  image.U32(16);  // data directories
  image.PadTo(optional + 112 + 16);
  image.U32(0x1000);  // resource directory RVA
  image.U32(0x400);
  image.PadTo(optional + 240);
  image.Append(std::string(".rsrc\0\0\0", 8));
  image.U32(0x1000), image.U32(0x1000), image.U32(0x1000), image.U32(0x200);
  image.PadTo(0x200);
  // Resource tree: type 16 -> name 1 -> language 0x409 -> data entry.
  auto directory = [&](std::uint32_t id, std::uint32_t offset) {
    image.U32(0), image.U32(0), image.U16(0), image.U16(0), image.U16(0), image.U16(1);
    image.U32(id);
    image.U32(offset);
  };
  directory(16, 0x80000018);
  directory(1, 0x80000030);
  directory(0x409, 0x48);
  image.U32(0x1000 + 0x58);
  image.U32(static_cast<std::uint32_t>(version_info.size()));
  image.U32(0), image.U32(0);
  image.PadTo(0x200 + 0x58);
  image.Append(version_info);
  image.PadTo(0x1200);
  return image.bytes();
}

TEST(VersionInfoTest, ReadsTheFileVersionOfTheFirstTranslation) {
  EXPECT_EQ(PeFileVersion(PeImage(VersionInfo("040904E4", 0x409, 0x4E4, "1.2.3.4"))),
            std::optional<std::string>("1.2.3.4"));
  // The table key is matched ignoring letter case.
  EXPECT_EQ(PeFileVersion(PeImage(VersionInfo("040904e4", 0x409, 0x4E4, "5.0"))),
            std::optional<std::string>("5.0"));
}

TEST(VersionInfoTest, NoVersionWithoutAMatchingTableOrAValidImage) {
  std::string image = PeImage(VersionInfo("040904E4", 0x407, 0x4E4, "1.0"));
  EXPECT_EQ(PeFileVersion(image), std::nullopt);  // the translation names another table
  std::string good = PeImage(VersionInfo("040904E4", 0x409, 0x4E4, "1.0"));
  EXPECT_EQ(PeFileVersion(""), std::nullopt);
  EXPECT_EQ(PeFileVersion("MZ" + std::string(100, '\0')), std::nullopt);
  // Every truncation of a valid image fails cleanly, never reading out of bounds.
  for (std::size_t size = 0; size < 0x200 + 0x58 + 40; size += 7) {
    EXPECT_EQ(PeFileVersion(std::string_view(good).substr(0, size)), std::nullopt) << size;
  }
  // A corrupt byte anywhere in the resource never makes the reader leave the version node
  // (the sanitizer build checks every read).
  for (std::size_t at = 0x200; at < good.size() && at < 0x200 + 0x200; ++at) {
    std::string bad = good;
    bad[at] = static_cast<char>(0xFF);
    std::optional<std::string> version = PeFileVersion(bad);
    EXPECT_LT(version.value_or("").size(), 0x40u) << at;
  }
}

TEST(VersionInfoTest, FilesOnDisk) {
  testing::ScopedTempDir dir;
  testing::WriteFile(dir / "plain.txt", "MZ but not a program");
  EXPECT_EQ(FileVersionText(dir / "plain.txt"), std::nullopt);
  EXPECT_EQ(FileVersionText(dir / "missing.dll"), std::nullopt);
  std::string program = testing::TslRunProgram();
  std::string image = testing::ReadFile(program);
  std::optional<std::string> version = FileVersionText(program);
  // The portable reader and the platform agree on the program itself: Windows' TslRun.exe
  // carries the project's version, the Linux program none.
  EXPECT_EQ(PeFileVersion(image), version);
  if (testing::Separator() == '\\') {
    EXPECT_EQ(version, std::optional<std::string>(TSL_VERSION_STRING));
  } else {
    EXPECT_EQ(version, std::nullopt);
    testing::WriteFile(dir / "lib.dll", PeImage(VersionInfo("040904E4", 0x409, 0x4E4, "2.5")));
    EXPECT_EQ(FileVersionText(dir / "lib.dll"), std::optional<std::string>("2.5"));
  }
}

}  // namespace
}  // namespace tsl

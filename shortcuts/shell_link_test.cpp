#include "shortcuts/shell_link.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "fuzz/shell_link_fuzz_body.h"
#include "platform/code_page.h"
#include "tests/support/fuzz_inputs.h"
#include "tests/support/le_bytes.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

using Le = testing::LeBytes;

void PutN(std::string* bytes, std::size_t at, std::uint32_t v, int size) {
  for (int i = 0; i < size; ++i) (*bytes)[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
void Put32(std::string* bytes, std::size_t at, std::uint32_t v) { PutN(bytes, at, v, 4); }

const std::string kVolume = Le().U32(0x11).U32(3).U32(0x1234).U32(0x10).Z("").b;

// Link info with a local base path and suffix; `unicode` adds UTF-16 copies (header 0x24).
std::string LocalInfo(const std::string& base, const std::string& suffix, bool unicode) {
  const std::uint32_t header = unicode ? 0x24 : 0x1C;
  Le tail;
  tail.b = kVolume;
  const std::uint32_t base_at = header + tail.b.size();
  tail.Z(base);
  const std::uint32_t suffix_at = header + tail.b.size();
  tail.Z(suffix);
  const std::uint32_t base16_at = header + tail.b.size();
  if (unicode) tail.Z16(base);
  const std::uint32_t suffix16_at = header + tail.b.size();
  if (unicode) tail.Z16(suffix);
  Le info;
  info.U32(header + tail.b.size())
      .U32(header)
      .U32(1)
      .U32(header)
      .U32(base_at)
      .U32(0)
      .U32(suffix_at);
  if (unicode) info.U32(base16_at).U32(suffix16_at);
  return info.b + tail.b;
}

// Link info with a network part (and a device name), the UTF-16 net name when `unicode`.
std::string NetworkInfo(const std::string& net, const std::string& suffix, bool unicode) {
  Le part;
  const std::uint32_t names = unicode ? 0x1C : 0x14;
  part.U32(0).U32(3).U32(names).U32(0).U32(0x20000);
  if (unicode) part.U32(0).U32(0);
  Put32(&part.b, 8, names);
  part.Z(unicode ? "" : net);  // a Unicode part's ANSI name is not what counts
  Put32(&part.b, 12, part.b.size());
  part.Z("Z:");
  if (unicode) {
    Put32(&part.b, 0x14, part.b.size());
    part.Z16(net);
  }
  Put32(&part.b, 0, part.b.size());
  Le info;
  info.U32(0).U32(0x1C).U32(2).U32(0).U32(0).U32(0x1C).U32(0x1C + part.b.size());
  info.b += part.b;
  info.Z(suffix);
  Put32(&info.b, 0, info.b.size());
  return info.b;
}

std::string Block(std::uint32_t signature, const std::string& payload) {
  return Le().U32(8 + payload.size()).U32(signature).b + payload;
}

std::string EnvironmentPayload(const std::string& target) {
  std::string payload(780, '\0');
  std::copy(target.begin(), target.end(), payload.begin());
  std::string unicode = Le().Z16(target).b;
  std::copy(unicode.begin(), unicode.end(), payload.begin() + 260);
  return payload;
}

// My Computer, a drive and file entries (the names as the entries' ANSI names).
std::string IdList(const std::string& drive, const std::vector<std::string>& names) {
  Le list;
  list.U16(0x14).U16(0x1F).U32(0x20D04FE0).U16(0x3AEA).U16(0x1069);
  list.b += std::string("\xA2\xD8\x08\x00\x2B\x30\x30\x9D", 8);
  std::string volume = "\x2F" + drive;
  volume.resize(23, '\0');
  list.U16(2 + volume.size()).b += volume;
  for (const std::string& name : names) {
    list.U16(14 + name.size() + 1).U16(0x32).U32(0).U32(0).U16(0x20).Z(name);
  }
  return list.U16(0).b;
}

struct Parts {
  std::uint32_t flags = 0;  // bits beyond those of the parts below
  bool unicode = false;
  std::string id_list;
  std::string link_info;
  std::string strings[5];  // name, relative path, working folder, arguments, icon location
  std::vector<std::string> blocks;
};

std::string LinkFile(const Parts& p) {
  std::uint32_t flags = p.flags | (p.unicode ? 0x80 : 0);
  if (!p.id_list.empty()) flags |= 1;
  if (!p.link_info.empty()) flags |= 2;
  for (int i = 0; i < 5; ++i) flags |= p.strings[i].empty() ? 0 : (4u << i);
  Le f;
  f.U32(0x4C).U32(0x00021401).U32(0).U32(0xC0).U32(0x46000000);
  f.U32(flags).U32(0x20).U32(0x11111111).U32(0x01D00000).U32(0x22222222).U32(0x01D00001);
  f.U32(0x33333333).U32(0x01D00002).U32(1234).U32(3).U32(7).U16(0x0341).U16(0).U32(0).U32(0);
  if (!p.id_list.empty()) f.U16(p.id_list.size()).b += p.id_list;
  f.b += p.link_info;
  for (const std::string& s : p.strings) {
    if (s.empty()) continue;
    if (p.unicode) {
      f.U16(cp::ToUtf16(s).size());
      std::string z = Le().Z16(s).b;
      f.b += z.substr(0, z.size() - 2);
    } else {
      f.U16(s.size()).b += s;
    }
  }
  for (const std::string& b : p.blocks) f.b += b;
  return f.U32(0).b;
}

Parts FullParts(bool unicode) {
  Parts p;
  p.unicode = unicode;
  p.flags = link_flag::kForceNoLinkInfo | 0x00080000;
  p.id_list = IdList("C:\\", {"Tools", "App.exe"});
  p.link_info = LocalInfo("C:\\Tools\\", "App.exe", unicode);
  p.strings[0] = "My app";
  p.strings[1] = "..\\Tools\\App.exe";
  p.strings[2] = "C:\\Work";
  p.strings[3] = "/x \xE9t\xE9";
  p.strings[4] = "C:\\Icons\\app.ico";
  p.blocks = {Block(0xA0000002, std::string(0xC4, '\x07')), Block(0x12345678, "unknown!")};
  return p;
}

ShellLink Parsed(const std::string& bytes) {
  ShellLink link;
  EXPECT_EQ(ShellLink::Parse(bytes, &link), LinkError::kNone);
  return link;
}

TEST(ShellLinkTest, ReadsEveryFieldAndWritesTheSameBytes) {
  for (bool unicode : {false, true}) {
    SCOPED_TRACE(unicode);
    const std::string bytes = LinkFile(FullParts(unicode));
    ShellLink link = Parsed(bytes);
    EXPECT_EQ(link.unicode(), unicode);
    EXPECT_EQ(link.header().attributes, 0x20u);
    EXPECT_EQ(link.header().written, 0x01D0000233333333u);
    EXPECT_EQ(link.header().file_size, 1234u);
    EXPECT_EQ(link.IconIndex(), 3);
    EXPECT_EQ(link.ShowCommand(), 7);
    EXPECT_EQ(link.HotKey(), 0x0341);
    EXPECT_EQ(link.Path(), "C:\\Tools\\App.exe");
    EXPECT_EQ(link.Description(), "My app");
    EXPECT_EQ(link.RelativePath(), "..\\Tools\\App.exe");
    EXPECT_EQ(link.WorkingFolder(), "C:\\Work");
    EXPECT_EQ(link.Arguments(), "/x \xE9t\xE9");
    EXPECT_EQ(link.IconFile(), "C:\\Icons\\app.ico");
    ASSERT_EQ(link.extra_blocks().size(), 2u);
    EXPECT_EQ(link.extra_blocks()[1].signature, 0x12345678u);
    EXPECT_TRUE(TrackingForbidden(bytes));
    EXPECT_FALSE(link.PointsToNetwork());
    EXPECT_EQ(link.Serialize(), bytes);
  }
}

TEST(ShellLinkTest, PathPrefersNetworkThenLocalThenTheIdList) {
  Parts p;
  p.link_info = NetworkInfo("\\\\server\\share", "dir\\file.txt", true);
  ShellLink network = Parsed(LinkFile(p));
  EXPECT_EQ(network.Path(), "\\\\server\\share\\dir\\file.txt");
  EXPECT_EQ(network.link_info()->device_name, "Z:");
  EXPECT_TRUE(network.PointsToNetwork());

  p.link_info.clear();
  p.id_list = IdList("D:\\", {"Data", "x.txt"});
  EXPECT_EQ(Parsed(LinkFile(p)).Path(), "D:\\Data\\x.txt");
  std::string other = p.id_list;
  other[4] = 0;  // not My Computer: no path is made up from the list
  p.id_list = other;
  EXPECT_EQ(Parsed(LinkFile(p)).Path(), "");

  p.flags = link_flag::kHasExpString;
  p.blocks = {Block(link_block::kEnvironment, EnvironmentPayload("%WINDIR%\\notepad.exe"))};
  EXPECT_EQ(Parsed(LinkFile(p)).Path(), "%WINDIR%\\notepad.exe");
}

TEST(ShellLinkTest, NetworkIsReadFromTheParsedLinkOnly) {
  Parts p;
  p.link_info = LocalInfo("C:\\App.exe", "", false);
  EXPECT_FALSE(Parsed(LinkFile(p)).PointsToNetwork());
  p.strings[2] = "\\\\srv\\work";
  EXPECT_TRUE(Parsed(LinkFile(p)).PointsToNetwork());
  p.unicode = true;
  EXPECT_TRUE(Parsed(LinkFile(p)).PointsToNetwork());
  p.strings[2].clear();
  p.strings[3] = "/share \\\\srv\\x";
  EXPECT_TRUE(Parsed(LinkFile(p)).PointsToNetwork());
  // A `\\` in an unknown block is no network path.
  p.strings[3].clear();
  p.blocks = {Block(0x12345678, "\\\\srv\\x")};
  EXPECT_FALSE(Parsed(LinkFile(p)).PointsToNetwork());
}

TEST(ShellLinkTest, SettersRoundTripAndKeepWhatTheyDoNotTouch) {
  for (bool unicode : {false, true}) {
    SCOPED_TRACE(unicode);
    const std::string bytes = LinkFile(FullParts(unicode));
    ShellLink link = Parsed(bytes);
    const std::string id_list = link.id_list();
    link.SetWorkingFolder("D:\\Neu");
    link.SetArguments("-q \xFC");
    link.SetIconLocation("D:\\shell.dll", 5);
    link.SetHotKey(0x0642);
    link.SetShowCommand(3);
    link.SetDescription("");
    ShellLink back = Parsed(link.Serialize());
    EXPECT_EQ(back.WorkingFolder(), "D:\\Neu");
    EXPECT_EQ(back.Arguments(), "-q \xFC");
    EXPECT_EQ(back.IconFile(), "D:\\shell.dll");
    EXPECT_EQ(back.IconIndex(), 5);
    EXPECT_EQ(back.HotKey(), 0x0642);
    EXPECT_EQ(back.ShowCommand(), 3);
    EXPECT_EQ(back.Description(), "");
    EXPECT_EQ(back.header().flags & link_flag::kHasName, 0u);
    EXPECT_EQ(back.id_list(), id_list);  // the target was not changed
    EXPECT_EQ(back.Path(), "C:\\Tools\\App.exe");
    EXPECT_EQ(back.header().flags & 0x00080100, 0x00080100u);
    EXPECT_EQ(back.extra_blocks()[1].bytes, Block(0x12345678, "unknown!"));

    back.SetPath("\\\\fs\\apps\\tool.exe");
    ShellLink moved = Parsed(back.Serialize());
    EXPECT_EQ(moved.Path(), "\\\\fs\\apps\\tool.exe");
    EXPECT_EQ(moved.link_info()->net_name, "\\\\fs\\apps");
    EXPECT_TRUE(moved.id_list().empty());
    EXPECT_EQ(moved.RelativePath(), "");
    EXPECT_EQ(moved.extra_blocks().size(), 2u);
    EXPECT_TRUE(TrackingForbidden(moved.Serialize()));
  }
}

TEST(ShellLinkTest, SetPathRebuildsTheTargetParts) {
  Parts p = FullParts(false);
  p.flags |= link_flag::kHasExpString;
  p.blocks.push_back(Block(link_block::kEnvironment, EnvironmentPayload("%X%\\a.exe")));
  p.blocks.push_back(Block(link_block::kTracker, std::string(0x58, 't')));
  ShellLink link = Parsed(LinkFile(p));
  EXPECT_EQ(link.Path(), "%X%\\a.exe");
  link.SetPath("c:\\Other\\b.exe");  // the same drive: the volume ID stays
  ShellLink local = Parsed(link.Serialize());
  EXPECT_EQ(local.Path(), "c:\\Other\\b.exe");
  EXPECT_EQ(local.link_info()->volume_id, kVolume);
  EXPECT_EQ(local.extra_blocks().size(), 2u);  // the environment and tracker blocks are gone
  EXPECT_EQ(local.header().flags & (link_flag::kHasExpString | link_flag::kHasIdList), 0u);

  local.SetPath("E:\\x");
  EXPECT_NE(Parsed(local.Serialize()).link_info()->volume_id, kVolume);
  local.SetPath("%ProgramFiles%\\y.exe");
  ShellLink expanded = Parsed(local.Serialize());
  EXPECT_EQ(expanded.Path(), "%ProgramFiles%\\y.exe");
  EXPECT_FALSE(expanded.link_info().has_value());
  local.SetPath("");
  EXPECT_EQ(Parsed(local.Serialize()).Path(), "");
}

TEST(ShellLinkTest, IconEnvironmentBlockFollowsTheIconLocation) {
  Parts p = FullParts(true);
  p.flags |= link_flag::kHasExpIcon;
  p.blocks.push_back(
      Block(link_block::kIconEnvironment, EnvironmentPayload("%SystemRoot%\\i.dll")));
  ShellLink link = Parsed(LinkFile(p));
  EXPECT_EQ(link.IconFile(), "%SystemRoot%\\i.dll");
  link.SetIconLocation("%SystemRoot%\\j.dll", 2);
  EXPECT_EQ(Parsed(link.Serialize()).IconFile(), "%SystemRoot%\\j.dll");
}

std::vector<std::string> DamagedLinks() {
  const std::string good = LinkFile(FullParts(true));
  std::vector<std::string> bad;
  for (std::size_t size = 0; size < good.size(); ++size) bad.push_back(good.substr(0, size));
  auto changed = [&](std::size_t at, std::uint32_t value, int size = 4) {
    std::string b = good;
    PutN(&b, at, value, size);
    return b;
  };
  const std::size_t id_at = 0x4C;
  const std::size_t info_at = id_at + 2 + IdList("C:\\", {"Tools", "App.exe"}).size();
  bad.push_back(changed(0, 0x4D));                  // header size
  bad.push_back(changed(8, 0x12345678));            // CLSID
  bad.push_back(changed(id_at, 0xFFF0, 2));         // ID list size
  bad.push_back(changed(id_at + 2, 0x7FFF, 2));     // first item runs past the list
  bad.push_back(changed(info_at, 0x7FFFFFFF));      // link info size
  bad.push_back(changed(info_at + 4, 0x20));        // link info header size
  bad.push_back(changed(info_at + 16, 0x10000));    // local base path offset
  bad.push_back(changed(info_at + 0x1C, 0x10000));  // its UTF-16 offset
  bad.push_back(changed(info_at + 24, 0x10000));    // suffix offset
  bad.push_back(changed(info_at + 12, 0x10000));    // volume ID offset
  bad.push_back(changed(info_at + 0x24, 0x1000));   // volume ID size
  const std::size_t strings_at = info_at + LocalInfo("C:\\Tools\\", "App.exe", true).size();
  bad.push_back(changed(strings_at, 0xFFFF, 2));  // a string count past the end
  bad.push_back(good.substr(0, good.size() - 4) + Le().U32(6).U32(0).b);  // block size 6
  bad.push_back(good.substr(0, good.size() - 4) + Le().U32(0x100).U32(1).U32(0).b);
  Parts network;
  network.link_info = NetworkInfo("\\\\s\\x", "", false);
  std::string net = LinkFile(network);
  Put32(&net, 0x4C + 0x1C + 8, 0x400);  // net name offset past the network part
  bad.push_back(net);
  bad.push_back("[InternetShortcut]\r\nURL=http://example.com/\r\n");
  return bad;
}

TEST(ShellLinkTest, DamagedInputsAreErrors) {
  for (const std::string& bytes : DamagedLinks()) {
    ShellLink link;
    EXPECT_EQ(ShellLink::Parse(bytes, &link), LinkError::kDamaged) << bytes.size();
  }
}

TEST(ShellLinkTest, LoadAndSaveThroughTheFileService) {
  testing::ScopedTempDir dir;
  ShellLink link;
  EXPECT_EQ(LoadShellLink(dir / "missing.lnk", &link), LinkError::kNotFound);
  testing::WriteFile(dir / "site.url", "[InternetShortcut]\r\nURL=http://x/\r\n");
  EXPECT_EQ(LoadShellLink(dir / "site.url", &link), LinkError::kDamaged);
  testing::MakeFolders(dir / "folder.lnk");
  EXPECT_EQ(LoadShellLink(dir / "folder.lnk", &link), LinkError::kOther);

  testing::WriteFile(dir / "app.lnk", LinkFile(FullParts(false)));
  ASSERT_EQ(LoadShellLink(dir / "app.lnk", &link), LinkError::kNone);
  link.SetArguments("--new");
  ASSERT_TRUE(SaveShellLink(dir / "app.lnk", link).ok());
  EXPECT_EQ(testing::Names(dir.path()),
            (std::vector<std::string>{"app.lnk", "folder.lnk", "site.url"}));
  ShellLink back;
  ASSERT_EQ(LoadShellLink(dir / "app.lnk", &back), LinkError::kNone);
  EXPECT_EQ(back.Arguments(), "--new");
  EXPECT_EQ(testing::ReadFile(dir / "app.lnk"), link.Serialize());
}

TEST(ShellLinkTest, TrackingSwitchEditsOnlyNetworkLinks) {
  testing::ScopedTempDir dir;
  Parts network;
  network.flags = 0x4800;  // other bits of the byte at offset 21, which stay
  network.link_info = NetworkInfo("\\\\srv\\share", "a.exe", false);
  const std::string net = LinkFile(network);
  const std::string local = LinkFile(FullParts(true));  // 0x100 already set
  testing::WriteFile(dir / "net.lnk", net);
  testing::WriteFile(dir / "local.lnk", local);
  const std::string url = "[InternetShortcut]\r\nURL=file://\\\\srv\\x\r\n";
  testing::WriteFile(dir / "site.url", url);
  testing::WriteFile(dir / "cut.lnk", net.substr(0, net.size() - 1));

  EXPECT_EQ(SetLinkTracking(dir / "net.lnk", false), TrackingChange::kUnchanged);
  EXPECT_EQ(SetLinkTracking(dir / "net.lnk", true), TrackingChange::kChanged);
  std::string expected = net;
  expected[21] = '\x49';
  EXPECT_EQ(testing::ReadFile(dir / "net.lnk"), expected);
  EXPECT_EQ(SetLinkTracking(dir / "net.lnk", false), TrackingChange::kChanged);
  EXPECT_EQ(testing::ReadFile(dir / "net.lnk"), net);
  EXPECT_EQ(SetLinkTracking(dir / "local.lnk", false), TrackingChange::kLocal);
  EXPECT_EQ(SetLinkTracking(dir / "site.url", true), TrackingChange::kNotALink);
  EXPECT_EQ(SetLinkTracking(dir / "cut.lnk", true), TrackingChange::kNotALink);
  EXPECT_EQ(SetLinkTracking(dir / "gone.lnk", true), TrackingChange::kNotALink);
  EXPECT_EQ(testing::ReadFile(dir / "local.lnk"), local);
  EXPECT_EQ(testing::ReadFile(dir / "site.url"), url);
  EXPECT_EQ(testing::ReadFile(dir / "cut.lnk"), net.substr(0, net.size() - 1));
}

TEST(ShellLinkTest, FuzzSeedsAndRegressionsRunCleanly) {
#ifndef TSL_FUZZ_DIR
  FAIL() << "the folder of kept fuzz inputs is not known to this test program";
#else
  int seeds = 0;
  for (const testing::KeptFuzzInput& input : testing::KeptFuzzInputs(TSL_FUZZ_DIR, "shell_link")) {
    SCOPED_TRACE(input.name);
    fuzzing::RunShellLinkFuzzInput(reinterpret_cast<const std::uint8_t*>(input.bytes.data()),
                                   input.bytes.size());
    seeds += input.name.rfind("seeds/", 0) == 0;
  }
  EXPECT_GE(seeds, 4);
  // The damaged links go through the body as well.
  for (const std::string& bytes : DamagedLinks()) {
    fuzzing::RunShellLinkFuzzInput(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                   bytes.size());
  }
#endif
}

// Writes the fuzz target's seeds from the links above:
//   shortcuts_tests --gtest_also_run_disabled_tests --gtest_filter=*WriteFuzzSeeds
// with TSL_SEED_DIR set to fuzz/seeds/shell_link.
TEST(ShellLinkTest, DISABLED_WriteFuzzSeeds) {
  const char* folder = std::getenv("TSL_SEED_DIR");
  ASSERT_NE(folder, nullptr);
  Parts network;
  network.unicode = true;
  network.link_info = NetworkInfo("\\\\server\\share", "dir\\f.txt", true);
  network.strings[3] = "\\\\server\\x";
  Parts env = FullParts(false);
  env.flags |= link_flag::kHasExpString | link_flag::kHasExpIcon;
  env.blocks.push_back(Block(link_block::kEnvironment, EnvironmentPayload("%A%\\b.exe")));
  env.blocks.push_back(Block(link_block::kIconEnvironment, EnvironmentPayload("%A%\\i.ico")));
  const std::pair<const char*, std::string> seeds[] = {
      {"ansi.lnk", LinkFile(FullParts(false))},
      {"unicode.lnk", LinkFile(FullParts(true))},
      {"network.lnk", LinkFile(network)},
      {"environment.lnk", LinkFile(env)},
  };
  for (const auto& [name, bytes] : seeds) {
    testing::WriteFile(std::string(folder) + "/" + name, bytes);
  }
}

}  // namespace
}  // namespace tsl

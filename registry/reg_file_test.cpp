// .REG files: value lines read and written, wrapping, the writer's header rule and undo file
// names, and loading (REGEDIT4 and UTF-16 files).
#include "registry/reg_file.h"

#include <gtest/gtest.h>

#include "platform/fault_injection.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

using testing::ReadFile;
using testing::ScopedTempDir;
using testing::WriteFile;

// A UTF-16LE file: byte-order mark and the text's code units.
std::string Utf16(const std::u16string& text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

std::string Bytes(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s.push_back(static_cast<char>(b));
  return s;
}

RegValueLine Parse(std::string_view line) { return ParseRegValue(line, false); }

TEST(ParseRegValueTest, ReadsEveryForm) {
  RegValueLine v = Parse(R"("C:\\Temp"="C:\\Temp\r\n\"x\"\ty")");
  EXPECT_EQ(v.kind, RegValueLine::Kind::kSet);
  EXPECT_EQ(v.name, "C:\\Temp");
  EXPECT_EQ(v.type, 1u);
  EXPECT_EQ(v.data, std::string("C:\\Temp\r\n\"x\"\ty\0", 15));  // with its terminating zero

  v = Parse("@=DWORD:FF");
  EXPECT_EQ(v.kind, RegValueLine::Kind::kSet);
  EXPECT_EQ(v.name, "");
  EXPECT_EQ(v.type, 4u);
  EXPECT_EQ(v.data, Bytes({0xff, 0, 0, 0}));

  v = Parse("\"b\"=HEX:0a,FF, 1");
  EXPECT_EQ(v.type, 3u);
  EXPECT_EQ(v.data, Bytes({0x0a, 0xff, 0x01}));
  v = Parse("\"q\"=hex(b):01,00,00,00,00,00,00,80");
  EXPECT_EQ(v.type, 11u);
  EXPECT_EQ(v.data.size(), 8u);  // a 64-bit number keeps its 8 bytes
  EXPECT_EQ(Parse("\"e\"=hex(2):41,00").data, std::string("A\0", 2));
  EXPECT_EQ(Parse("\"n\"=hex(0):").kind, RegValueLine::Kind::kSet);
  EXPECT_EQ(Parse("\"t\"=hex(ffffffff):01").type, 0xffffffffu);

  // Deletions: an empty value part, and forms this format does not know (regedit's `-`).
  EXPECT_EQ(Parse("\"d\"=").kind, RegValueLine::Kind::kDelete);
  EXPECT_EQ(Parse("\"d\"=-").kind, RegValueLine::Kind::kDelete);

  v = Parse("\"r\"=HKEY_CURRENT_USER\\Software\\X\"Source Value\"  ");
  EXPECT_EQ(v.kind, RegValueLine::Kind::kReference);
  EXPECT_EQ(v.reference_key, "HKEY_CURRENT_USER\\Software\\X");
  EXPECT_EQ(v.reference_value, "Source Value");
}

TEST(ParseRegValueTest, MalformedLinesChangeNothing) {
  for (const char* line :
       {"\"unterminated=\"x\"", "\"v\"=\"open", "\"v\"=dword:123456789", "\"v\"=dword:xyz",
        "\"v\"=dword:", "\"v\"=hex:123", "\"v\"=hex:01,,02", "\"v\"=hex:01 02", "\"v\"=hex:0g",
        "\"v\"=hex(1ffffffff):00", "\"v\"=hex(:00", "\"v\"=hex(2", "plain=1", "\"no equals\""}) {
    EXPECT_EQ(Parse(line).kind, RegValueLine::Kind::kInvalid) << line;
  }
  // A closing comma is tolerated, as are blanks a wrapped line leaves.
  EXPECT_EQ(Parse("\"v\"=hex:01, 02 ,").data, Bytes({1, 2}));
}

TEST(ParseRegValueTest, Utf16FilesHoldWideTextInHexForms) {
  RegValueLine v = ParseRegValue("\"m\"=hex(7):61,00,e9,00,00,00,ac,20,00,00,00,00", true);
  EXPECT_EQ(v.type, 7u);
  EXPECT_EQ(v.data, std::string("a\xE9\0\x80\0\0", 6));
  EXPECT_EQ(ParseRegValue("\"b\"=hex:61,00", true).data, std::string("a\0", 2));
  EXPECT_EQ(ParseRegValue("\"e\"=hex(2):61,00,62", true).kind, RegValueLine::Kind::kInvalid);
}

TEST(FormatRegValueLineTest, WritesEachTypeAndReadsItBack) {
  const std::string with_quote = "a\\b\"c";
  struct Case {
    std::string name;
    std::uint32_t type;
    std::string data;
    std::string line;
  };
  const std::vector<Case> cases = {
      {"s", 1, std::string("C:\\Temp\r\n\0", 10), R"("s"="C:\\Temp\r\n")"},
      {"", 1, std::string("\0", 1), "@=\"\""},
      {with_quote, 1, std::string("\"\t\0", 3), R"("a\\b\"c"="\"\t")"},
      {"d", 4, Bytes({0xff, 0, 0, 0}), "\"d\"=dword:000000ff"},
      {"b", 3, Bytes({0, 0xab}), "\"b\"=hex:00,ab"},
      {"e", 2, std::string("%P%\0", 4), "\"e\"=hex(2):25,50,25,00"},
      {"q", 11, Bytes({1, 2, 3, 4, 5, 6, 7, 8}), "\"q\"=hex(b):01,02,03,04,05,06,07,08"},
      {"n", 0, "", "\"n\"=hex(0):"},
      // Data that a quoted text or dword would not give back exactly stays in hex.
      {"u", 1, "no zero", "\"u\"=hex(1):6e,6f,20,7a,65,72,6f"},
      {"z", 1, std::string("a\0b\0", 4), "\"z\"=hex(1):61,00,62,00"},
      {"w", 4, Bytes({1, 2}), "\"w\"=hex(4):01,02"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatRegValueLine(&c.name, c.type, &c.data), c.line);
    RegValueLine back = Parse(c.line);
    EXPECT_EQ(back.kind, RegValueLine::Kind::kSet) << c.line;
    EXPECT_EQ(back.name, c.name) << c.line;
    EXPECT_EQ(back.type, c.type) << c.line;
    EXPECT_EQ(back.data, c.data) << c.line;
  }
  EXPECT_EQ(FormatRegValueLine(&with_quote, 1, nullptr), R"("a\\b\"c"=)");
}

// The physical lines of a wrapped value line.
std::vector<std::string> Wrapped(const std::string& line, std::size_t name_length) {
  std::string text = WrapRegValueLine(line, name_length);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  return testing::SplitLines(text);
}

// Joins physical lines as the reader does.
std::string Joined(const std::vector<std::string>& lines) {
  ScriptFile file(/*registry_mode=*/true);
  std::string text = "[k]\n";
  for (const std::string& line : lines) text += line + "\n";
  file.Parse(text);
  return file.sections().at(0)->lines().at(0);
}

TEST(WrapRegValueLineTest, CutsAfterTheLastCommaThatFits) {
  const std::string name = "v";
  std::string data(40, '\x11');
  std::string line = FormatRegValueLine(&name, 3, &data);  // 4 + 4 + 119 characters
  std::vector<std::string> lines = Wrapped(line, 1);
  ASSERT_EQ(lines.size(), 2u);
  // "v"=hex: and 23 bytes: the last comma at or before position 78 is at 76.
  EXPECT_EQ(lines[0], line.substr(0, 77) + "\\");
  EXPECT_EQ(lines[1], "  " + line.substr(77));
  EXPECT_EQ(Joined(lines), line);

  // 80 characters with the line end stay on one line; 81 do not.
  const std::string three = "vvv";
  data.assign(23, '\x22');
  line = FormatRegValueLine(&three, 3, &data);
  ASSERT_EQ(line.size() + 2, 80u);
  EXPECT_EQ(Wrapped(line, 3).size(), 1u);
  data.assign(24, '\x22');
  line = FormatRegValueLine(&name, 3, &data);
  ASSERT_EQ(line.size() + 2, 81u);
  EXPECT_EQ(Wrapped(line, 1).size(), 2u);

  // Long data: every physical line within 80 characters, continuations with two blanks.
  data.assign(1000, '\x5a');
  line = FormatRegValueLine(&name, 7, &data);
  lines = Wrapped(line, 1);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_LE(lines[i].size() + 2, 80u) << i;
    if (i > 0) {
      EXPECT_EQ(lines[i].substr(0, 2), "  ");
    }
  }
  EXPECT_EQ(Joined(lines), line);
}

TEST(WrapRegValueLineTest, LongNamesGoFirst) {
  const std::string name(90, 'n');
  const std::string data(30, '\x01');
  const std::string line = FormatRegValueLine(&name, 3, &data);
  std::vector<std::string> lines = Wrapped(line, name.size());
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "\"" + name + "\"=hex:01,\\");
  EXPECT_EQ(Joined(lines), line);
  // With one byte there is no comma: the line stays whole.
  const std::string one = "\x01";
  EXPECT_EQ(Wrapped(FormatRegValueLine(&name, 3, &one), name.size()).size(), 1u);

  // A name of about 72 characters with blanks: no continuation may start with white space,
  // which the reader would drop.
  for (char blank : {' ', '\v'}) {
    for (std::size_t length = 60; length <= 76; ++length) {
      std::string spaced(length, blank);
      spaced[0] = 'x';
      for (std::size_t i = 0; i < length; i += 7) spaced[i] = ',';
      std::string spaced_line = FormatRegValueLine(&spaced, 3, &data);
      EXPECT_EQ(Joined(Wrapped(spaced_line, length)), spaced_line) << length;
    }
  }
}

class RegWriterTest : public ::testing::Test {
 protected:
  ScopedTempDir dir_;
};

TEST_F(RegWriterTest, SharesHeadersAndFlushesEachEntry) {
  FaultInjectingFileSystem counting(RealFileSystem());
  ScopedFileSystem scope(counting);
  RegWriter writer;
  ASSERT_TRUE(writer.Open(dir_ / "out.reg"));
  const std::string a = "a", b = "b", text = std::string("x\0", 2);
  writer.WriteEntry("HKEY_CURRENT_USER\\K\\", &a, 1, &text);
  // Handed to the system at once, not kept for Close.
  EXPECT_EQ(counting.log().back(), "Flush " + dir_ / "out.reg");
  writer.WriteEntry("HKEY_CURRENT_USER\\K", &b, 1, nullptr);
  writer.WriteEntry("HKEY_CURRENT_USER\\k", nullptr, 0, nullptr);  // case counts
  writer.WriteEntry("HKEY_CURRENT_USER\\K", nullptr, 1, &text);
  writer.ForgetHeader();
  writer.WriteEntry("HKEY_CURRENT_USER\\K", &a, 1, nullptr);
  EXPECT_TRUE(writer.Close());
  EXPECT_EQ(ReadFile(dir_ / "out.reg"),
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"a\"=\"x\"\r\n\"b\"=\r\n"
            "\r\n[HKEY_CURRENT_USER\\k]\r\n"
            "\r\n[HKEY_CURRENT_USER\\K]\r\n@=\"x\"\r\n"
            "\r\n[HKEY_CURRENT_USER\\K]\r\n\"a\"=\r\n");
  EXPECT_FALSE(writer.Open("NUL"));
}

// The entries reach the file in the order written (flushed one by one, as the test above shows),
// and Close rewrites it last-first.
TEST_F(RegWriterTest, ReversedFilesListTheEntriesLastFirst) {
  RegWriter writer;
  ASSERT_TRUE(writer.Open(dir_ / "undo.reg", RegWriter::Order::kReversed));
  const std::string v = "v", one = std::string("1\0", 2), two = std::string("2\0", 2);
  const std::string marker = "RT_Rename_Key", old_path = std::string("HKEY_USERS\\Old\0", 15);
  writer.ForgetHeader();
  writer.WriteEntry("HKEY_USERS\\New", &marker, 1, &old_path);
  writer.ForgetHeader();
  writer.WriteEntry("HKEY_USERS\\New", &v, 1, &one);
  writer.WriteEntry("HKEY_USERS\\New", &v, 1, &two);
  EXPECT_TRUE(writer.Close());
  EXPECT_EQ(ReadFile(dir_ / "undo.reg"),
            "REGEDIT4\r\n\r\n[HKEY_USERS\\New]\r\n\"v\"=\"2\"\r\n\"v\"=\"1\"\r\n"
            "\r\n[HKEY_USERS\\New]\r\n\"RT_Rename_Key\"=\"HKEY_USERS\\\\Old\"\r\n");
  EXPECT_EQ(testing::Names(dir_.path()), std::vector<std::string>{"undo.reg"});
}

TEST_F(RegWriterTest, UndoFileNamesAreNeverReused) {
  CalendarTime now;
  now.year = 2002, now.month = 5, now.day = 17, now.hour = 14, now.minute = 3, now.second = 59;
  const std::string folder = dir_ / "made/here";
  std::vector<std::string> paths;
  for (int i = 0; i < 3; ++i) {
    RegWriter writer;
    ASSERT_TRUE(writer.OpenUndoFile(folder, now));
    paths.push_back(writer.path());
  }
  const std::string base = folder + testing::Separator() + "RT2002-05-17 14_03_59";
  EXPECT_EQ(paths, (std::vector<std::string>{base + ".reg", base + " (2).reg", base + " (3).reg"}));
  EXPECT_EQ(ReadFile(paths[0]), "REGEDIT4\r\n");
}

TEST_F(RegWriterTest, AFailedWriteIsReportedAtClose) {
  FaultInjectingFileSystem faulty(RealFileSystem());
  ScopedFileSystem scope(faulty);
  RegWriter writer;
  ASSERT_TRUE(writer.Open(dir_ / "out.reg"));
  faulty.FailAt(1, ErrorKind::kDiskFull);
  const std::string a = "a";
  writer.WriteEntry("HKEY_USERS\\K", &a, 1, nullptr);
  EXPECT_FALSE(writer.Close());
}

// When the reversed copy cannot be made, the journal stays: every entry, in the order made.
TEST_F(RegWriterTest, AFailedReversalKeepsTheJournal) {
  FaultInjectingFileSystem faulty(RealFileSystem());
  ScopedFileSystem scope(faulty);
  const std::string a = "a", b = "b";
  for (std::int64_t k = 2;; ++k) {  // call 1 is the journal's own Close
    SCOPED_TRACE(k);
    faulty.FailAt(0, ErrorKind::kDiskFull);
    RegWriter writer;
    ASSERT_TRUE(writer.Open(dir_ / "undo.reg", RegWriter::Order::kReversed));
    writer.WriteEntry("HKEY_USERS\\K", &a, 1, nullptr);
    writer.WriteEntry("HKEY_USERS\\K", &b, 1, nullptr);
    faulty.FailAt(k, ErrorKind::kDiskFull);
    const bool closed = writer.Close();
    if (!faulty.fired()) {
      EXPECT_TRUE(closed);
      break;
    }
    EXPECT_FALSE(closed);
    EXPECT_EQ(ReadFile(dir_ / "undo.reg"),
              "REGEDIT4\r\n\r\n[HKEY_USERS\\K]\r\n\"a\"=\r\n\"b\"=\r\n");
    EXPECT_EQ(testing::Names(dir_.path()), std::vector<std::string>{"undo.reg"});
  }
  EXPECT_EQ(ReadFile(dir_ / "undo.reg"), "REGEDIT4\r\n\r\n[HKEY_USERS\\K]\r\n\"b\"=\r\n\"a\"=\r\n");
}

TEST(DefaultUndoFolderTest, EndsWithASeparator) {
  const std::string folder = DefaultUndoFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), testing::Separator());
  if (NativePathStyle() != PathStyle::kPosix) return;
  // Linux: the program's state folder, made when the first undo file goes there.
  ScopedTempDir state;
  testing::ScopedEnvironment variable("XDG_STATE_HOME", state.path());
  EXPECT_EQ(DefaultUndoFolder(), state.path() + "/tessaline/");
  RegWriter writer;
  ASSERT_TRUE(writer.OpenUndoFile(DefaultUndoFolder(), CalendarTime{}));
  EXPECT_EQ(writer.path().substr(0, state.path().size() + 13), state.path() + "/tessaline/RT");
}

class RegFileLoadTest : public ::testing::Test {
 protected:
  RegFileRead Load(const std::string& path) {
    error_.clear();
    return file_.Load(path, &error_);
  }
  ScopedTempDir dir_;
  RegFile file_;
  std::string error_;
};

TEST_F(RegFileLoadTest, RegistryModeAcceptsOnlyRegistryFiles) {
  WriteFile(dir_ / "a.reg", "regedit4\r\n[HKEY_USERS\\x]\r\n\"v\"=dword:00000001\r\n");
  EXPECT_EQ(Load(dir_ / "a.reg"), RegFileRead::kLoaded);
  EXPECT_FALSE(file_.converted_from_utf16());
  ASSERT_NE(file_.document().FindSection("HKEY_USERS\\x"), nullptr);

  WriteFile(dir_ / "script.ini", "[Action1]\nKey=HKEY_USERS\n");
  EXPECT_EQ(Load(dir_ / "script.ini"), RegFileRead::kNotRegFile);
  EXPECT_TRUE(file_.document().sections().empty());
  EXPECT_EQ(Load(dir_ / "missing.reg"), RegFileRead::kUnreadable);
  EXPECT_EQ(error_, dir_ / "missing.reg" + " was not found.");

  // A UTF-16 file with the wrong header is not a registry file.
  WriteFile(dir_ / "w.reg", Utf16(u"Windows Registry Editor Version 4.00\r\n"));
  EXPECT_EQ(Load(dir_ / "w.reg"), RegFileRead::kNotRegFile);
}

// Version 5 files are UTF-16, converted in memory: a user's file that has the name a
// temporary copy once had is never touched.
TEST_F(RegFileLoadTest, Utf16FilesAreConvertedInMemory) {
  WriteFile(dir_ / "u.reg", Utf16(u"Windows Registry Editor Version 5.00\r\n\r\n"
                                  u"[HKEY_USERS\\y]\r\n\"caf\u00E9\"=\"\u20AC\"\r\n"
                                  u"\"m\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"));
  const std::string users_file = RealFileSystem().TempFolder() + "u.reg.tmp";
  WriteFile(users_file, "mine");
  FaultInjectingFileSystem counting(RealFileSystem());
  {
    ScopedFileSystem scope(counting);
    EXPECT_EQ(Load(dir_ / "u.reg"), RegFileRead::kLoaded);
  }
  EXPECT_EQ(counting.log(), std::vector<std::string>{"ReadWholeFile " + dir_ / "u.reg"});
  EXPECT_EQ(ReadFile(users_file), "mine");
  RealFileSystem().RemoveFile(users_file);
  EXPECT_TRUE(file_.converted_from_utf16());
  std::vector<RegFile::Line> lines = file_.ValueLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].key_path, "HKEY_USERS\\y");
  EXPECT_EQ(lines[0].text, "\"caf\xE9\"=\"\x80\"");
  // The multi-string of two strings comes out as 8-bit text.
  EXPECT_EQ(ParseRegValue(lines[1].text, file_.converted_from_utf16()).data,
            std::string("a\0b\0\0", 5));
}

TEST_F(RegFileLoadTest, ValueLinesCanBeRemoved) {
  ASSERT_TRUE(file_.LoadText("x.reg", "REGEDIT4\n[A]\n\"1\"=\"\"\n[B]\n\"2\"=\"\"\n\"3\"=\"\"\n"));
  file_.RemoveValueLine(1);
  std::vector<RegFile::Line> lines = file_.ValueLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].text, "\"1\"=\"\"");
  EXPECT_EQ(lines[1].key_path, "B");
  EXPECT_EQ(lines[1].text, "\"3\"=\"\"");
  file_.RemoveValueLine(7);  // nothing there
  EXPECT_EQ(file_.ValueLines().size(), 2u);
}

}  // namespace
}  // namespace tsl

#include "script/script_file.h"

#include <gtest/gtest.h>

#include "platform/fault_injection.h"
#include "platform/file_system.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

using testing::ReadFile;
using testing::ScopedTempDir;
using testing::WriteFile;

ScriptFile Parsed(const std::string& text, bool registry_mode = false) {
  ScriptFile script(registry_mode);
  script.Parse(text);
  return script;
}

std::string StringOf(const ScriptFile& script, const char* section, const char* key) {
  std::string value = "<unset>";
  const ScriptSection* s = script.FindSection(section);
  if (s) s->GetString(key, &value);
  return value;
}

TEST(ScriptFileTest, SectionsAndKeysFollowTheLookupRules) {
  ScriptFile script = Parsed(
      "Mask=*.doc\n"
      "[Default]\r\n"
      "MASK=*.txt\r\n"
      "Mask=second\n"
      "Mask =spaced\n"
      " Path=indented\n"
      ";Comment=1\n"
      "Path=C:\\a=b\n"
      "Empty=\n"
      "no equals sign\n"
      "[ Default ]\n"
      "Mask=blanks\n"
      "[default]\n"
      "Mask=later\n"
      "[Broken\n"
      "Extra=still in default\n"
      "[Last] trailing text\n"
      "Mask=*.txt");
  EXPECT_EQ(StringOf(script, "Default", "Mask"), "*.txt");
  EXPECT_EQ(StringOf(script, "DEFAULT", "Path"), "C:\\a=b");
  EXPECT_EQ(StringOf(script, "Default", "Empty"), "");
  // "[Broken" is no header: its lines stay in the section before it, the second "[default]".
  EXPECT_EQ(StringOf(script, "Default", "Extra"), "<unset>");
  std::string extra;
  EXPECT_TRUE(script.sections()[2]->GetString("Extra", &extra));
  EXPECT_EQ(extra, "still in default");
  EXPECT_EQ(StringOf(script, "Default", ";Comment"), "1");  // no comment syntax
  EXPECT_EQ(StringOf(script, "Default", "Missing"), "<unset>");
  EXPECT_EQ(StringOf(script, " Default ", "Mask"), "blanks");
  EXPECT_EQ(StringOf(script, "Last", "Mask"), "*.txt");
  ASSERT_EQ(script.sections().size(), 4u);
  EXPECT_EQ(script.sections()[3]->name(), "Last");
  EXPECT_EQ(script.FindSection("Nowhere"), nullptr);
}

TEST(ScriptFileTest, IntegerConversion) {
  struct Case {
    const char* value;
    std::int64_t expected;
  } cases[] = {
      {"1", 1},    {" 1", 1},        {"\t-42x", -42}, {"+7", 7},      {"yes", 0},
      {"true", 0}, {"", 0},          {"12abc", 12},   {"- 1", 0},     {"3600", 3600},
      {"9223372036854775807", INT64_MAX},
  };
  for (const Case& c : cases) EXPECT_EQ(ScriptInteger(c.value), c.expected) << c.value;
  // 32-bit values wrap silently, as the script format never had overflow checks.
  ScriptFile script = Parsed("[S]\nBig=4294967297\nSwitch=yes\nSize=5000000000\n");
  std::int32_t value = -1;
  EXPECT_TRUE(script.GetInt("S", "Big", &value));
  EXPECT_EQ(value, 1);
  EXPECT_TRUE(script.GetInt("s", "Switch", &value));
  EXPECT_EQ(value, 0);
  value = 99;
  EXPECT_FALSE(script.GetInt("S", "Missing", &value));
  EXPECT_FALSE(script.GetInt("Missing", "Big", &value));
  EXPECT_EQ(value, 99);
  std::int64_t size = 0;
  EXPECT_TRUE(script.FindSection("S")->GetInt64("Size", &size));
  EXPECT_EQ(size, 5000000000);
}

TEST(ScriptFileTest, LongValuesAreCut) {
  ScriptFile script = Parsed("[S]\nLong=" + std::string(5000, 'x') + "\n");
  std::string value;
  ASSERT_TRUE(script.FindSection("S")->GetString("Long", &value));
  EXPECT_EQ(value.size(), kMaxScriptValue);
}

TEST(ScriptFileTest, ActionListRunsInAscendingNumber) {
  struct Case {
    const char* text;
    std::vector<std::string> expected;
  } cases[] = {
      {"[Action2]\nName=two\n[Action1]\nName=one\n", {"one", "two"}},
      {"[Action1]\nName=one\n[Action3]\nName=three\n", {"one", "three"}},
      {"[action3]\nName=three\n[ACTION1]\n", {"default", "three"}},
      {"[Action03]\nName=never\n[Action1]\n", {"default"}},  // 03 counts for N but is never found
      {"[ActionX]\nName=x\n", {}},
      {"[Default]\nName=base\n", {}},
      {"[Action1]\nName=first\n[Action1]\nName=second\n", {"first"}},
      {"[Action2000000000]\nName=far\n", {"far"}},
      {"[Action-1]\nName=neg\n", {}},
  };
  for (const Case& c : cases) {
    ScriptFile script = Parsed(c.text);
    std::string defaults = "default";
    std::vector<std::string> names = BuildActionList<std::string>(
        script, defaults,
        [](const ScriptSection& section, std::string* name) { section.GetString("Name", name); });
    EXPECT_EQ(names, c.expected) << c.text;
  }
}

TEST(ScriptFileTest, RegistryModeKeepsValueLinesAndJoinsContinuations) {
  ScriptFile script = Parsed(
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\X]\r\n"
      "\"Name\"=\"Value\" \\\r\n   \"more\"\r\n"
      "@=\"default\"\r\n"
      "Plain=ignored\r\n"
      "\"Bin\"=hex:01,02,\\\r\n  03\r\n",
      /*registry_mode=*/true);
  const ScriptSection* key = script.FindSection("HKEY_CURRENT_USER\\Software\\X");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->lines(), (std::vector<std::string>{"\"Name\"=\"Value\" \"more\"",
                                                    "@=\"default\"", "\"Bin\"=hex:01,02,03"}));
}

TEST(ScriptFileDiskTest, LoadReportsUnreadableFilesAndIgnoresEmptyOnes) {
  ScopedTempDir dir;
  ScriptFile script;
  std::string error;
  std::string missing = dir / "missing.ini";
  EXPECT_FALSE(script.Load(missing, &error));
  EXPECT_EQ(error, missing + " was not found.");

  error.clear();
  WriteFile(dir / "empty.ini", "");
  EXPECT_FALSE(script.Load(dir / "empty.ini", &error));
  EXPECT_EQ(error, "");

  WriteFile(dir / "ok.ini", "[Default]\nMask=*.txt");
  EXPECT_TRUE(script.Load(dir / "ok.ini", &error));
  EXPECT_EQ(script.path(), dir / "ok.ini");
  EXPECT_EQ(StringOf(script, "Default", "Mask"), "*.txt");
}

TEST(ScriptFileDiskTest, ReadFailureGivesTheStandardText) {
  ScopedTempDir dir;
  WriteFile(dir / "s.ini", "[Default]\n");
  FaultInjectingFileSystem faulty(RealFileSystem());
  ScopedFileSystem scope(faulty);
  faulty.FailAt(1, ErrorKind::kSharingViolation);
  ScriptFile script;
  std::string error;
  EXPECT_FALSE(script.Load(dir / "s.ini", &error));
  EXPECT_EQ(error, "A sharing violation occurred while accessing " + dir / "s.ini" + ".");
}

}  // namespace
}  // namespace tsl

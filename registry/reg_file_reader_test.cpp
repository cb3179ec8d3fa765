#include "registry/reg_file_reader.h"

#include <gtest/gtest.h>

#include "platform/fault_injection.h"
#include "platform/file_system.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

using testing::ScopedTempDir;
using testing::WriteFile;

class RegFileReaderTest : public ::testing::Test {
 protected:
  RegFileRead Load(const std::string& path, ScriptFile* reg) {
    error_.clear();
    return LoadRegFile(path, reg, &error_, &converted_);
  }
  ScopedTempDir dir_;
  std::string error_;
  bool converted_ = false;
};

// A UTF-16LE file: byte-order mark and the text's code units.
std::string Utf16(const std::u16string& text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

TEST_F(RegFileReaderTest, RegistryModeAcceptsOnlyRegistryFiles) {
  ScriptFile reg(/*registry_mode=*/true);
  WriteFile(dir_ / "a.reg", "regedit4\r\n[HKEY_USERS\\x]\r\n\"v\"=dword:00000001\r\n");
  EXPECT_EQ(Load(dir_ / "a.reg", &reg), RegFileRead::kLoaded);
  EXPECT_FALSE(converted_);
  ASSERT_NE(reg.FindSection("HKEY_USERS\\x"), nullptr);

  WriteFile(dir_ / "script.ini", "[Action1]\nKey=HKEY_USERS\n");
  EXPECT_EQ(Load(dir_ / "script.ini", &reg), RegFileRead::kNotRegFile);
  EXPECT_EQ(Load(dir_ / "missing.reg", &reg), RegFileRead::kUnreadable);
  EXPECT_EQ(error_, dir_ / "missing.reg" + " was not found.");

  // Version 5 files are UTF-16: converted through a temporary copy that does not stay behind.
  WriteFile(dir_ / "u.reg", Utf16(u"Windows Registry Editor Version 5.00\r\n\r\n"
                                   u"[HKEY_USERS\\y]\r\n\"caf\u00E9\"=\"\u20AC\"\r\n"));
  std::string temporary = RealFileSystem().TempFolder() + "u.reg.tmp";
  EXPECT_EQ(Load(dir_ / "u.reg", &reg), RegFileRead::kLoaded);
  EXPECT_TRUE(converted_);
  EXPECT_FALSE(PathExists(temporary));
  const ScriptSection* y = reg.FindSection("HKEY_USERS\\y");
  ASSERT_NE(y, nullptr);
  EXPECT_EQ(y->lines(), std::vector<std::string>{"\"caf\xE9\"=\"\x80\""});

  // A UTF-16 file with the wrong header is not a registry file.
  WriteFile(dir_ / "w.reg", Utf16(u"Windows Registry Editor Version 4.00\r\n"));
  EXPECT_EQ(Load(dir_ / "w.reg", &reg), RegFileRead::kNotRegFile);
}

TEST_F(RegFileReaderTest, FailedConversionLeavesNoTemporaryFile) {
  WriteFile(dir_ / "u.reg", Utf16(u"Windows Registry Editor Version 5.00\r\n[HKEY_USERS\\y]\r\n"));
  std::string temporary = RealFileSystem().TempFolder() + "u.reg.tmp";
  FaultInjectingFileSystem faulty(RealFileSystem());
  ScopedFileSystem scope(faulty);
  // Fail every operation in turn: a load that met a failure fails, and the copy never stays
  // behind unless deleting it was what failed.
  for (int k = 1; k < 20; ++k) {
    faulty.FailAt(k, ErrorKind::kDiskFull);
    ScriptFile reg(/*registry_mode=*/true);
    bool loaded = Load(dir_ / "u.reg", &reg) == RegFileRead::kLoaded;
    if (!faulty.fired()) {
      EXPECT_TRUE(loaded);
      EXPECT_FALSE(PathExists(temporary));
      break;
    }
    bool delete_failed = faulty.log().at(k - 1).rfind("RemoveFile", 0) == 0;
    EXPECT_EQ(PathExists(temporary), delete_failed) << "k=" << k;
    EXPECT_EQ(loaded, delete_failed) << "k=" << k;
    RealFileSystem().RemoveFile(temporary);
  }
}

}  // namespace
}  // namespace tsl

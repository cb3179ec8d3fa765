// The registry job as users run it: a .REG file named in the registry slot is imported (with an
// undo file), and a registry script's actions replace, preview and merge, each undone by
// importing its undo file with TslRun itself.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/file_system.h"
#include "platform/registry.h"
#include "registry/reg_file.h"
#include "tests/support/registry_support.h"
#include "tests/support/test_support.h"

namespace tsl::testing {
namespace {

class RegistryJobTest : public ::testing::Test {
 protected:
  RegistryJobTest() : state_("XDG_STATE_HOME", state_dir_.path()), before_(Names(undo_folder_)) {}
  // On Windows the default undo folder is the program's own folder: the test takes away the
  // undo files its imports left there.
  ~RegistryJobTest() override {
    for (const std::string& name : MadeUndoFiles())
      RealFileSystem().RemoveFile(undo_folder_ + name);
  }
  std::vector<std::string> MadeUndoFiles() {
    std::vector<std::string> made;
    for (const std::string& name : Names(undo_folder_)) {
      if (name.rfind("RT", 0) == 0 &&
          std::find(before_.begin(), before_.end(), name) == before_.end()) {
        made.push_back(name);
      }
    }
    return made;
  }

  int Run(const std::string& argument, const std::string& answers = "") {
    ProcessResult result = RunTslRun(argument, dir_.path(), answers, &transcript_);
    EXPECT_TRUE(result.error.ok()) << "TslRun could not be started";
    return result.exit_code;
  }
  std::string Here(const std::string& name) { return dir_ / name; }
  // The scratch key's path as scripts and .REG files write it.
  std::string Key() { return "HKEY_CURRENT_USER\\" + registry_.scratch_path(); }
  std::pair<std::uint32_t, std::string> Value(const std::string& name) {
    std::uint32_t type = 0;
    std::string data;
    EXPECT_EQ(reg::QueryValue(registry_.scratch(), name, &type, &data), reg::kOk) << name;
    return {type, data};
  }
  bool HasValue(const std::string& name) {
    std::uint32_t type = 0;
    std::string data;
    return reg::QueryValue(registry_.scratch(), name, &type, &data) == reg::kOk;
  }

  ScopedRegistry registry_;
  ScopedTempDir dir_;
  ScopedTempDir state_dir_;
  ScopedEnvironment state_;
  const std::string undo_folder_ = DefaultUndoFolder();
  const std::vector<std::string> before_;
  std::vector<std::string> transcript_;
};

TEST_F(RegistryJobTest, ARegFileIsImportedAndItsUndoFileTakesItBack) {
  ASSERT_EQ(
      reg::SetValue(registry_.scratch(), "Server", reg::type::kString, std::string("Old\0", 4)),
      reg::kOk);
  WriteFile(Here("settings.reg"),
            "REGEDIT4\r\n\r\n[" + Key() + "]\r\n\"Server\"=\"New\"\r\n\"Port\"=dword:00000050\r\n");
  EXPECT_EQ(Run("||settings.reg|"), 0);
  EXPECT_TRUE(transcript_.empty());
  EXPECT_EQ(Value("Server"), std::make_pair(reg::type::kString, std::string("New\0", 4)));
  EXPECT_EQ(Value("Port"), std::make_pair(reg::type::kDword, std::string("\x50\0\0\0", 4)));

  std::vector<std::string> made = MadeUndoFiles();
  ASSERT_EQ(made.size(), 1u);
  std::string undo = undo_folder_ + made[0];
  EXPECT_EQ(Run("||" + undo + "|"), 0);
  EXPECT_EQ(Value("Server"), std::make_pair(reg::type::kString, std::string("Old\0", 4)));
  EXPECT_FALSE(HasValue("Port"));
}

TEST_F(RegistryJobTest, AScriptReplacesAndItsUndoFileRestoresTheKey) {
  ASSERT_EQ(reg::SetValue(registry_.scratch(), "Path", reg::type::kString,
                          std::string("C:\\OldServer\\x\0", 15)),
            reg::kOk);
  ASSERT_EQ(reg::SetValue(registry_.scratch(), "OldServerName", reg::type::kDword,
                          std::string("\1\0\0\0", 4)),
            reg::kOk);
  WriteFile(Here("fix.ini"),
            "[Default]\r\nSearch String=OldServer\r\nReplace String=NewServer\r\n"
            "Replace=1\r\nPrompts=0\r\nValues=1\r\nOutput/Undo File=" +
                Here("undo.reg") + "\r\n[Action1]\r\nKey=" + Key() + "\r\n");
  EXPECT_EQ(Run("||fix.ini|"), 0);
  EXPECT_TRUE(transcript_.empty());
  EXPECT_EQ(Value("Path").second, std::string("C:\\NewServer\\x\0", 15));
  EXPECT_TRUE(HasValue("NewServerName"));
  EXPECT_FALSE(HasValue("OldServerName"));

  EXPECT_EQ(Run("||undo.reg|"), 0);
  EXPECT_EQ(Value("Path").second, std::string("C:\\OldServer\\x\0", 15));
  EXPECT_EQ(Value("OldServerName"), std::make_pair(reg::type::kDword, std::string("\1\0\0\0", 4)));
  EXPECT_FALSE(HasValue("NewServerName"));
}

TEST_F(RegistryJobTest, APreviewIsMergedAfterTheUserDeletesALine) {
  for (const char* name : {"A", "B"}) {
    ASSERT_EQ(reg::SetValue(registry_.scratch(), name, reg::type::kString, std::string("red\0", 4)),
              reg::kOk);
  }
  WriteFile(Here("preview.ini"),
            "[Action1]\r\nSearch String=red\r\nReplace String=blue\r\n"
            "Prompts=2\r\nOutput/Undo File=" +
                Here("preview.reg") + "\r\nUndo Files Path=" + dir_.path() + "\r\nKey=" + Key() +
                "\r\n");
  EXPECT_EQ(Run("||preview.ini|", "Delete 1;Merge Values;OK"), 0);
  ASSERT_EQ(transcript_.size(), 3u) << ::testing::PrintToString(transcript_);
  EXPECT_EQ(transcript_[0],
            "Question: Reg File to Registry Compare and Merge: 2 items -> Delete 1");
  EXPECT_EQ(transcript_[1],
            "Question: Reg File to Registry Compare and Merge: 1 items -> Merge Values");
  EXPECT_EQ(transcript_[2], "MessageBox: 1 changes were made to the registry. -> OK");
  // The line left was one of the two values; the other keeps its data.
  std::string a = Value("A").second, b = Value("B").second;
  EXPECT_EQ(std::min(a, b), std::string("blue\0", 5));
  EXPECT_EQ(std::max(a, b), std::string("red\0", 4));
}

}  // namespace
}  // namespace tsl::testing

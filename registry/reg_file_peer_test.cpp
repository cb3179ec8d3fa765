// The .REG format against another implementation of it: the system's own regedit and reg (on
// Linux there is none, and these tests are skipped). Files they export import exactly; files we
// write, undo files included, they import as we mean them.
#include <gtest/gtest.h>

#include <map>

#include "platform/paths.h"
#include "platform/process.h"
#include "registry/reg_file.h"
#include "registry/registry_access.h"
#include "tests/support/registry_support.h"

namespace tsl {
namespace {

using testing::ScopedRegistry;
using testing::ScopedTempDir;

struct Value {
  std::string name;
  std::uint32_t type;
  std::string data;
};

using Values = std::map<std::string, std::pair<std::uint32_t, std::string>>;

Values ReadValues(const reg::Key& parent, const std::string& subkey) {
  Values values;
  reg::Key key;
  if (reg::OpenKey(parent, subkey, reg::access::kRead, &key) != reg::kOk) return values;
  std::string name, data;
  std::uint32_t type = 0;
  for (std::uint32_t i = 0; reg::EnumValue(key, i, &name, &type, &data) == reg::kOk; ++i) {
    values[name] = {type, data};
  }
  return values;
}

// Values of every type the peers read and write alike: strings with their terminating zero
// (a string without one comes back from them with a byte more or less).
std::vector<Value> SampleValues(bool with_tab) {
  return {
      {"s", 1, std::string(with_tab ? "C:\\Temp\r\n\"q\"\ty" : "C:\\Temp\r\n\"q\" y") + '\0'},
      {"", 1, std::string("default\0", 8)},
      {"a\\b\"c", 1, std::string("name with a backslash and a quote\0", 34)},
      {"caf\xE9", 1, std::string("\xE9t\xE9\0", 4)},
      {"e", 2, std::string("%TEMP%\\x\0", 10)},
      {"m", 7, std::string("one\0two\0\0", 9)},
      {"b", 3, std::string("\x00\x01\xff", 3)},
      {"long", 3, std::string(200, '\x5a')},
      {"d", 4, std::string("\x78\x56\x34\x12", 4)},
      {"q", 11, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8)},
      {"be", 5, std::string("\x00\x00\x01\x02", 4)},
  };
}

class RegPeerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (NativePathStyle() != PathStyle::kWindows) {
      GTEST_SKIP() << "regedit and reg are Windows programs";
    }
  }

  std::string KeyPath() const { return "HKEY_CURRENT_USER\\" + registry_.scratch_path() + "\\P"; }

  void SetValues(const std::vector<Value>& values) {
    reg::Key key;
    ASSERT_EQ(reg::CreateKey(registry_.scratch(), "P", "", reg::access::kAll, &key, nullptr),
              reg::kOk);
    for (const Value& v : values) ASSERT_EQ(reg::SetValue(key, v.name, v.type, v.data), reg::kOk);
  }

  Values Current() { return ReadValues(registry_.scratch(), "P"); }

  void DeleteP() { ASSERT_EQ(testing::DeleteKeyTree(registry_.scratch(), "P"), reg::kOk); }

  void Run(const std::string& program, const std::vector<std::string>& arguments) {
    ProcessResult result = RunProcess(program, arguments);
    ASSERT_TRUE(result.error.ok()) << program;
    EXPECT_EQ(result.exit_code, 0) << program << " " << result.output << result.errors;
  }

  long ImportWithUs(const std::string& path, std::string* undo_path = nullptr,
                    const std::string& undo_folder = "") {
    RegFile file;
    std::string error;
    EXPECT_EQ(file.Load(path, &error), RegFileRead::kLoaded) << path;
    return file.Import(SystemRegistry(), undo_folder, undo_path);
  }

  ScopedRegistry registry_;
  ScopedTempDir dir_;
};

TEST_F(RegPeerTest, TheirExportsImportExactly) {
  SetValues(SampleValues(/*with_tab=*/true));
  const Values before = Current();
  ASSERT_EQ(before.size(), SampleValues(true).size());
  Run("regedit.exe", {"/E", dir_ / "regedit.reg", KeyPath()});
  Run("reg.exe", {"export", KeyPath(), dir_ / "reg.reg", "/y"});
  for (const char* file : {"regedit.reg", "reg.reg"}) {
    SCOPED_TRACE(file);
    DeleteP();
    EXPECT_EQ(ImportWithUs(dir_ / file), static_cast<long>(before.size()));
    EXPECT_EQ(Current(), before);
  }
}

TEST_F(RegPeerTest, RegeditImportsWhatWeWrite) {
  const std::vector<Value> values = SampleValues(/*with_tab=*/false);
  RegWriter writer;
  ASSERT_TRUE(writer.Open(dir_ / "ours.reg"));
  for (const Value& v : values) writer.WriteEntry(KeyPath(), &v.name, v.type, &v.data);
  ASSERT_TRUE(writer.Close());
  Run("regedit.exe", {"/S", dir_ / "ours.reg"});
  Values expected;
  for (const Value& v : values) expected[v.name] = {v.type, v.data};
  EXPECT_EQ(Current(), expected);
}

// Our undo file lists its entries last-first, so regedit, which knows nothing of that, restores
// a value set twice to its first data too.
TEST_F(RegPeerTest, RegeditImportsOurUndoFiles) {
  SetValues(SampleValues(/*with_tab=*/false));
  const Values before = Current();
  const std::string changes = dir_ / "changes.reg";
  {
    RegWriter writer;
    ASSERT_TRUE(writer.Open(changes));
    const std::string x = std::string("changed\0", 8), twice = std::string("again\0", 6);
    for (const Value& v : SampleValues(false)) writer.WriteEntry(KeyPath(), &v.name, 1, &x);
    const std::string s = "s";
    writer.WriteEntry(KeyPath(), &s, 1, &twice);
    ASSERT_TRUE(writer.Close());
  }
  std::string undo;
  EXPECT_EQ(ImportWithUs(changes, &undo, dir_ / "undo"), 12);
  EXPECT_EQ(Current().at("s"), std::make_pair(1u, std::string("again\0", 6)));
  Run("regedit.exe", {"/S", undo});
  EXPECT_EQ(Current(), before);
}

}  // namespace
}  // namespace tsl

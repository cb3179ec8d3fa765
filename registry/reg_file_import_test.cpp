// Importing .REG files, and importing their undo files back: every change comes undone, byte
// for byte, whatever the file did and whichever registry call failed.
#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "registry/key_tree.h"
#include "registry/reg_file.h"
#include "registry/registry_access.h"
#include "tests/support/registry_support.h"

namespace tsl {
namespace {

using testing::ReadFile;
using testing::ScopedEnvironment;
using testing::ScopedRegistry;
using testing::ScopedTempDir;

// A key tree read back: "path|value name" -> (type, data) for values, "path/" for keys.
using Tree = std::map<std::string, std::pair<std::uint32_t, std::string>>;

void ReadTree(const reg::Key& key, const std::string& path, Tree* tree) {
  (*tree)[path + "/"] = {0, ""};
  std::string name, data;
  std::uint32_t type = 0;
  for (std::uint32_t i = 0; reg::EnumValue(key, i, &name, &type, &data) == reg::kOk; ++i) {
    (*tree)[path + "|" + name] = {type, data};
  }
  for (const std::string& child : testing::SubkeyNames(key)) {
    reg::Key sub;
    ASSERT_EQ(reg::OpenKey(key, child, reg::access::kRead, &sub), reg::kOk);
    ReadTree(sub, path + "\\" + child, tree);
  }
}

std::string Bytes(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s.push_back(static_cast<char>(b));
  return s;
}

class RegImportTest : public ::testing::Test {
 protected:
  // The scratch key's path as .REG files write it.
  std::string Root() const { return "HKEY_CURRENT_USER\\" + registry_.scratch_path(); }

  Tree Snapshot() {
    Tree tree;
    ReadTree(registry_.scratch(), "", &tree);
    return tree;
  }

  void Set(const std::string& subkey, const std::string& name, std::uint32_t type,
           const std::string& data) {
    reg::Key key;
    ASSERT_EQ(reg::CreateKey(registry_.scratch(), subkey, "", reg::access::kAll, &key, nullptr),
              reg::kOk);
    ASSERT_EQ(reg::SetValue(key, name, type, data), reg::kOk);
  }

  std::optional<std::pair<std::uint32_t, std::string>> Get(const std::string& subkey,
                                                           const std::string& name) {
    reg::Key key;
    std::uint32_t type = 0;
    std::string data;
    if (reg::OpenKey(registry_.scratch(), subkey, reg::access::kRead, &key) != reg::kOk ||
        reg::QueryValue(key, name, &type, &data) != reg::kOk) {
      return std::nullopt;
    }
    return std::make_pair(type, data);
  }

  bool Exists(const std::string& subkey) {
    reg::Key key;
    return reg::OpenKey(registry_.scratch(), subkey, reg::access::kRead, &key) == reg::kOk;
  }

  // Imports a .REG text (`@` stands for the scratch key's path) with an undo file.
  long Import(const std::string& body, RegistryAccess& registry = SystemRegistry()) {
    std::string text = "REGEDIT4\r\n";
    for (std::size_t i = 0; i < body.size(); ++i) {
      text += body[i];
      if (body[i] == '[' && i + 1 < body.size() && body[i + 1] == '@') {
        text += Root();
        ++i;
      }
    }
    RegFile file;
    EXPECT_TRUE(file.LoadText("import.reg", text));
    return file.Import(registry, undo_dir_.path(), &undo_path_);
  }

  // Imports the undo file of the last import (without an undo file of its own).
  void Undo() {
    RegFile undo;
    std::string error;
    ASSERT_EQ(undo.Load(undo_path_, &error), RegFileRead::kLoaded) << undo_path_;
    undo.Import(SystemRegistry(), "");
  }

  ScopedRegistry registry_;
  ScopedTempDir undo_dir_;
  std::string undo_path_;
};

TEST_F(RegImportTest, UndoRestoresEveryValueTypeExactly) {
  const std::string long_data(300, '\x5c');
  Set("K", "s", 1, std::string("old\0", 4));
  Set("K", "bare", 1, "no zero");
  Set("K", "e", 2, std::string("%TEMP%\\x\0", 10));
  Set("K", "m", 7, std::string("a\0b\0\0", 5));
  Set("K", "b", 3, Bytes({0, 1, 2}));
  Set("K", "long", 3, long_data);
  Set("K", "d", 4, Bytes({1, 2, 3, 4}));
  Set("K", "be", 5, Bytes({0, 0, 0, 9}));
  Set("K", "q", 11, Bytes({1, 0, 0, 0, 0, 0, 0, 0}));
  Set("K", "none", 0, "");
  Set("K", "", 1, std::string("default\0", 8));
  Set("K", "a\\b\"c", 1, std::string("quoted\0", 7));
  const Tree before = Snapshot();

  const std::string names[] = {"s", "bare", "e", "m",    "b",           "long",
                               "d", "be",   "q", "none", "a\\\\b\\\"c", "new"};
  std::string body = "[@\\K]\r\n@=\"x\"\r\n";
  for (const std::string& name : names) body += "\"" + name + "\"=\"x\"\r\n";
  body += "\"d\"=dword:00000005\r\n\"q\"=hex(b):02,00,00,00,00,00,00,00\r\n\"b\"=\r\n";
  EXPECT_EQ(Import(body), 16);
  // Quoted texts are stored with their terminating zero; numbers keep their size.
  EXPECT_EQ(Get("K", "new"), std::make_pair(1u, std::string("x\0", 2)));
  EXPECT_EQ(Get("K", "a\\b\"c"), std::make_pair(1u, std::string("x\0", 2)));
  EXPECT_EQ(Get("K", "d"), std::make_pair(4u, Bytes({5, 0, 0, 0})));
  EXPECT_EQ(Get("K", "q")->second.size(), 8u);
  EXPECT_FALSE(Get("K", "b"));

  Undo();
  EXPECT_EQ(Snapshot(), before);
  // The long value came back from wrapped lines.
  EXPECT_NE(ReadFile(undo_path_).find("\\\r\n  "), std::string::npos);
}

TEST_F(RegImportTest, MarkersMoveCopyAndDeleteKeysAndComeUndone) {
  Set("A\\sub", "v", 1, std::string("a\0", 2));
  Set("C", "v", 3, "c");
  Set("C\\deep\\er", "w", 4, Bytes({1, 0, 0, 0}));
  Set("E\\x", "v", 1, std::string("e\0", 2));
  Set("E", "top", 1, std::string("t\0", 2));
  Set("lower\\kid", "v", 1, std::string("l\0", 2));
  const Tree before = Snapshot();

  EXPECT_EQ(Import("[@\\A]\r\n\"RT_Rename_Key\"=\"" + Root() +
                   "\\\\Moved\\\\Here\"\r\n"
                   "[@\\C]\r\n\"RT_Copy_Key\"=\"" +
                   Root() +
                   "\\\\D\"\r\n"
                   "[@\\E]\r\n\"RT_Rename_Key\"=\"\"\r\n"
                   "[@\\lower]\r\n\"RT_Rename_Key\"=\"" +
                   Root() + "\\\\LOWER\"\r\n"),
            4);
  EXPECT_FALSE(Exists("A"));
  EXPECT_EQ(Get("Moved\\Here\\sub", "v"), std::make_pair(1u, std::string("a\0", 2)));
  EXPECT_EQ(Get("D\\deep\\er", "w"), Get("C\\deep\\er", "w"));
  EXPECT_FALSE(Exists("E"));
  std::vector<std::string> names = testing::SubkeyNames(registry_.scratch());
  EXPECT_NE(std::find(names.begin(), names.end(), "LOWER"), names.end());

  Undo();
  EXPECT_EQ(Snapshot(), before);  // Moved (made for the move) is gone again, lower is lower
  names = testing::SubkeyNames(registry_.scratch());
  EXPECT_NE(std::find(names.begin(), names.end(), "lower"), names.end());
}

TEST_F(RegImportTest, RefusedMarkersChangeNothing) {
  Set("S\\kid", "v", 1, std::string("s\0", 2));
  Set("T", "v", 1, std::string("t\0", 2));
  const Tree before = Snapshot();
  EXPECT_EQ(Import("[@\\S]\r\n\"RT_Rename_Key\"=\"" + Root() +
                   "\\\\S\\\\kid\\\\x\"\r\n"             // below
                   "[@\\S]\r\n\"RT_Copy_Key\"=\"\"\r\n"  // empty
                   "[@\\S]\r\n\"RT_Copy_Key\"=\"" +
                   Root() +
                   "\\\\T\"\r\n"  // taken
                   "[@\\S]\r\n\"RT_Rename_Key\"=dword:00000001\r\n"
                   "[@\\S]\r\n\"RT_Rename_Key\"=\"%%ENVVAR=TSL_UNSET_VARIABLE%%\"\r\n"
                   "[@\\Missing]\r\n\"RT_Rename_Key\"=\"" +
                   Root() + "\\\\Other\"\r\n"),
            0);
  EXPECT_EQ(Snapshot(), before);
  // With a second line the marker is an ordinary value.
  EXPECT_EQ(Import("[@\\S]\r\n\"RT_Rename_Key\"=\"x\"\r\n\"v\"=\"y\"\r\n"), 2);
  EXPECT_EQ(Get("S", "RT_Rename_Key"), std::make_pair(1u, std::string("x\0", 2)));
}

// A key renamed and then given values, and a value set twice: the undo file takes them back
// last-first.
TEST_F(RegImportTest, UndoRunsInReverseOrder) {
  Set("Old", "v", 1, std::string("old\0", 4));
  Set("Keep", "w", 1, std::string("w0\0", 3));
  const Tree before = Snapshot();
  EXPECT_EQ(Import("[@\\Old]\r\n\"RT_Rename_Key\"=\"" + Root() +
                   "\\\\New\"\r\n"
                   "[@\\New]\r\n\"v\"=\"new\"\r\n\"w\"=\"1\"\r\n"
                   "[@\\Keep]\r\n\"w\"=\"w1\"\r\n"
                   "[@\\Keep]\r\n\"w\"=\"w2\"\r\n"),
            5);
  EXPECT_EQ(Get("New", "v"), std::make_pair(1u, std::string("new\0", 4)));
  Undo();
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(RegImportTest, ReferencesAndEnvironmentMarkers) {
  Set("Src", "from", 3, Bytes({7, 8}));
  Set("Dst", "gone", 1, std::string("g\0", 2));
  ScopedEnvironment variable("TSL_REG_TEST", "Dst");
  const std::string src = Root() + "\\Src";
  EXPECT_EQ(Import("[@\\%%ENVVAR=TSL_REG_TEST%%]\r\n"
                   "\"copy\"=" +
                   src +
                   "\"from\"\r\n"
                   "\"gone\"=" +
                   src +
                   "\"nothing\"\r\n"
                   "\"n%%envvar=TSL_REG_TEST%%\"=\"<%%ENVVAR=TSL_REG_TEST%%>\"\r\n"),
            3);
  EXPECT_EQ(Get("Dst", "copy"), std::make_pair(3u, Bytes({7, 8})));
  EXPECT_FALSE(Get("Dst", "gone"));
  EXPECT_EQ(Get("Dst", "nDst"), std::make_pair(1u, std::string("<Dst>\0", 6)));
}

TEST_F(RegImportTest, NoUndoFileNoImport) {
  testing::WriteFile(undo_dir_ / "file", "");
  RegFile file;
  ASSERT_TRUE(file.LoadText("x.reg", "REGEDIT4\r\n[" + Root() + "]\r\n\"v\"=\"x\"\r\n"));
  EXPECT_EQ(file.Import(SystemRegistry(), undo_dir_ / "file"), -1);
  EXPECT_FALSE(Get("", "v"));
  EXPECT_EQ(file.Import(SystemRegistry(), ""), 1);  // no undo folder asked for
  EXPECT_TRUE(Get("", "v"));
}

// Every registry call of an import fails in turn; importing the undo file then restores the
// scratch key exactly.
TEST_F(RegImportTest, AnyFailedCallLeavesAnUndoFileThatRestores) {
  auto reset = [&] {
    EXPECT_EQ(testing::DeleteKeyTree(registry_.scratch(), "W"), reg::kOk);
    Set("W\\Old\\kid", "k", 3, Bytes({1}));
    Set("W\\Old", "v", 1, std::string("old\0", 4));
    Set("W\\Copy", "c", 4, Bytes({3, 0, 0, 0}));
    Set("W\\Gone\\sub", "g", 1, std::string("g\0", 2));
    Set("W\\Vals", "a", 1, std::string("a\0", 2));
  };
  Set("W", "", 1, std::string("\0", 1));
  reset();
  const Tree before = Snapshot();
  const std::string body = "[@\\W\\Old]\r\n\"RT_Rename_Key\"=\"" + Root() +
                           "\\\\W\\\\New\"\r\n"
                           "[@\\W\\New]\r\n\"v\"=\"new\"\r\n\"x\"=hex:01,02\r\n"
                           "[@\\W\\Copy]\r\n\"RT_Copy_Key\"=\"" +
                           Root() +
                           "\\\\W\\\\Made\\\\C\"\r\n"
                           "[@\\W\\Gone]\r\n\"RT_Rename_Key\"=\"\"\r\n"
                           "[@\\W\\Vals]\r\n\"a\"=\"1\"\r\n\"a\"=\"2\"\r\n\"b\"=dword:1\r\n"
                           "[@\\W\\Fresh\\Key]\r\n\"f\"=\"f\"\r\n";
  FaultInjectingRegistry faulty(SystemRegistry());
  int runs = 0;
  for (std::int64_t k = 1; k < 400; ++k) {
    SCOPED_TRACE("failing call " + std::to_string(k));
    faulty.FailAt(k);
    Import(body, faulty);
    Undo();
    Tree after = Snapshot();
    EXPECT_EQ(after, before);
    if (after != before) {
      for (const std::string& line : faulty.log()) ADD_FAILURE() << line;
      break;
    }
    ++runs;
    if (!faulty.fired()) break;
    reset();
  }
  EXPECT_GT(runs, 40);
  EXPECT_FALSE(faulty.fired());  // the last run went through
}

TEST_F(RegImportTest, KeyTreesOfAnyDepthWithoutRecursion) {
  // Made one level at a time: a single path of that length is more than Windows takes.
  reg::Key level;
  ASSERT_EQ(reg::CreateKey(registry_.scratch(), "T", "", reg::access::kAll, &level, nullptr),
            reg::kOk);
  for (int i = 0; i < 150; ++i) {
    reg::Key next;
    ASSERT_EQ(reg::CreateKey(level, "d", "", reg::access::kAll, &next, nullptr), reg::kOk);
    level = std::move(next);
  }
  ASSERT_EQ(reg::SetValue(level, "v", 1, std::string("deep\0", 5)), reg::kOk);
  level.Close();
  Set("T\\d", "side", 3, "s");
  const Tree before = Snapshot();
  EXPECT_EQ(TransferKeyTree(SystemRegistry(), registry_.scratch(), "T", registry_.scratch(), "U",
                            TreeTransfer::kCopy),
            reg::kOk);
  // A target that exists is never merged into.
  EXPECT_EQ(TransferKeyTree(SystemRegistry(), registry_.scratch(), "T", registry_.scratch(), "U",
                            TreeTransfer::kMove),
            kTargetExists);
  RegWriter record;
  ASSERT_TRUE(record.Open(undo_dir_ / "record.reg"));
  EXPECT_EQ(DeleteKeyTree(SystemRegistry(), registry_.scratch(), "T", Root(), &record), reg::kOk);
  record.Close();
  EXPECT_FALSE(Exists("T"));
  EXPECT_EQ(DeleteKeyTree(SystemRegistry(), registry_.scratch(), "", Root(), nullptr), 1010);
  RegFile file;
  std::string error;
  ASSERT_EQ(file.Load(undo_dir_ / "record.reg", &error), RegFileRead::kLoaded);
  EXPECT_EQ(file.Import(SystemRegistry(), ""), 2);
  EXPECT_EQ(testing::DeleteKeyTree(registry_.scratch(), "U"), reg::kOk);
  EXPECT_EQ(Snapshot(), before);
}

}  // namespace
}  // namespace tsl

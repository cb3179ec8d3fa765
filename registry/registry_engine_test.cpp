#include "registry/registry_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>

#include "platform/file_system.h"
#include "registry/reg_file.h"
#include "registry/registry_access.h"
#include "tests/support/registry_support.h"

namespace tsl {
namespace {

using testing::ScopedRegistry;
using testing::ScopedTempDir;
using Answer = RegistryReplaceAnswer;

class ScriptedUi : public RegistryEngineUi {
 public:
  Answer AskReplace(RegistryItem, const std::string& key_path, const std::string& value_name,
                    const std::string& old_text, const std::string& new_text) override {
    questions.push_back(key_path + "|" + value_name + "|" + old_text + "|" + new_text);
    if (answers.empty()) return Answer::kReplaceThis;
    Answer a = answers.front();
    answers.pop_front();
    return a;
  }
  std::unique_ptr<SearchingWindow> OpenSearchingWindow(bool*) override { return nullptr; }
  bool AskMerge(const std::string&, const std::vector<MergeRow>& shown, std::vector<std::size_t>* kept) override {
    rows = shown;
    for (std::size_t i = 0; i < shown.size(); ++i) {
      if (std::find(merge_delete.begin(), merge_delete.end(), i) == merge_delete.end()) {
        kept->push_back(i);
      }
    }
    return true;
  }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }

  std::deque<Answer> answers;
  std::vector<std::string> questions, messages;
  std::vector<MergeRow> rows;
  std::vector<std::size_t> merge_delete;
};

std::string Str(const std::string& text) { return text + std::string(1, '\0'); }

class RegistryEngineTest : public ::testing::Test {
 protected:
  RegistryEngineTest() {
    EXPECT_EQ(reg::CreateKey(registry_.scratch(), "K", "", reg::access::kAll, &k_, nullptr),
              reg::kOk);
  }
  std::string KeyText() const { return "HKEY_CURRENT_USER\\" + registry_.scratch_path() + "\\K"; }
  RegistryAction Action(const std::string& search, const std::string& replace) {
    RegistryAction a;
    a.search = search;
    a.replace = replace;
    a.key = KeyText();
    a.prompts = 0;
    a.replace_mode = true;
    a.output_file = undo_;
    return a;
  }
  void Set(const std::string& path, const std::string& name, std::uint32_t type,
           const std::string& data) {
    reg::Key key;
    ASSERT_EQ(reg::CreateKey(k_, path, "", reg::access::kAll, &key, nullptr), reg::kOk);
    ASSERT_EQ(reg::SetValue(key, name, type, data), reg::kOk);
  }
  std::string Get(const std::string& path, const std::string& name) {
    reg::Key key;
    std::uint32_t type = 0;
    std::string data;
    if (reg::OpenKey(k_, path, reg::access::kRead, &key) != reg::kOk ||
        reg::QueryValue(key, name, &type, &data) != reg::kOk) {
      return "<none>";
    }
    return std::to_string(type) + ":" + data;
  }
  void Run(std::vector<RegistryAction> actions, RegistryAccess& registry = SystemRegistry()) {
    engine_ = std::make_unique<RegistryEngine>(registry, ui_);
    engine_->SetActions(std::move(actions));
    engine_->RunAll();
  }
  // Every key below K with its values (names, types, bytes), in one text.
  std::string Dump() {
    std::string out;
    std::vector<std::string> pending{""};
    while (!pending.empty()) {
      std::string path = pending.back();
      pending.pop_back();
      reg::Key key;
      if (reg::OpenKey(k_, path, reg::access::kRead, &key) != reg::kOk) continue;
      std::vector<std::string> values;
      std::string name, data;
      std::uint32_t type = 0;
      for (std::uint32_t i = 0; reg::EnumValue(key, i, &name, &type, &data) == reg::kOk; ++i) {
        values.push_back(name + "=" + std::to_string(type) + ":" + data);
      }
      std::sort(values.begin(), values.end());
      out += "[" + path + "]\n";
      for (const auto& v : values) out += v + "\n";
      for (const auto& child : testing::SubkeyNames(key)) {
        pending.push_back(path.empty() ? child : path + "\\" + child);
      }
    }
    return out;
  }
  long ImportUndo() {
    RegFile file;
    std::string error;
    if (file.Load(undo_, &error) != RegFileRead::kLoaded) return -1;
    return file.Import(SystemRegistry(), "");
  }

  ScopedRegistry registry_;
  ScopedTempDir dir_;
  std::string undo_ = dir_ / "undo.reg";
  reg::Key k_;
  ScriptedUi ui_;
  std::unique_ptr<RegistryEngine> engine_;
};

TEST_F(RegistryEngineTest, ValueRenameRecordsDeletionThenOldValue) {
  Set("", "OldName", 1, Str("data"));
  std::string before = Dump();
  auto a = Action("Old", "New");
  a.search_value_names = true;
  a.search_data = false;
  Run({a});
  EXPECT_EQ(Get("", "NewName"), "1:" + Str("data"));
  EXPECT_EQ(Get("", "OldName"), "<none>");
  std::string undo = testing::ReadFile(undo_);
  EXPECT_NE(undo.find("\"NewName\"=\r\n\"OldName\"=\"data\""), std::string::npos) << undo;
  EXPECT_EQ(engine_->counters().values_replaced, 1u);
  ImportUndo();
  EXPECT_EQ(Dump(), before);
}

TEST_F(RegistryEngineTest, RenameOntoExistingValueKeepsItsDataInTheUndo) {
  Set("", "Old1", 1, Str("x"));
  Set("", "New1", 4, std::string("\1\0\0\0", 4));
  Set("", "abc", 1, Str("gone"));
  std::string before = Dump();
  auto a = Action("Old", "New");
  a.search_value_names = true;
  auto b = Action("abc", "");
  b.search_value_names = true;
  b.output_file = dir_ / "undo2.reg";
  Run({a, b});
  EXPECT_EQ(Get("", "New1"), "1:" + Str("x"));
  EXPECT_EQ(Get("", "abc"), "<none>");
  std::string undo2 = testing::ReadFile(dir_ / "undo2.reg");
  EXPECT_EQ(undo2.find("\"abc\"=\r\n"), std::string::npos) << undo2;
  RegFile second;
  std::string error;
  ASSERT_EQ(second.Load(dir_ / "undo2.reg", &error), RegFileRead::kLoaded);
  second.Import(SystemRegistry(), "");
  ImportUndo();
  EXPECT_EQ(Dump(), before);
}

TEST_F(RegistryEngineTest, DataReplaceKeepsTheZeroAndCounts) {
  Set("", "v", 1, Str("xabcabcx"));
  Set("", "w", 1, Str("cat concat cat_x"));
  auto a = Action("abc", "Q");
  auto b = Action("cat", "dog");
  b.whole_word = true;
  b.output_file = "NUL";
  Run({a, b});
  EXPECT_EQ(Get("", "v"), "1:" + Str("xQQx"));
  EXPECT_EQ(Get("", "w"), "1:" + Str("dog concat cat_x"));
  EXPECT_EQ(engine_->counters().data_replaced, 1u);
  EXPECT_EQ(engine_->counters().data_found, 1u);
  EXPECT_EQ(engine_->StatisticsLine(),
            "Searched 1 keys, 2 values\nReplaced string in 0 keys(0 found), 0 values(0 found), "
            "1 data items (1 found)");
}

TEST_F(RegistryEngineTest, FindOutputKeepsSizesAndOneZero) {
  Set("", "bin", 3, "\x41\x42\x43");
  Set("", "num", 4, std::string("\x07\0\0\0", 4));
  Set("", "big", 11, std::string("\x07\0\0\0\0\0\0\0", 8));
  Set("", "str", 2, Str("%ABC%"));
  auto a = Action("abc", "");
  a.replace_mode = false;
  a.binary_data = true;
  auto b = Action("7", "9");
  b.replace_mode = false;
  b.string_data = b.expandable_data = b.multi_string_data = false;
  b.number_data = true;
  b.output_file = dir_ / "numbers.reg";
  Run({a, b});
  std::string found = testing::ReadFile(undo_);
  EXPECT_NE(found.find("\"bin\"=hex:41,42,43\r\n"), std::string::npos) << found;
  EXPECT_NE(found.find("\"str\"=hex(2):25,41,42,43,25,00\r\n"), std::string::npos) << found;
  std::string numbers = testing::ReadFile(dir_ / "numbers.reg");
  EXPECT_NE(numbers.find("\"num\"=dword:00000009\r\n"), std::string::npos) << numbers;
  EXPECT_NE(numbers.find("\"big\"=hex(b):09,00,00,00,00,00,00,00\r\n"), std::string::npos);
  EXPECT_EQ(engine_->counters().data_found, 2u);
}

TEST_F(RegistryEngineTest, NumberSearchReplacesAndRecordsUndo) {
  Set("", "one", 4, std::string("\1\0\0\0", 4));
  Set("", "three", 4, std::string("\3\0\0\0", 4));
  Set("", "q", 11, std::string("\1\0\0\0\0\0\0\0", 8));
  std::string before = Dump();
  auto a = Action("1", "2");
  a.string_data = a.expandable_data = a.multi_string_data = false;
  a.number_data = true;
  Run({a});
  EXPECT_EQ(Get("", "one"), "4:" + std::string("\2\0\0\0", 4));
  EXPECT_EQ(Get("", "three"), "4:" + std::string("\3\0\0\0", 4));
  EXPECT_EQ(Get("", "q"), "11:" + std::string("\2\0\0\0\0\0\0\0", 8));
  ImportUndo();
  EXPECT_EQ(Dump(), before);
}

TEST_F(RegistryEngineTest, KeyRenameContinuesInsideAndUndoes) {
  Set("TempFiles", "v", 1, Str("Temp here"));
  Set("TempFiles\\TempSub", "w", 1, Str("x"));
  Set("temp", "t", 1, Str("y"));
  std::string before = Dump();
  auto a = Action("Temp", "Tmp");
  a.case_sensitive = true;
  a.search_key_names = true;
  auto b = Action("temp", "Temp");
  b.case_sensitive = true;
  b.search_key_names = true;
  b.search_data = false;
  b.output_file = dir_ / "case.reg";
  Run({a, b});
  EXPECT_EQ(Get("TmpFiles", "v"), "1:" + Str("Tmp here"));
  EXPECT_EQ(Get("TmpFiles\\TmpSub", "w"), "1:" + Str("x"));
  EXPECT_EQ(Get("TempFiles", "v"), "<none>");
  EXPECT_EQ(testing::SubkeyNames(k_), (std::vector<std::string>{"Temp", "TmpFiles"}));
  std::string undo = testing::ReadFile(undo_);
  EXPECT_NE(undo.find("\\K\\TmpFiles]\r\n\"RT_Rename_Key\"=\"HKEY_CURRENT_USER\\\\"),
            std::string::npos)
      << undo;
  RegFile second;
  std::string error;
  ASSERT_EQ(second.Load(dir_ / "case.reg", &error), RegFileRead::kLoaded);
  second.Import(SystemRegistry(), "");
  ImportUndo();
  EXPECT_EQ(Dump(), before);
}

TEST_F(RegistryEngineTest, KeyRenameOntoSiblingIsRefusedAndDeletedKeyIsNotRevisited) {
  Set("TempA", "v", 1, Str("a"));
  Set("TmpA", "v", 1, Str("b"));
  Set("Gone", "v", 1, Str("c"));
  auto a = Action("Temp", "Tmp");
  a.search_key_names = true;
  Run({a});
  EXPECT_EQ(engine_->counters().keys_found, 1u);
  EXPECT_EQ(engine_->counters().keys_replaced, 0u);
  EXPECT_EQ(Get("TempA", "v"), "1:" + Str("a"));
  auto b = Action("Gone", "");
  b.search_key_names = true;
  b.prompts = 1;
  Set("", "Gone", 1, Str("Gone"));
  Run({b});
  EXPECT_EQ(Get("Gone", "v"), "<none>");
  EXPECT_EQ(engine_->counters().keys_searched, 3u);  // K, TempA, TmpA
  EXPECT_EQ(ui_.questions.size(), 2u);               // the data, the key name: once each
}

TEST_F(RegistryEngineTest, ListingOrderDoesNotSkipOrRepeat) {
  for (int i = 0; i < 40; ++i) {
    std::string n = std::to_string(100 + i);
    Set("", "b" + n, 1, Str("v"));
    Set("kb" + n, "x", 1, Str("v"));
  }
  auto a = Action("b", "a");
  a.search_value_names = a.search_key_names = true;
  a.search_data = false;
  Run({a});
  EXPECT_EQ(engine_->counters().values_replaced, 40u);
  EXPECT_EQ(engine_->counters().keys_replaced, 40u);
  EXPECT_EQ(engine_->counters().keys_searched, 41u);
  for (const auto& name : testing::ValueNames(k_)) EXPECT_EQ(name[0], 'a') << name;
  for (const auto& name : testing::SubkeyNames(k_)) EXPECT_EQ(name.substr(0, 2), "ka") << name;
}

TEST_F(RegistryEngineTest, PromptsReplaceRestAndCancelRest) {
  for (const char* n : {"a", "b", "c"}) Set("", n, 1, Str("abc"));
  auto a = Action("abc", "x");
  a.prompts = 1;
  a.output_file = "NUL";
  ui_.answers = {Answer::kReplaceRest, Answer::kCancelRest};
  Run({a, a});
  EXPECT_EQ(ui_.questions.size(), 1u);  // the second action had nothing left to find
  for (const char* n : {"d", "e"}) Set("", n, 1, Str("abc"));
  auto c = Action("abc", "y");
  c.prompts = 1;
  c.output_file = "NUL";
  auto d = c;
  d.prompts = 0;
  ui_.questions.clear();
  ui_.answers = {Answer::kCancelRest};
  Run({c, d});
  EXPECT_EQ(ui_.questions.size(), 1u);
  EXPECT_EQ(Get("", "d"), "1:" + Str("y"));
  EXPECT_EQ(Get("", "e"), "1:" + Str("y"));
}

TEST_F(RegistryEngineTest, ExportNothingFoundAndProcessSubkeysOff) {
  Set("", "v", 1, Str("a"));
  Set("Sub", "w", 4, std::string("\1\0\0\0", 4));
  auto a = Action("", "");
  a.search_key_names = true;
  Run({a});
  std::string out = testing::ReadFile(undo_);
  EXPECT_NE(out.find("\\K]\r\n\"v\"=\"a\"\r\n\r\n[HKEY_CURRENT_USER\\"), std::string::npos) << out;
  EXPECT_NE(out.find("\\K\\Sub]"), std::string::npos) << out;
  auto b = Action("zzz", "y");
  Run({b});
  EXPECT_FALSE(PathExists(undo_));
  auto c = Action("Sub", "Sib");
  c.search_key_names = true;
  c.process_subkeys = false;
  Run({c});
  EXPECT_EQ(engine_->counters().keys_searched, 1u);
  EXPECT_EQ(testing::SubkeyNames(k_), std::vector<std::string>{"Sub"});
}

TEST_F(RegistryEngineTest, StartKeysThatCannotBeOpenedAreSkipped) {
  auto a = Action("a", "b");
  a.key = KeyText() + "\\Missing";
  auto b = a;
  b.key = "\\\\nosuchmachine\\HKEY_LOCAL_MACHINE\\Software";
  auto c = a;
  c.key = "HKEY_NOWHERE\\x";
  Run({a, b, c});
  ASSERT_EQ(ui_.messages.size(), 3u);
  EXPECT_NE(ui_.messages[0].find("Missing"), std::string::npos);
  EXPECT_FALSE(PathExists(undo_));
}

TEST_F(RegistryEngineTest, PatternsAndSetValueData) {
  Set("", "v", 1, Str("a12b"));
  Set("", "size", 1, Str("big"));
  auto a = Action("+[0-9]", "#");
  a.regular_expression = true;
  auto bad = a;
  bad.search = "[z-a]";
  auto s = Action("size", "25");
  s.search_value_names = true;
  s.set_value_data = 4;
  s.output_file = "NUL";
  Run({a, bad, s});
  EXPECT_EQ(Get("", "v"), "1:" + Str("a#b"));
  EXPECT_EQ(ui_.messages, std::vector<std::string>{"Error parsing: z-a"});
  EXPECT_EQ(Get("", "size"), "4:" + std::string("\x19\0\0\0", 4));
}

TEST_F(RegistryEngineTest, PreviewMergesTheLinesLeft) {
  Set("", "a", 1, Str("abc"));
  Set("", "b", 1, Str("abc"));
  Set("abcKey", "c", 1, Str("abc"));
  auto a = Action("abc", "xyz");
  a.prompts = 2;
  a.search_key_names = true;
  a.undo_folder = dir_ / "undo";
  ui_.merge_delete = {0};
  Run({a});
  ASSERT_EQ(ui_.rows.size(), 4u);
  EXPECT_EQ(ui_.rows[1].registry_data, "abc");
  EXPECT_EQ(ui_.rows[1].reg_data, "xyz");
  EXPECT_EQ(Get("", "a"), "1:" + Str("abc"));
  EXPECT_EQ(Get("", "b"), "1:" + Str("xyz"));
  EXPECT_EQ(Get("xyzKey", "c"), "1:" + Str("xyz"));  // the key renamed first, then its value
  EXPECT_EQ(ui_.messages, std::vector<std::string>{"3 changes were made to the registry."});
}

TEST_F(RegistryEngineTest, DeepTreeIsWalkedWithoutRecursion) {
#ifdef _WIN32
  const int depth = 200;  // Windows and Wine keep key paths short
#else
  const int depth = 1000;
#endif
  reg::Key key;
  ASSERT_EQ(reg::CreateKey(k_, "d", "", reg::access::kAll, &key, nullptr), reg::kOk);
  for (int i = 1; i < depth; ++i) {
    reg::Key next;
    ASSERT_EQ(reg::CreateKey(key, "d", "", reg::access::kAll, &next, nullptr), reg::kOk);
    key = std::move(next);
  }
  reg::SetValue(key, "deep", 1, Str("needle"));
  auto a = Action("needle", "pin");
  Run({a});
  EXPECT_EQ(engine_->counters().keys_searched, static_cast<std::uint32_t>(depth + 1));
  EXPECT_EQ(engine_->counters().data_replaced, 1u);
}

// Every value type through a replace and its undo, and every registry call of a replacing
// action failed in turn: importing the undo file gives back the key as it was.
TEST_F(RegistryEngineTest, UndoRestoresEveryTypeWhateverCallFails) {
  auto fill = [&] {
    testing::DeleteKeyTree(registry_.scratch(), "K");
    ASSERT_EQ(reg::CreateKey(registry_.scratch(), "K", "", reg::access::kAll, &k_, nullptr),
              reg::kOk);
    Set("", "", 1, Str("default abc"));
    Set("", "s", 1, Str("abc"));
    Set("", "e", 2, Str("%abc%"));
    Set("", "m", 7, Str("abc") + Str("xabc") + std::string(1, '\0'));
    Set("", "b", 3, std::string(300, 'a') + "bc");
    Set("", "n", 0, "abc");
    Set("", "d", 4, std::string("abc\0", 4));
    Set("", "q", 11, std::string("abc\0\0\0\0\0", 8));
    Set("", "a\\b", 1, Str("abc"));
    Set("", "abcName", 1, Str("keep"));
    Set("abcKey", "v", 1, Str("abc"));
    Set("abcKey\\Inner", "v", 3, "abc");
    Set("Doomed\\abcLeaf", "v", 1, Str("z"));
  };
  fill();
  const std::string before = Dump();
  auto a = Action("abc", "XYZ");
  a.search_value_names = a.search_key_names = true;
  a.binary_data = a.number_data = true;
  auto kill = Action("Doomed", "");
  kill.search_key_names = true;
  std::int64_t k = 0;
  for (;; ++k) {
    fill();
    FaultInjectingRegistry faults(SystemRegistry());
    if (k > 0) faults.FailAt(k);
    a.output_file = undo_;
    kill.output_file = dir_ / "kill.reg";
    Run({a, kill}, faults);
    if (k > 0 && !faults.fired()) break;
    if (k == 0) {
      EXPECT_NE(Dump(), before);
    }
    RegFile killed;
    std::string error;
    if (killed.Load(dir_ / "kill.reg", &error) == RegFileRead::kLoaded) {
      killed.Import(SystemRegistry(), "");
    }
    ImportUndo();
    ASSERT_EQ(Dump(), before) << "failing call " << k << ": "
                              << (k > 0 ? faults.log()[k - 1] : "none");
    Files().RemoveFile(undo_);
    Files().RemoveFile(dir_ / "kill.reg");
  }
  EXPECT_GT(k, 100);  // every call of the two actions failed once
}

}  // namespace
}  // namespace tsl

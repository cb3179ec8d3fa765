// The registry job's windows with scripted answers: what the transcript records, what the
// answers do, the merge window's settings; and the Searching window over a display of the test's.
#include "services/registry_windows.h"

#include <gtest/gtest.h>

#include "platform/progress_display.h"
#include "services/test_registry_windows.h"

namespace tsl {
namespace {

using Lines = std::vector<std::string>;
using Kept = std::vector<std::size_t>;

class RegistryWindowsTest : public ::testing::Test {
 protected:
  testing::ScopedTempDir dir_;
  testing::ScriptedQuestions questions_{dir_ / "transcript.txt"};
  testing::ScopedMergeSettings settings_;
};

TEST_F(RegistryWindowsTest, ReplaceQuestionTakesItsFourAnswersAndCancelsRestWhenClosed) {
  questions_.Answers("replace this;Replace Rest;skip this;No such button");
  const std::string key = "HKEY_CURRENT_USER\\T";
  using A = RegistryReplaceAnswer;
  EXPECT_EQ(AskRegistryReplace(RegistryItem::kKeyName, key, "", "Temp", "Tmp"), A::kReplaceThis);
  EXPECT_EQ(AskRegistryReplace(RegistryItem::kValueName, key, "Old", "Old", "New"),
            A::kReplaceRest);
  EXPECT_EQ(AskRegistryReplace(RegistryItem::kValueData, key, "", "a\nb", "Q"), A::kSkipThis);
  EXPECT_EQ(AskRegistryReplace(RegistryItem::kValueData, key, "P", std::string(1001, 'x'), ""),
            A::kCancelRest);  // names no button
  EXPECT_EQ(AskRegistryReplace(RegistryItem::kValueData, key, "P", "1", "2"), A::kCancelRest);
  const std::string q = "Question: Replace - HKEY_CURRENT_USER\\T: ";
  EXPECT_EQ(
      questions_.TakeTranscript(),
      (Lines{q + "Key name\\nOld: Temp\\nNew: Tmp -> Replace This",
             q + "Value name\\nOld: Old\\nNew: New -> Replace Rest",
             q + "Data of value (Default)\\nOld: a^Jb\\nNew: Q -> Skip This",
             q + "Data of value P\\nOld: " + std::string(1000, 'x') + "...\\nNew:  -> Cancel Rest",
             q + "Data of value P\\nOld: 1\\nNew: 2 -> Cancel Rest"}));
}

TEST_F(RegistryWindowsTest, MergeDeletesAsListedAndCancelsOnAnAnswerNamingNoLine) {
  // Rows: only in the file, only in the registry, the same but for case, different.
  struct Case {
    const char* answers;
    bool case_sensitive;
    bool merged;
    Kept kept;
    Lines transcript;  // "<n> items -> <answer>"
  } cases[] = {
      {"Delete 3;delete  1;Merge Values",
       true,
       true,
       {1, 3},
       {"4 items -> Delete 3", "3 items -> Delete 1", "2 items -> Merge Values"}},
      // The same data are hidden ("Same Display" 0): Delete 3 names the fourth row, and the
      // hidden third one is merged.
      {"Delete 3;Merge Values",
       false,
       true,
       {0, 1, 2},
       {"3 items -> Delete 3", "2 items -> Merge Values"}},
      {"Delete 1;Cancel", true, false, {}, {"4 items -> Delete 1", "3 items -> Cancel"}},
      {"Delete 5", true, false, {}, {"4 items -> Cancel"}},
      {"Delete 0", true, false, {}, {"4 items -> Cancel"}},
      {"Delete", true, false, {}, {"4 items -> Cancel"}},
      {"Delete 1", true, false, {}, {"4 items -> Delete 1", "3 items -> Cancel"}},  // used up
  };
  WriteSettingInt("Settings", "Same Display", 0);
  for (const Case& c : cases) {
    WriteSettingInt("Settings", "Case sensitive", c.case_sensitive ? 1 : 0);
    questions_.Answers(c.answers);
    Kept kept;
    EXPECT_EQ(AskMerge(std::string("C:\\") + c.answers, testing::RowsOfEveryKind(), &kept),
              c.merged)
        << c.answers;
    EXPECT_EQ(kept, c.kept) << c.answers;
    Lines expected;
    for (const std::string& line : c.transcript) {
      expected.push_back("Question: Reg File to Registry Compare and Merge: " + line);
    }
    EXPECT_EQ(questions_.TakeTranscript(), expected) << c.answers;
    EXPECT_EQ(ReadSettingString("Settings", "Last REG File"), std::string("C:\\") + c.answers);
  }
}

// A display that records what it is told; `cancel` makes the next pump report a Cancel.
struct FakeSearchingDisplay : ProgressDisplay {
  FakeSearchingDisplay(Lines* shown, bool* press_cancel) : texts(shown), cancel(press_cancel) {}
  void SetBar(std::int64_t) override {}
  void SetText(const std::string& text) override { texts->push_back(text); }
  bool Pump() override { return std::exchange(*cancel, false); }
  void RefuseCancel() override { texts->push_back("(refused)"); }
  void Close() override { texts->push_back("(closed)"); }
  Lines* texts;
  bool* cancel;
};

TEST(SearchingWindowTest, ShowsATextAtMostEvery300MsAndCancelSetsTheFlag) {
  Lines texts;
  bool press_cancel = false;
  ScopedProgressDisplayFactory factory([&](const ProgressDisplaySetup& setup) {
    EXPECT_EQ(setup.kind, ProgressDisplayKind::kSearching);
    return std::make_unique<FakeSearchingDisplay>(&texts, &press_cancel);
  });
  std::int64_t now = 1000;
  bool cancelled = false;
  std::unique_ptr<SearchingWindow> window = OpenSearchingWindow(&cancelled, [&] { return now; });
  window->SetText("a");  // the first at once
  now += 299;
  window->SetText("b");
  window->SetText("c");  // waits, the newest replacing the older
  now += 1;
  window->PumpMessages();  // due: shown by the pump
  now += 100;
  window->SetText("d");
  EXPECT_EQ(texts, (Lines{"a", "c"}));
  press_cancel = true;
  now += 200;
  window->PumpMessages();
  EXPECT_TRUE(cancelled);
  window->SetText("e");  // the window is gone
  EXPECT_EQ(texts, (Lines{"a", "c", "d", "(closed)"}));

  // Without a flag Cancel is refused.
  texts.clear();
  window = OpenSearchingWindow(nullptr);
  press_cancel = true;
  window->PumpMessages();
  EXPECT_EQ(texts, (Lines{"(refused)"}));
}

}  // namespace
}  // namespace tsl

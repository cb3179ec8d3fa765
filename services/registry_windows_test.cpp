// The registry job's windows with scripted answers: what the transcript records, what the
// answers do, the merge window's settings; and the Searching window over a display of the test's.
#include "services/registry_windows.h"

#include <gtest/gtest.h>

#include "platform/progress_display.h"
#include "services/test_registry_windows.h"

namespace tsl {
namespace {

using Lines = std::vector<std::string>;

class RegistryWindowsTest : public ::testing::Test {
 protected:
  testing::ScopedTempDir dir_;
  testing::ScriptedQuestions questions_{dir_ / "transcript.txt"};
  testing::ScopedMergeSettings settings_;
};

TEST_F(RegistryWindowsTest, ReplaceQuestionTakesItsFourAnswersAndCancelsRestWhenClosed) {
  questions_.Answers("replace this;Replace Rest;skip this;Cancel Rest;No such button");
  const std::string key = "HKEY_CURRENT_USER\\Software\\T";
  EXPECT_EQ(AskRegistryReplace(RegistryItem::kKeyName, key, "", "TempFiles", "TmpFiles"),
            RegistryReplaceAnswer::kReplaceThis);
  EXPECT_EQ(AskRegistryReplace(RegistryItem::kValueName, key, "OldName", "OldName", "NewName"),
            RegistryReplaceAnswer::kReplaceRest);
  EXPECT_EQ(AskRegistryReplace(RegistryItem::kValueData, key, "", "a\nb", "Q"),
            RegistryReplaceAnswer::kSkipThis);
  EXPECT_EQ(AskRegistryReplace(RegistryItem::kValueData, key, "Path", std::string(1005, 'x'), ""),
            RegistryReplaceAnswer::kCancelRest);
  EXPECT_EQ(AskRegistryReplace(RegistryItem::kValueData, key, "Path", "1", "2"),
            RegistryReplaceAnswer::kCancelRest);  // names no button
  EXPECT_EQ(AskRegistryReplace(RegistryItem::kValueData, key, "Path", "1", "2"),
            RegistryReplaceAnswer::kCancelRest);  // answers used up
  const std::string caption = "Question: Replace - HKEY_CURRENT_USER\\Software\\T: ";
  EXPECT_EQ(questions_.TakeTranscript(),
            (Lines{caption + "Key name\\nOld: TempFiles\\nNew: TmpFiles -> Replace This",
                   caption + "Value name\\nOld: OldName\\nNew: NewName -> Replace Rest",
                   caption + "Data of value (Default)\\nOld: a^Jb\\nNew: Q -> Skip This",
                   caption + "Data of value Path\\nOld: " + std::string(1000, 'x') +
                       "...\\nNew:  -> Cancel Rest",
                   caption + "Data of value Path\\nOld: 1\\nNew: 2 -> Cancel Rest",
                   caption + "Data of value Path\\nOld: 1\\nNew: 2 -> Cancel Rest"}));
}

TEST_F(RegistryWindowsTest, MergeDeletesAsListedAndMergesHiddenLinesToo) {
  WriteSettingInt("Settings", "Same Display", 0);  // hides nothing: the Path line differs in case
  questions_.Answers("Delete 3;delete  1;Merge Values");
  std::vector<std::size_t> kept;
  ASSERT_TRUE(AskMerge("C:\\out\\preview.reg", testing::RowsOfEveryKind(), &kept));
  EXPECT_EQ(kept, (std::vector<std::size_t>{1, 3}));
  EXPECT_EQ(questions_.TakeTranscript(),
            (Lines{"Question: Reg File to Registry Compare and Merge: 4 items -> Delete 3",
                   "Question: Reg File to Registry Compare and Merge: 3 items -> Delete 1",
                   "Question: Reg File to Registry Compare and Merge: 2 items -> Merge Values"}));
  EXPECT_EQ(ReadSettingString("Settings", "Last REG File"), "C:\\out\\preview.reg");

  // Compared without case the Path line is the same, and so hidden: "Delete 3" now names the
  // fourth row, and the hidden one is merged.
  WriteSettingInt("Settings", "Case sensitive", 0);
  questions_.Answers("Delete 3;Merge Values");
  ASSERT_TRUE(AskMerge("C:\\out\\two.reg", testing::RowsOfEveryKind(), &kept));
  EXPECT_EQ(kept, (std::vector<std::size_t>{0, 1, 2}));
  EXPECT_EQ(questions_.TakeTranscript(),
            (Lines{"Question: Reg File to Registry Compare and Merge: 3 items -> Delete 3",
                   "Question: Reg File to Registry Compare and Merge: 2 items -> Merge Values"}));
  EXPECT_EQ(ReadSettingString("Settings", "Last REG File"), "C:\\out\\two.reg");
}

TEST_F(RegistryWindowsTest, MergeCancelsOnCancelOnALineNotListedAndWhenAnswersRunOut) {
  std::vector<std::size_t> kept{7};
  for (const char* answers : {"Delete 1;Cancel", "Delete 5", "Delete 0", "Delete x", "Delete 1"}) {
    questions_.Answers(answers);
    EXPECT_FALSE(AskMerge("a.reg", testing::RowsOfEveryKind(), &kept)) << answers;
  }
  EXPECT_EQ(kept, std::vector<std::size_t>{7});  // untouched
  const std::string q = "Question: Reg File to Registry Compare and Merge: ";
  EXPECT_EQ(questions_.TakeTranscript(),
            (Lines{q + "4 items -> Delete 1", q + "3 items -> Cancel", q + "4 items -> Cancel",
                   q + "4 items -> Cancel", q + "4 items -> Cancel", q + "4 items -> Delete 1",
                   q + "3 items -> Cancel"}));
}

TEST_F(RegistryWindowsTest, CompareOptionsAreKeptInTheSettings) {
  EXPECT_EQ(ReadCompareOptions(), CompareOptions{});  // nothing set: everything listed
  CompareOptions options{false, true, false, true, false};
  WriteCompareOptions(options);
  EXPECT_EQ(ReadCompareOptions(), options);
  EXPECT_EQ(ReadSettingInt("Settings", "Left Display", 7), 0);
  EXPECT_EQ(ReadSettingInt("Settings", "Right Display", 7), 1);
  EXPECT_EQ(ReadSettingInt("Settings", "Case sensitive", 7), 0);
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
  ProgressDisplayKind kind = ProgressDisplayKind::kProgress;
  ScopedProgressDisplayFactory factory([&](const ProgressDisplaySetup& setup) {
    kind = setup.kind;
    return std::make_unique<FakeSearchingDisplay>(&texts, &press_cancel);
  });
  std::int64_t now = 1000;
  bool cancelled = false;
  std::unique_ptr<SearchingWindow> window = OpenSearchingWindow(&cancelled, [&] { return now; });
  EXPECT_EQ(kind, ProgressDisplayKind::kSearching);
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
  window->Close();
  EXPECT_EQ(texts, (Lines{"a", "c", "d", "(closed)"}));

  // Closing is no cancel; without a flag Cancel is refused.
  bool second = false;
  window = OpenSearchingWindow(&second);
  window->Close();
  EXPECT_FALSE(second);
  texts.clear();
  window = OpenSearchingWindow(nullptr);
  press_cancel = true;
  window->PumpMessages();
  EXPECT_EQ(texts, (Lines{"(refused)"}));
}

}  // namespace
}  // namespace tsl

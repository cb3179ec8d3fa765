// The merge list and its terminal conversation, fed from a string.
#include "platform/merge_window.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tsl {
namespace {

using Answers = std::vector<std::string>;

std::vector<MergeRow> Rows() {
  return {{"HKEY_CURRENT_USER\\T", "Added", "\"new\"", "", false, false},
          {"HKEY_CURRENT_USER\\T", "Gone", "", kMergeDeletionText, true, true},
          {"HKEY_CURRENT_USER\\T", "Path", "\"C:\\\\A\"", "\"c:\\\\a\"", true, false},
          {"HKEY_CURRENT_USER\\T", "Text", "\"two\nlines\"", "\"x\"", true, false}};
}

struct Conversation {
  MergeOutcome outcome;
  std::string shown;
  Answers answers;  // "<listed>: <answer>"
};

Conversation Converse(MergeList* list, const std::string& input) {
  std::istringstream in(input);
  std::ostringstream out;
  Answers answers;
  MergeOutcome outcome =
      ConverseMerge("C:\\p.reg", list, in, out, [&](std::size_t listed, const std::string& a) {
        answers.push_back(std::to_string(listed) + ": " + a);
      });
  return {outcome, out.str(), answers};
}

TEST(MergeListTest, KindsFollowTheCaseOptionAndHiddenRowsAreKept) {
  MergeList list(Rows());
  EXPECT_EQ(list.KindOf(0), MergeRowKind::kOnlyInFile);
  EXPECT_EQ(list.KindOf(1), MergeRowKind::kOnlyInRegistry);
  EXPECT_EQ(list.KindOf(2), MergeRowKind::kDifferent);
  list.SetOptions({true, false, true, false, /*case_sensitive=*/false});
  EXPECT_EQ(list.KindOf(2), MergeRowKind::kSame);
  EXPECT_EQ(list.listed(), (std::vector<std::size_t>{0, 2}));
  EXPECT_EQ(list.hidden(), 2u);
  EXPECT_FALSE(list.Delete(3));
  EXPECT_FALSE(list.Delete(0));
  EXPECT_TRUE(list.Delete(2));
  EXPECT_EQ(list.Kept(), (std::vector<std::size_t>{0, 1, 3}));
}

TEST(MergeListTest, TerminalDeletesByNumberAndRefusesNumbersNotListed) {
  MergeList list(Rows());
  Conversation c = Converse(&list, "4 9\nnonsense\n2, 4\n\nm\n");
  EXPECT_EQ(c.outcome, MergeOutcome::kMerge);
  EXPECT_EQ(c.answers, (Answers{"4: Delete 4", "3: Delete 2", "2: Merge Values"}));
  EXPECT_EQ(list.Kept(), (std::vector<std::size_t>{0, 2}));
  EXPECT_NE(c.shown.find("No line 9; the lines are numbered 1 to 4. Nothing was deleted."),
            std::string::npos);
  EXPECT_NE(c.shown.find("Answer with line numbers, M, O or C."), std::string::npos);
  EXPECT_NE(c.shown.find("   4  Key Path:      HKEY_CURRENT_USER\\T\n"
                         "      Value Name:    Text\n"
                         "      .REG Data:     \"two^Jlines\"\n"
                         "      Registry Data: \"x\"\n"),
            std::string::npos)
      << c.shown;
  EXPECT_NE(c.shown.find("Line numbers to delete, [M]erge Values, [O]ptions, [C]ancel? "),
            std::string::npos);
}

TEST(MergeListTest, TerminalOptionsHideLinesThatAreStillMergedAndTheEndOfInputCancels) {
  MergeList list(Rows());
  // Options: keep the first, hide lines only in the registry, keep, keep, compare without case.
  Conversation c = Converse(&list, "o\n\nn\ny\n\nn\n1\n");
  EXPECT_EQ(c.outcome, MergeOutcome::kCancel);
  EXPECT_EQ(list.options(), (CompareOptions{true, false, true, true, false}));
  EXPECT_EQ(c.answers, (Answers{"3: Delete 1", "2: Cancel"}));
  EXPECT_NE(c.shown.find("1 more line(s) hidden by the options; they are merged too."),
            std::string::npos);
  EXPECT_EQ(list.Kept(), (std::vector<std::size_t>{1, 2, 3}));

  MergeList other(Rows());
  EXPECT_EQ(Converse(&other, "C\n").answers, (Answers{"4: Cancel"}));
}

}  // namespace
}  // namespace tsl

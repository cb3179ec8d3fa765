// The merge list and its terminal conversation, fed from a string.
#include "platform/merge_window.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tsl {
namespace {

using Answers = std::vector<std::string>;
using Kept = std::vector<std::size_t>;

MergeList Rows() {
  return MergeList({{"HKEY_CURRENT_USER\\T", "Added", "\"new\"", "", false, false},
                    {"HKEY_CURRENT_USER\\T", "Gone", "", kMergeDeletionText, true, true},
                    {"HKEY_CURRENT_USER\\T", "Path", "\"C:\\\\A\"", "\"c:\\\\a\"", true, false},
                    {"HKEY_CURRENT_USER\\T", "Text", "\"two\nlines\"", "\"x\"", true, false}});
}

// Runs the conversation on `input`; the answers told as "<listed>: <answer>".
Answers Converse(MergeList* list, const std::string& input, std::string* shown = nullptr) {
  std::istringstream in(input);
  std::ostringstream out;
  Answers answers;
  ConverseMerge("C:\\p.reg", list, in, out, [&](std::size_t listed, const std::string& a) {
    answers.push_back(std::to_string(listed) + ": " + a);
  });
  if (shown) *shown = out.str();
  return answers;
}

TEST(MergeListTest, TerminalDeletesByNumberAndRefusesNumbersNotListed) {
  MergeList list = Rows();
  std::string shown;
  EXPECT_EQ(Converse(&list, "4 9\nnonsense\n2, 4\nm\n", &shown),
            (Answers{"4: Delete 4", "3: Delete 2", "2: Merge Values"}));
  EXPECT_EQ(list.Kept(), (Kept{0, 2}));
  for (const char* text : {"No line 9; the lines are numbered 1 to 4. Nothing was deleted.\n",
                           "Answer with line numbers, M, O or C.\n",
                           "   4  Key Path:      HKEY_CURRENT_USER\\T\n      Value Name:    Text\n"
                           "      .REG Data:     \"two^Jlines\"\n      Registry Data: \"x\"\n",
                           "Line numbers to delete, [M]erge Values, [O]ptions, [C]ancel? "}) {
    EXPECT_NE(shown.find(text), std::string::npos) << text << "\n" << shown;
  }
}

TEST(MergeListTest, OptionsHideLinesThatAreStillMergedAndTheEndOfInputCancels) {
  MergeList list = Rows();
  // Keep, hide lines only in the registry, keep, keep, compare without case.
  std::string shown;
  EXPECT_EQ(Converse(&list, "o\n\nn\ny\n\nn\n1\n", &shown), (Answers{"3: Delete 1", "2: Cancel"}));
  EXPECT_EQ(list.options(), (CompareOptions{true, false, true, true, false}));
  EXPECT_EQ(list.KindOf(2), MergeRowKind::kSame);
  EXPECT_NE(shown.find("1 more line(s) hidden by the options; they are merged too."),
            std::string::npos);
  EXPECT_EQ(list.Kept(), (Kept{1, 2, 3}));

  list.SetOptions({true, true, false, true, true});  // case counts: the Path line differs
  EXPECT_EQ(list.listed(), (Kept{1, 2, 3}));
  EXPECT_EQ(Converse(&list, "C\n"), (Answers{"3: Cancel"}));
}

}  // namespace
}  // namespace tsl

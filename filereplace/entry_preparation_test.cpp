#include "filereplace/entry_preparation.h"

#include <gtest/gtest.h>

#include "platform/paths.h"
#include "services/test_job_services.h"
#include "tests/support/test_support.h"

namespace tsl::testing {
namespace {

TEST(EntryPreparationTest, VariablesAreFilledInAnyLetterCase) {
  TestServices services;
  services.now = CalendarTime{2024, 5, 6, 1, 14, 30, 15, 0};
  const std::string path = Native("/data/sub/a.txt");
  VariableFile file{path, true, 0, 1234};
  std::string text = ExpandVariables("[%%fmfile%%|%%FMPATH%%|%%FmFileSize%%|%%FMDATE%%|%%FMFOUND%%]",
                                     file, services);
  EXPECT_EQ(text, "[a.txt|" + Native("/data/sub/") + "|1234|5/6/2024|%%FMFOUND%%]");
  EXPECT_EQ(ReplaceFound(text, "hit"), "[a.txt|" + Native("/data/sub/") + "|1234|5/6/2024|hit]");
  // Without the file's data its date, time and size are empty.
  EXPECT_EQ(ExpandVariables("%%FMFILEDATE%%.%%FMFILESIZE%%", VariableFile{path}, services), ".");
}

TEST(EntryPreparationTest, EnvironmentMarkers) {
  ScopedEnvironment set("TSL_PREP_TEST", std::string("a+b"));
  ScopedEnvironment unset("TSL_PREP_MISSING", std::nullopt);
  EXPECT_EQ(ExpandEnvironment("x%%envvar=TSL_PREP_TEST%%y", ""), "xa+by");
  EXPECT_EQ(ExpandEnvironment("x%%ENVVAR=TSL_PREP_TEST%%y", kSearchPatternSpecials), "xa\\+by");
  EXPECT_EQ(ExpandEnvironment("[%%ENVVAR=TSL_PREP_MISSING%%]", ""), "[]");
  // A marker that is never closed is dropped; the text after it stays.
  EXPECT_EQ(ExpandEnvironment("ab%%ENVVAR=TSL_PREP_TEST", ""), "abTSL_PREP_TEST");
}

TEST(EntryPreparationTest, HtmlTableReadsEveryRowAndWritesTheFirst) {
  EXPECT_EQ(HtmlReference('<'), "&lt;");
  EXPECT_EQ(HtmlReference(0xD7), "&215;");
  EXPECT_EQ(HtmlReference(0xA6), "&brvbar;");
  EXPECT_EQ(HtmlReference('a'), "");
  EXPECT_EQ(DecodeHtmlReferences("&brkbar;&brvbar;&Ygrave;&amp;lt;&bogus;"),
            "\xA6\xA6\xDD&lt;&bogus;");
}

TEST(EntryPreparationTest, PreparingEntries) {
  ScopedTempDir dir;
  ScriptedQuestions questions(dir / "transcript.txt");
  questions.Answers("");
  TestServices services;
  PatternOptions options;

  // A binary block: escapes decoded; the special texts select their modes.
  SearchEntry binary;
  binary.search_text = std::string(kBinaryModeText);
  binary.binary_search_text = "\\tA\\n";
  ASSERT_TRUE(PrepareEntry(binary, options, services));
  EXPECT_EQ(binary.search_text, "\tA\n");
  SearchEntry append;
  append.search_text = std::string(kBinaryModeText);
  append.binary_search_text = std::string(kAppendSearchText);
  append.regular_expression = true;
  ASSERT_TRUE(PrepareEntry(append, options, services));
  EXPECT_TRUE(append.append_mode);
  EXPECT_FALSE(append.regular_expression);
  SearchEntry reformat;
  reformat.search_text = std::string(kBinaryModeText);
  reformat.binary_search_text = "%%fmformat%%=72";
  ASSERT_TRUE(PrepareEntry(reformat, options, services));
  EXPECT_EQ(reformat.reformat_width, 72);

  // Ignore whitespace: runs of white space match any run; the rest is matched as written.
  SearchEntry spaces;
  spaces.search_text = "a+b  c";
  spaces.ignore_whitespace = true;
  ASSERT_TRUE(PrepareEntry(spaces, options, services));
  EXPECT_TRUE(spaces.regular_expression);
  EXPECT_EQ(spaces.search_text, "a\\+b+[ \t\r\n]c");
  EXPECT_EQ(spaces.saved_search_text, "a+b  c");
  ASSERT_NE(spaces.matcher, nullptr);

  // HTML text: the replacement writes references.
  SearchEntry html;
  html.search_text = "<b>";
  html.replace_text = "x>y";
  html.html_text = true;
  ASSERT_TRUE(PrepareEntry(html, options, services));
  EXPECT_TRUE(html.regular_expression);
  EXPECT_EQ(html.replace_text, "x&gt;y");

  // A plain text keeps its bracket without the backslash that kept it from being a header.
  SearchEntry bracket;
  bracket.search_text = "\\[Section]";
  ASSERT_TRUE(PrepareEntry(bracket, options, services));
  EXPECT_EQ(bracket.search_text, "[Section]");

  // A pattern that does not compile stops the run with the compiler's words.
  SearchEntry faulty;
  faulty.search_text = "(abc";
  faulty.regular_expression = true;
  EXPECT_FALSE(PrepareEntry(faulty, options, services));
  std::vector<std::string> transcript = questions.TakeTranscript();
  ASSERT_EQ(transcript.size(), 1u);
  EXPECT_EQ(transcript[0].rfind("MessageBox: Error parsing: ", 0), 0u) << transcript[0];
}

}  // namespace
}  // namespace tsl::testing

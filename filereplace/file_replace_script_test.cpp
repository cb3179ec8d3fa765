#include "filereplace/file_replace_script.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fuzz/expression_fuzz_body.h"
#include "fuzz/file_replace_script_fuzz_body.h"
#include "services/date_value.h"
#include "tests/support/fuzz_inputs.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

using fuzzing::MessageRecorder;

constexpr char kTitle[] = "[Findmend Script]\r\n";
constexpr char kEnd[] = "[End of Findmend Script]\r\n";

struct Loaded {
  FileReplaceScript script;
  MessageRecorder services;
};

std::unique_ptr<Loaded> LoadText(const std::string& text) {
  auto loaded = std::make_unique<Loaded>();
  loaded->script.LoadFromMemory("script.txt", text, loaded->services);
  return loaded;
}

TEST(FileReplaceScriptTest, EntriesTakeTheirBlocksAndFlags) {
  auto l = LoadText(std::string(kTitle) +
                    "[Search]\r\nfirst\r\n"
                    "[sEaRcH /iWxHt] rest\r\nsecond\r\nline\r\n"
                    "[Replace/B]\r\n2nd\r\n"
                    "[Replace]\r\norphan\r\n"
                    "[Search /b]\r\n%%fmappend%%\r\n[Replace/x]\r\ntail\r\n" +
                    kEnd);
  const auto& e = l->script.entries();
  ASSERT_EQ(e.size(), 3u);
  EXPECT_EQ(e[0].search_text, "first");
  EXPECT_EQ(e[0].replace_text, "");  // a search after a search: no replace text
  EXPECT_TRUE(e[0].case_sensitive);
  EXPECT_FALSE(e[0].whole_word || e[0].regular_expression || e[0].ignore_whitespace);

  EXPECT_EQ(e[1].search_text, "second\r\nline");
  EXPECT_EQ(e[1].search_header_rest, " rest");
  EXPECT_FALSE(e[1].case_sensitive);
  EXPECT_TRUE(e[1].whole_word && e[1].regular_expression && e[1].ignore_whitespace &&
              e[1].html_text);
  EXPECT_EQ(e[1].replace_text, kBinaryModeText);
  EXPECT_EQ(e[1].binary_replace_text, "2nd");

  // The short marker stands for the append text, and append mode drops the pattern flag.
  EXPECT_EQ(e[2].search_text, kBinaryModeText);
  EXPECT_EQ(e[2].binary_search_text, kAppendSearchText);
  EXPECT_TRUE(e[2].append_mode);
  EXPECT_FALSE(e[2].regular_expression);
  EXPECT_EQ(e[2].replace_text, "tail");
}

TEST(FileReplaceScriptTest, SpecialBinaryTexts) {
  auto l = LoadText(std::string(kTitle) + "[Search /B]\r\n" + std::string(kPrependSearchText) +
                    "\r\n[Search /B]\r\n%%fmFormat%%=72\r\n[Search]\r\n" +
                    std::string(kAppendSearchText) + "\r\n" + kEnd);
  const auto& e = l->script.entries();
  ASSERT_EQ(e.size(), 3u);
  EXPECT_TRUE(e[0].prepend_mode);
  EXPECT_EQ(e[1].reformat_width, 72);
  EXPECT_FALSE(e[2].append_mode);  // only a binary block selects a mode
}

TEST(FileReplaceScriptTest, BlockExtents) {
  auto l = LoadText(std::string(kTitle) +
                    "[Search]\r\na \\[Path] b\r\n[Search/I]\r\nruns on\r\n"
                    "[Search]\r\nmid[Replace]\r\nx[Search]\r\n\r\n[Path]\r\n" + kEnd);
  const auto& e = l->script.entries();
  ASSERT_EQ(e.size(), 3u);
  EXPECT_EQ(e[0].search_text, "a \\[Path] b\r\n[Search/I]\r\nruns on");
  EXPECT_EQ(e[1].search_text, "mid");
  EXPECT_EQ(e[1].replace_text, "x");
  EXPECT_EQ(e[2].search_text, "");
}

TEST(FileReplaceScriptTest, PreambleBlocks) {
  auto l = LoadText(
      "[Findmend Script]\r\nWhat it does\r\n[expression]\r\nE1 AND NOT E2\r\n[Options]\r\n"
      "Prompt_flag=2\r\n[Search]\r\na\r\n[Search]\r\nb\r\n" + std::string(kEnd));
  EXPECT_EQ(l->script.description(), "What it does");
  EXPECT_EQ(l->script.expression(), "E1 AND NOT E2");
  ASSERT_NE(l->script.options(), nullptr);
  EXPECT_EQ(l->script.options()->prompt, 2);

  // Met after a search, both blocks are skipped; a one-byte description is kept and does not
  // hide the blocks after it.
  l = LoadText(std::string(kTitle) + "[Search]\r\na\r\n[Options]\r\nPrompt_flag=2\r\n" + kEnd);
  EXPECT_EQ(l->script.options(), nullptr);
  EXPECT_EQ(l->script.entries().size(), 1u);
  l = LoadText(std::string(kTitle) + "x\r\n[Options]\r\nPrompt_flag=1\r\n" + kEnd);
  EXPECT_EQ(l->script.description(), "x");
  ASSERT_NE(l->script.options(), nullptr);
  EXPECT_EQ(l->script.options()->prompt, 1);
}

TEST(FileReplaceScriptTest, ExpressionCheck) {
  const std::string two = "[Search]\r\na\r\n[Search]\r\nb\r\n" + std::string(kEnd);
  const struct {
    const char* expression;
    const char* kept;
    const char* message;
  } kCases[] = {
      {"E1 OR E2", "", ""},  // says no more than the default
      {"e1 or e2", "e1 or e2", ""},
      {"E1 AND E3", "", "Cannot use variable E3"},
      {"E1 OR", "", "Missing right argument for operator OR"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.expression);
    auto l = LoadText(std::string(kTitle) + "[Expression]\r\n" + c.expression + "\r\n" + two);
    EXPECT_EQ(l->script.expression(), c.kept);
    EXPECT_EQ(l->services.messages,
              std::vector<std::string>(*c.message ? 1 : 0, c.message));
  }
}

TEST(FileReplaceScriptTest, UnfinishedLastBlockIsLost) {
  auto l = LoadText(std::string(kTitle) + "[Search]\r\na\r\n[Replace]\r\nb\r\n[Search]\r\nc\r\n");
  ASSERT_EQ(l->script.entries().size(), 1u);
  EXPECT_EQ(l->script.entries()[0].replace_text, "b");
  l = LoadText(std::string(kTitle) + "[Search]\r\na\r\n[Path]\r\n/tmp/*.c\r\n");
  EXPECT_EQ(l->script.entries().size(), 1u);
  EXPECT_TRUE(l->script.paths().empty());
  EXPECT_EQ(LoadText("no title bracket")->script.entries().size(), 0u);
}

// Every prefix of a script reads without touching bytes beyond it (the sanitizer build checks
// that) and never gives more entries than a longer prefix.
TEST(FileReplaceScriptTest, EveryTruncationReadsSafely) {
  const std::string text = std::string(kTitle) +
                           "d\r\n[Expression]\r\nE1\r\n[Options]\r\nOne hit=1\r\n[Search /B]\r\n"
                           "%%FMFORMAT%%=9\r\n[Replace/I] r\r\nx\\[y\r\n[Path]\r\n/t*\r\n" + kEnd;
  std::size_t previous = 0;
  for (std::size_t n = 0; n <= text.size(); ++n) {
    const std::string prefix = text.substr(0, n);
    auto l = LoadText(prefix);
    EXPECT_GE(l->script.entries().size(), previous) << n;
    previous = l->script.entries().size();
  }
  EXPECT_EQ(previous, 1u);
}

TEST(FileReplaceScriptTest, BlocksLargerThanTheWindowAreReadWhole) {
  const std::string big(3 * kScriptWindowSize + 17, 'x');
  const std::string folder = testing::Native("/tmp/");
  std::string text = std::string(kTitle) + "[Search]\r\nsmall\r\n[Path]\r\n" + folder + big +
                     "\r\n[Search]\r\n" + big + "\r\n[Replace]\r\nr\r\n";
  for (int i = 0; i < 2000; ++i) text += "[Search]\r\nentry " + std::to_string(i) + "\r\n";
  text += kEnd;
  auto l = LoadText(text);
  const auto& e = l->script.entries();
  ASSERT_EQ(e.size(), 2002u);  // the entry before the long [Path block is not read twice
  EXPECT_EQ(e[0].search_text, "small");
  EXPECT_EQ(e[1].search_text, big);
  EXPECT_EQ(e[1].replace_text, "r");
  EXPECT_EQ(e[2001].search_text, "entry 1999");
  ASSERT_EQ(l->script.paths().size(), 2u);
  EXPECT_EQ(l->script.paths()[1], big);
}

TEST(FileReplaceScriptTest, SplitsPathBlocks) {
  auto is_folder = [](const std::string& f) {
    return f == "/work/sub" || f == "C:\\work\\sub";
  };
  const struct {
    PathStyle style;
    const char* text;
    const char* folder;
    const char* mask;
  } kCases[] = {
      {PathStyle::kPosix, "/data/src/*.c;*.h", "/data/src/", "*.c;*.h"},
      {PathStyle::kPosix, "/data/src/", "/data/src/", ""},
      {PathStyle::kPosix, "/data/src/main", "/data/src/", "main"},
      {PathStyle::kPosix, "/data/;*.c", "/data/", "*.c"},
      {PathStyle::kPosix, "*.txt", "/work/", "*.txt"},
      {PathStyle::kPosix, "notes.txt", "/work/", "notes.txt"},
      {PathStyle::kPosix, "sub/*.c", "/work/sub/", "*.c"},
      {PathStyle::kPosix, "./sub/../sub/*.c", "/work/sub/", "*.c"},
      {PathStyle::kPosix, "missing/*.c", "", "*.c"},
      {PathStyle::kPosix, "local hard drives/*.doc", "local hard drives/", "*.doc"},
      {PathStyle::kWindows, "C:\\data\\*.c;*.h", "C:\\data\\", "*.c;*.h"},
      {PathStyle::kWindows, "D:\\data\\sub", "D:\\data\\", "sub"},
      {PathStyle::kWindows, "\\data\\*.c", "C:\\data\\", "*.c"},
      {PathStyle::kWindows, "\\*.c", "C:\\", "*.c"},
      {PathStyle::kWindows, "C:*.c", "C:\\work\\", "*.c"},
      {PathStyle::kWindows, "D:*.c", "D:\\", "*.c"},
      {PathStyle::kWindows, "sub\\*.c", "C:\\work\\sub\\", "*.c"},
      {PathStyle::kWindows, "gone\\*.c", "", "*.c"},
      {PathStyle::kWindows, "\\\\server\\share\\*.c", "\\\\server\\share\\", "*.c"},
      {PathStyle::kWindows, "*.c", "C:\\work\\", "*.c"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    const std::string current = c.style == PathStyle::kPosix ? "/work" : "C:\\work";
    PathBlockParts parts = SplitPathBlock(c.text, c.style, current, is_folder);
    EXPECT_EQ(parts.folder, c.folder);
    EXPECT_EQ(parts.mask, c.mask);
  }
}

TEST(FileReplaceScriptTest, ReadsEveryOption) {
  auto l = LoadText(std::string(kTitle) +
                    "[Options]\r\nSearch_subdir=1\r\nprompt_flag=-2\r\nMax Display Chars=80\r\n"
                    "Output_File=out.txt\r\nShow_Files=0\r\nBackup Path=bak\r\nBefore Hit=[[\r\n"
                    "After Hit=]]\r\nMax Reg Expr=9\r\nWrite to Backup Dir=1\r\nUnzip Dir=u\r\n"
                    "Show Files Without Hits=1\r\nDisplay Replace String=1\r\n"
                    "Display File Stats=0\r\nShow File Date and Size=1\r\n"
                    "Show Progress Dialog=0\r\nReverse Filters=2\r\nMin Size Filter=5000000000\r\n"
                    "Max Size Filter=6000000000\r\nMin Date Filter=0\r\n"
                    "Max Date Filter=12/31/2023\r\nSkip Files Mask=3\r\nIgnore Attributes=48\r\n"
                    "Keep file time stamp=1\r\nOne hit=1\r\nSort File Names=4\r\n"
                    "Sort Ascending=0\r\nAppend to output file=1\r\nScript Loop=-1\r\n"
                    "Unknown=1\r\n[Search]\r\na\r\n" + kEnd);
  ASSERT_NE(l->script.options(), nullptr);
  const FileReplaceOptions& o = *l->script.options();
  EXPECT_TRUE(o.search_subfolders && o.write_to_backup_dir && o.show_files_without_hits &&
              o.display_replace_string && o.show_file_date_and_size && o.keep_file_time_stamp &&
              o.one_hit && o.append_to_output_file);
  EXPECT_FALSE(o.show_files || o.display_file_stats || o.show_progress_dialog ||
               o.sort_ascending);
  EXPECT_EQ(o.prompt, -2);
  EXPECT_EQ(o.max_display_chars, 80);
  EXPECT_EQ(o.output_file, "out.txt");
  EXPECT_EQ(o.backup_path, "bak");
  EXPECT_EQ(o.before_hit, "[[");
  EXPECT_EQ(o.after_hit, "]]");
  EXPECT_EQ(o.max_reg_expr, 9);
  EXPECT_EQ(o.unzip_dir, "u");
  EXPECT_EQ(o.filter.reverse, 2);
  EXPECT_EQ(o.filter.min_size, 5000000000);
  EXPECT_EQ(o.filter.max_size, 6000000000);
  EXPECT_EQ(o.filter.min_date, 0);
  testing::TestServices dates;
  EXPECT_EQ(o.filter.max_date, ReadScriptDate(dates, "12/31/2023", true));
  EXPECT_EQ(o.filter.skip_attributes, 3);
  EXPECT_EQ(o.filter.ignored_attributes, 48);
  EXPECT_EQ(o.sort_file_names, 4);
  EXPECT_EQ(o.script_loop, -1);
  EXPECT_TRUE(l->services.messages.empty());
}

TEST(FileReplaceScriptTest, OptionDefaultsAndDates) {
  auto l = LoadText(std::string(kTitle) + "[Options]\r\nMin Date Filter=1/2/2024\r\n"
                    "Max Date Filter=13/45/2024\r\n[Search]\r\na\r\n" + kEnd);
  ASSERT_NE(l->script.options(), nullptr);
  const FileReplaceOptions& o = *l->script.options();
  testing::TestServices dates;
  EXPECT_EQ(o.filter.min_date, ReadScriptDate(dates, "1/2/2024", false));
  EXPECT_EQ(o.filter.max_date, 0);  // a date that fails its check sets nothing
  EXPECT_EQ(l->services.messages.size(), 1u);
  EXPECT_EQ(o.unzip_dir, Files().TempFolder());
  EXPECT_EQ(o.max_display_chars, 512);
  EXPECT_EQ(o.filter.ignored_attributes, 55);
  EXPECT_EQ(o.script_loop, 1);
  EXPECT_EQ(o.before_hit, "<");
}

TEST(FileReplaceScriptTest, LoadsFromDiskWithChainedScripts) {
  testing::ScopedTempDir dir;
  const std::string next = dir / "next.txt";
  testing::WriteFile(next, "x");
  const std::string path = dir / "main.txt";
  testing::WriteFile(path, std::string(kTitle) + "[Search]\r\na\r\n" + kEnd + next + "\r\n" +
                               (dir / "missing.txt") + "\r\n\r\n" + dir.path());
  FileReplaceScript script;
  MessageRecorder services;
  ASSERT_TRUE(script.Load(path, services));
  EXPECT_EQ(script.path(), path);
  EXPECT_EQ(script.chained_scripts(), (std::vector<std::string>{next, dir.path()}));

  // An unreadable script leaves everything empty, the path too.
  const std::string missing = dir / "missing.txt";
  EXPECT_FALSE(script.Load(missing, services));
  EXPECT_EQ(script.path(), "");
  EXPECT_TRUE(script.entries().empty() && script.chained_scripts().empty());
  EXPECT_EQ(services.messages, std::vector<std::string>{"Cannot read script file\n" + missing});
}

TEST(FileReplaceScriptFuzzRegressionTest, KeptInputsRunCleanly) {
#ifndef TSL_FUZZ_DIR
  FAIL() << "the folder of kept fuzz inputs is not known to this test program";
#else
  testing::ReplayKeptFuzzInputs(TSL_FUZZ_DIR, "file_replace_script",
                                fuzzing::RunFileReplaceScriptFuzzInput);
  testing::ReplayKeptFuzzInputs(TSL_FUZZ_DIR, "expression", fuzzing::RunExpressionFuzzInput);
#endif
}

}  // namespace
}  // namespace tsl

// The file replace job searching, end to end: TslRun runs a script over files laid out here, and
// the whole results file is compared with the text a user would read.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace tsl::testing {
namespace {

class FileReplaceSearchTest : public ::testing::Test {
 protected:
  std::string Here(const std::string& name) { return dir_ / name; }
  // A folder below the scratch folder as a script names it, with its closing separator.
  std::string Folder(const std::string& name) { return Here(name) + Separator(); }

  // Runs a file replace script; gives the results file's lines (the date line of a header
  // block, when there is one, reads "<date>").
  std::vector<std::string> Search(const std::string& script, const std::string& results = "results.txt") {
    WriteFile(Here("script.txt"), script);
    ProcessResult run = RunTslRun("|||" + Here("script.txt"), dir_.path(), "", &transcript_);
    EXPECT_TRUE(run.error.ok());
    EXPECT_EQ(run.exit_code, 0);
    std::string text = ReadFile(Here(results));
    EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1) << "lines end with CR LF";
    return SplitLines(text);
  }

  // The result lines after the header block (its date line, four named values and the options).
  static std::vector<std::string> AfterHeader(std::vector<std::string> lines) {
    EXPECT_GE(lines.size(), 6u);
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(6, lines.size())));
    return lines;
  }

  // A script over one folder and mask, searching every entry without replacing.
  std::string SearchScript(const std::vector<std::pair<std::string, std::string>>& entries,
                           const std::string& folder_and_mask,
                           const std::vector<std::string>& options = {}) {
    std::vector<std::string> lines = {"[Search test]", "[Options]", "Output_File=results.txt",
                                      "Show Progress Dialog=0"};
    lines.insert(lines.end(), options.begin(), options.end());
    for (const auto& [header, text] : entries) {
      lines.push_back(header);
      lines.push_back(text);
      lines.push_back("[Replace]");
      lines.push_back("%%FMFOUND%%");
    }
    lines.push_back("[Path]");
    lines.push_back(folder_and_mask);
    lines.push_back("[End of Findmend Script]");
    return JoinLines(lines);
  }

  ScopedTempDir dir_;
  std::vector<std::string> transcript_;
};

// The header block names the search; every later line is a result line.
TEST_F(FileReplaceSearchTest, HeaderHitsCountsAndSummary) {
  MakeFolders(Here("docs"));
  WriteFile(Here("docs/a.txt"), "first line\r\nthe colour red\r\nno hit\r\nColour, colour!\r\n");
  WriteFile(Here("docs/b.txt"), "nothing here\r\n");
  std::vector<std::string> results =
      Search(SearchScript({{"[Search]", "colour"}}, Folder("docs") + "*.txt",
                          {"Sort File Names=1", "Show Files Without Hits=1"}));
  ASSERT_FALSE(results.empty());
  results[0] = "<date>";
  EXPECT_EQ(results, (std::vector<std::string>{
                         "<date>",
                         "Search String: colour",
                         "Replace String: %%FMFOUND%%",
                         "Path: " + Folder("docs"),
                         "File Mask: *.txt",
                         "Case Sensitive",
                         "Processing file : " + Native(Here("docs/a.txt")),
                         "Line   2 - the <colour> red",
                         "Line   4 - Colour, <colour>!",
                         "Found 2 occurrences.",
                         "Processing file : " + Native(Here("docs/b.txt")),
                         "No occurrences found!",
                         "Searched 2 file(s), found 2 occurrences in 1 file(s)",
                         "colour - Searched 2 file(s), found 2 occurrences in 1 file(s)",
                     }));
}

// Occurrences and line breaks where one 102,400-byte chunk ends and the next begins: each
// occurrence once, every line number exact.
TEST_F(FileReplaceSearchTest, ChunkBoundariesKeepOccurrencesAndLinesExact) {
  constexpr std::size_t kChunk = 102400;
  // Lines of dots up to `until`, the last one at least 20 dots long.
  auto filler = [](std::string* text, std::size_t until) {
    while (text->size() + 38 + 20 < until) *text += "....................................\r\n";
    while (text->size() < until) *text += '.';
  };
  // A CR LF split by the chunk's end, then a hit on the next line.
  std::string split_break;
  filler(&split_break, kChunk - 1);
  split_break += "\r\nnear the needle\r\n";
  // An occurrence across the chunk's end, and a whole word that ends exactly at it.
  std::string across = "needle\r\n";
  filler(&across, kChunk - 3);
  across += "needle\r\n";
  std::string word_at_end = "";
  filler(&word_at_end, kChunk - 7);
  word_at_end += " plan \r\nplan\r\n";
  MakeFolders(Here("big"));
  WriteFile(Here("big/1-split.txt"), split_break);
  WriteFile(Here("big/2-across.txt"), across);
  WriteFile(Here("big/3-word.txt"), word_at_end);
  auto line_of = [](const std::string& text, std::size_t offset) {
    return std::to_string(1 + std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
  };
  std::vector<std::string> results =
      Search(SearchScript({{"[Search]", "needle"}, {"[Search /W]", "plan"}}, Folder("big") + "*.txt",
                          {"Sort File Names=1", "Display File Stats=0", "Max Display Chars=12"}));
  EXPECT_EQ(AfterHeader(results), (std::vector<std::string>{
                         "Processing file : " + Native(Here("big/1-split.txt")),
                         "Line " + line_of(split_break, kChunk + 1) + " - near the <needle>",
                         "Processing file : " + Native(Here("big/2-across.txt")),
                         "Line   1 - <needle>",
                         // The next chunk starts 5 bytes before the end of the first: the
                         // context of an occurrence cannot reach further back.
                         "Line " + line_of(across, kChunk - 3) + " - ..<needle>",
                         "Processing file : " + Native(Here("big/3-word.txt")),
                         "Line " + line_of(word_at_end, kChunk - 6) + " - ........... <plan> ",
                         "Line " + line_of(word_at_end, kChunk + 1) + " - <plan>",
                         "Searched 3 file(s), found 5 occurrences in 3 file(s)",
                     }));
}

// Whole words and letter case: accented small letters match the capitals the code page gives
// them; a word does not match inside a longer word or next to an underscore.
TEST_F(FileReplaceSearchTest, WholeWordsAndAccentedLettersIgnoringCase) {
  MakeFolders(Here("w"));
  WriteFile(Here("w/menu.txt"), "CAF\xC9 au lait\r\ncaf\xE9s, caf\xE9_bar, Caf\xE9.\r\n");
  std::vector<std::string> results =
      Search(SearchScript({{"[Search /IW]", "caf\xE9"}}, Folder("w") + "menu.txt"));
  EXPECT_EQ(AfterHeader(results), (std::vector<std::string>{
                         "Processing file : " + Native(Here("w/menu.txt")),
                         "Line   1 - <CAF\xC9> au lait",
                         "Line   2 - caf\xE9s, caf\xE9_bar, <Caf\xE9>.",
                         "Found 2 occurrences.",
                         "Searched 1 file(s), found 2 occurrences in 1 file(s)",
                         "caf\xE9 - Searched 1 file(s), found 2 occurrences in 1 file(s)",
                     }));
}

// UTF-16 and binary files, two path pairs (no header block), One hit.
TEST_F(FileReplaceSearchTest, Utf16AndBinaryFilesOverTwoPathPairs) {
  MakeFolders(Here("u"));
  MakeFolders(Here("b"));
  std::string wide = "\xFF\xFE";
  for (char c : std::string("first\r\nplan \xE9t\xE9\r\n")) {
    wide += c;
    wide += '\0';
  }
  WriteFile(Here("u/wide.txt"), wide);
  std::string binary(255, 'x');
  binary[0] = '\x01';
  binary[200] = '\x02';
  binary += "plan\x03plan plan";
  WriteFile(Here("b/data.bin"), binary);
  std::string script = JoinLines({"[Two folders]", "[Options]", "Output_File=results.txt",
                              "Show Progress Dialog=0", "One hit=1", "[Search]", "plan",
                              "[Replace]", "%%FMFOUND%%", "[Path]", Folder("u") + "*.txt",
                              "[Path]", Folder("b") + "*.bin", "[End of Findmend Script]"});
  EXPECT_EQ(Search(script), (std::vector<std::string>{
                                "Processing file : " + Native(Here("u/wide.txt")),
                                "Line   2 - <plan> \xE9t\xE9",
                                "Found 1 occurrences.",
                                "Processing file : " + Native(Here("b/data.bin")),
                                "Offset 0xff     - " + std::string(54, 'x') + "<plan>",
                                "Found 1 occurrences.",
                                "Searched 2 file(s), found 2 occurrences in 2 file(s)",
                                "plan - Searched 2 file(s), found 2 occurrences in 2 file(s)",
                            }));
}

// An expression keeps only the files it accepts; a pattern entry finds its matches.
TEST_F(FileReplaceSearchTest, ExpressionAndPatternEntries) {
  MakeFolders(Here("e"));
  WriteFile(Here("e/1.txt"), "order 1234 shipped\r\n");
  WriteFile(Here("e/2.txt"), "order 99 cancelled\r\n");
  WriteFile(Here("e/3.txt"), "no order here\r\n");
  std::string script = JoinLines({"[Expression test]", "[Expression]", "E1 AND NOT E2", "[Options]",
                              "Output_File=results.txt", "Show Progress Dialog=0",
                              "Sort File Names=1", "Show Files Without Hits=1", "[Search /X]",
                              "order +[0-9]", "[Replace]", "%%FMFOUND%%", "[Search]", "cancelled",
                              "[Replace]", "%%FMFOUND%%", "[Path]", Folder("e") + "*.txt",
                              "[End of Findmend Script]"});
  std::vector<std::string> results = Search(script);
  EXPECT_EQ(AfterHeader(results), (std::vector<std::string>{
                         "Processing file : " + Native(Here("e/1.txt")),
                         "Line   1 - <order 1234> shipped",
                         "Found 1 occurrences.",
                         "Processing file : " + Native(Here("e/2.txt")),
                         "No occurrences found!",
                         "Processing file : " + Native(Here("e/3.txt")),
                         "No occurrences found!",
                         "Searched 3 file(s), found 1 occurrences in 1 file(s)",
                         "order +[0-9] - Searched 3 file(s), found 1 occurrences in 1 file(s)",
                         "cancelled - Searched 3 file(s), found 0 occurrences in 0 file(s)",
                     }));
}

// HTML results: the page's head, marked hits, bytes written as references, the file link.
TEST_F(FileReplaceSearchTest, HtmlResults) {
  MakeFolders(Here("h"));
  WriteFile(Here("h/a.txt"), "Tom & \"Jerry\"\r\n");
  std::string script = JoinLines({"[HTML]", "[Options]", "Output_File=results.html",
                              "Show Progress Dialog=0", "[Search]", "Jerry", "[Replace]",
                              "%%FMFOUND%%", "[Path]", Folder("h") + "a.txt", "[Path]",
                              Folder("h") + "none.txt", "[End of Findmend Script]"});
  // Punctuation of a result line is written as numbered references.
  auto html = [](const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
      bool reference = (c >= 35 && c <= 47) || (c >= 58 && c <= 64) || (c >= 91 && c <= 96) ||
                       (c >= 123 && c <= 127) || c >= 160;
      out += reference ? "&#" + std::to_string(c) + ";" : std::string(1, static_cast<char>(c));
    }
    return out;
  };
  std::string path = Native(Here("h/a.txt"));
  EXPECT_EQ(Search(script, "results.html"),
            (std::vector<std::string>{
                "<html>",
                "<head><title>Findmend Search Results</title></head>",
                "<body vlink=\"#ff0080\">",
                "<BR><NOBR>Processing file : <A HREF=\"file://" + path +
                    "\"><B><FONT COLOR=\"#0000ff\">" + path + "</FONT></B></A></NOBR><BR>",
                "<NOBR>" + html("Line   1 - Tom & \"") +
                    "<B><FONT COLOR=\"#dc3403\">Jerry</FONT></B>\"</NOBR><BR>",
                "<NOBR>" + html("Found 1 occurrences.") + "</NOBR><BR>",
                "<BR><NOBR><B><FONT COLOR=\"#0000ff\">Searched 1 file(s), found 1 occurrences in 1 "
                "file(s)</FONT></B></NOBR><BR>",
                "<NOBR>" + html("Jerry - Searched 1 file(s), found 1 occurrences in 1 file(s)") +
                    "</NOBR><BR>",
            }));
}

// Chained scripts run in turn after the main one; one that cannot be read is reported and the
// ones after it still run. A replace script says that it changed nothing.
TEST_F(FileReplaceSearchTest, ChainedScriptsAndReplaceRuns) {
  WriteFile(Here("a.txt"), "alpha beta\r\n");
  auto script = [&](const std::string& output, const std::string& replace) {
    return JoinLines({"[Chained]", "[Options]", "Output_File=" + output, "Show Progress Dialog=0",
                  "Display File Stats=0", "Prompt_flag=2", "[Search]", "beta", "[Replace]", replace, "[Path]",
                  dir_.path() + Separator() + "a.txt", "[Path]", dir_.path() + Separator() + "none*.zzz",
                  "[End of Findmend Script]"});
  };
  MakeFolders(Here("folder.txt"));
  WriteFile(Here("second.txt"), script("second-results.txt", "gamma"));
  WriteFile(Here("script.txt"), script("results.txt", "%%FMFOUND%%") + Here("folder.txt") +
                                    "\r\n" + Here("missing.txt") + "\r\n" + Here("second.txt") +
                                    "\r\n");
  ProcessResult run = RunTslRun("|||" + Here("script.txt"), dir_.path(), "", &transcript_);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(transcript_, std::vector<std::string>{"MessageBox: Cannot read script file\\n" +
                                                  TranscriptText(Here("folder.txt")) + " -> OK"});
  EXPECT_EQ(SplitLines(ReadFile(Here("results.txt"))).back(),
            "Searched 1 file(s), found 1 occurrences in 1 file(s)");
  std::vector<std::string> second = SplitLines(ReadFile(Here("second-results.txt")));
  ASSERT_GE(second.size(), 2u);
  EXPECT_EQ(second[second.size() - 2], "Searched 1 file(s), found 1 occurrences in 1 file(s)");
  EXPECT_EQ(second.back(), "Replaced 1 occurrences in 1 file(s)");
  EXPECT_EQ(ReadFile(Here("a.txt")), "alpha gamma\r\n");
}

}  // namespace
}  // namespace tsl::testing

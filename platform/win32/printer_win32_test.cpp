// Printing through GDI on the CUPS server of the test command (tools/test-services.sh): Wine
// hands the pages of its PostScript printer driver to CUPS, whose default destination is a PDF
// printer. That PostScript, made into a PDF as the printer does and read with the host's
// pdftotext, must hold every line in order, with its Windows-1252 letters, on the pages where
// the page layout puts it.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/printer.h"
#include "tests/support/print_server.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

// Lines per page on the printer with its default font: (page height / line height) - 1.
int LinesPerPage(const std::string& printer) {
  HDC dc = CreateDCA("WINSPOOL", printer.c_str(), nullptr, nullptr);
  if (!dc) return 0;
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  int lines = GetDeviceCaps(dc, VERTRES) / (metrics.tmHeight + metrics.tmExternalLeading) - 1;
  DeleteDC(dc);
  return lines;
}

// The text with its runs of blanks made one space and none at either end (pdftotext turns the
// gaps between runs of text, the tab stops among them, into blanks).
std::string Squeezed(const std::string& text) {
  std::string result;
  for (char c : text) {
    bool blank = c == ' ' || c == '\t';
    if (blank && (result.empty() || result.back() == ' ')) continue;
    result += blank ? ' ' : c;
  }
  if (!result.empty() && result.back() == ' ') result.pop_back();
  return result;
}

std::string WithoutBlanks(const std::string& text) {
  std::string result;
  for (char c : text) {
    if (c != ' ' && c != '\t') result += c;
  }
  return result;
}

// The pages of pdftotext's text (each ends with a form feed), as their non-empty lines.
std::vector<std::vector<std::string>> Pages(const std::string& text) {
  std::vector<std::vector<std::string>> pages;
  std::size_t start = 0;
  for (std::size_t feed; (feed = text.find('\f', start)) != std::string::npos; start = feed + 1) {
    pages.emplace_back();
    for (const std::string& line : testing::SplitLines(text.substr(start, feed - start))) {
      if (!Squeezed(line).empty()) pages.back().push_back(Squeezed(line));
    }
  }
  return pages;
}

TEST(PrinterWin32Test, TextComesOutOnThePagesOfAPdf) {
  std::string why;
  std::optional<testing::PrintServer> server = testing::FindPrintServer(&why);
  if (!server) GTEST_SKIP() << why;
  std::string printer;
  ASSERT_TRUE(SystemPrinters().FindDefaultPrinter(&printer, &why).ok()) << why;
  EXPECT_EQ(printer, "PDF");
  int per_page = LinesPerPage(printer);
  ASSERT_GT(per_page, 3);

  // Two pages and a part: numbered lines with Windows-1252 letters, one with tabs, and one too
  // wide for the page, which the layout breaks over several printed lines.
  std::vector<std::string> lines;
  std::string wide;
  for (int word = 1; word <= 40; ++word) wide += "w" + std::to_string(word) + " ";
  for (int i = 1; i <= 2 * per_page + 2; ++i) {
    char line[80];
    std::snprintf(line, sizeof line, "Line %04d caf\xE9 \x80 na\xEFve \xDF", i);
    lines.push_back(i == 2 ? "Tab\tstops\tat\tquarter" : i == 3 ? wide : line);
  }
  testing::ScopedTempDir dir;
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  testing::WriteFile(dir / "report.txt", text);
  ASSERT_TRUE(
      SystemPrinters().PrintTextFile(printer, dir / "report.txt", dir / "report.txt", &why).ok())
      << why;

  testing::PrintedJob job;
  ASSERT_TRUE(testing::WaitForPrintedJob(*server, dir / "report.txt", 300, &job));
  ASSERT_EQ(job.state, 9) << "the job did not complete; see the server's log/error_log";
  std::string pdf_text;
  ASSERT_TRUE(testing::ReadPdfText(*server, job, 60, &pdf_text));
  std::vector<std::vector<std::string>> pages = Pages(pdf_text);
  ASSERT_FALSE(pages.empty());

  // The printed lines: the report's, the wide one in as many parts as the first page shows
  // beyond the report's lines (its parts together are the line).
  std::size_t shown = 0;
  for (const auto& page : pages) shown += page.size();
  ASSERT_GT(shown, lines.size());
  std::size_t parts = shown - lines.size() + 1;
  ASSERT_LE(2 + parts, pages[0].size());
  std::string joined;
  for (std::size_t i = 0; i < parts; ++i) joined += pages[0][2 + i];
  EXPECT_EQ(WithoutBlanks(joined), WithoutBlanks(wide));
  std::vector<std::string> printed;
  for (const std::string& line : lines) {
    if (line != wide) printed.push_back(Squeezed(cp::ToUtf8(line)));
    if (line == wide) printed.insert(printed.end(), parts, "");  // checked above
  }

  // Every page but the last is full, as the layout says; each line is where it belongs.
  ASSERT_EQ(pages.size(), (printed.size() + per_page - 1) / per_page);
  for (std::size_t page = 0; page < pages.size(); ++page) {
    std::size_t first = page * per_page;
    std::size_t count = std::min<std::size_t>(per_page, printed.size() - first);
    ASSERT_EQ(pages[page].size(), count) << "page " << page + 1;
    for (std::size_t i = 0; i < count; ++i) {
      if (printed[first + i].empty()) continue;
      EXPECT_EQ(pages[page][i], printed[first + i]) << "page " << page + 1 << ", line " << i + 1;
    }
  }
}

}  // namespace
}  // namespace tsl

// A log and a report that TslRun prints on "Default Printer", end to end, through the CUPS
// server of the test command (tools/test-services.sh), whose default destination is a PDF
// printer: what is printed holds every line that the same job writes to a file, in order, with
// its Windows-1252 letters. On Linux the server gets the text from lp, read back from the
// server's spool; under Wine it gets PostScript from Wine's printer driver, which is made into a
// PDF as the printer does and read with pdftotext.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "tests/support/print_server.h"
#include "tests/support/test_support.h"

namespace tsl::testing {
namespace {

std::string WithoutBlanks(const std::string& text) {
  std::string result;
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '\f') result += c;
  }
  return result;
}

class PrintingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    server_ = FindPrintServer(&why);
    if (!server_) GTEST_SKIP() << why;
    cups_.emplace("CUPS_SERVER", server_->socket);
    WriteFile(dir_ / "data.txt", "caf\xE9 \x80 one\r\nna\xEFve caf\xE9 \xDF two\r\n");
    MakeFolders(dir_ / "tmp");
    MakeFolders(dir_ / "src");
    WriteFile(dir_ / "src/a.txt", "a");
    WriteFile(dir_ / "src/b.txt", "b");
  }

  // Runs TslRun with one job; `script` gets the output's name.
  ProcessResult Run(const std::string& argument_form, const std::string& script) {
    WriteFile(dir_ / "job.txt", script);
    std::string argument = argument_form;
    argument.replace(argument.find('*'), 1, dir_ / "job.txt");
    // Its temporary files in a folder of its own, by which its print job is known.
    return RunTslRun(
        argument, dir_.path(), "", &transcript_,
        {{"TZ", "UTC"}, {"TMPDIR", dir_ / "tmp"}, {"TMP", dir_ / "tmp"}, {"TEMP", dir_ / "tmp"}});
  }

  // Runs the job twice, with its output in a file and on "Default Printer", and checks that the
  // printed text holds the file's lines but the first (its time stamp).
  void ExpectPrintedAsFiled(const std::string& argument_form, const std::function<void()>& reset,
                            const std::function<std::string(const std::string&)>& script) {
    reset();
    ProcessResult filed = Run(argument_form, script(dir_ / "out.txt"));
    ASSERT_EQ(filed.exit_code, 0) << filed.errors;
    std::vector<std::string> lines = SplitLines(ReadFile(dir_ / "out.txt"));
    ASSERT_GT(lines.size(), 3u);

    reset();
    ProcessResult printed = Run(argument_form, script("Default Printer"));
    ASSERT_EQ(printed.exit_code, 0) << printed.errors;
    EXPECT_TRUE(transcript_.empty()) << transcript_[0];
    PrintedJob job;
    ASSERT_TRUE(WaitForPrintedJobFrom(*server_, dir_ / "tmp", 300, &job));
    ASSERT_EQ(job.state, 9) << "the job did not complete; see the server's log/error_log";

    if (job.document.rfind("%!PS", 0) != 0) {
      // The text as lp gave it, in UTF-8.
      std::vector<std::string> arrived = SplitLines(cp::FromUtf8(job.document));
      ASSERT_EQ(arrived.size(), lines.size());
      EXPECT_EQ(std::vector<std::string>(arrived.begin() + 1, arrived.end()),
                std::vector<std::string>(lines.begin() + 1, lines.end()));
      return;
    }
    // The PDF's text: the page layout may break a line over several and spreads tabs, so the
    // text is compared without its blanks; in order, all of it.
    std::string pdf;
    ASSERT_TRUE(ReadPdfText(*server_, job, 60, &pdf));
    std::string shown = WithoutBlanks(pdf);
    std::string rest;
    for (std::size_t i = 1; i < lines.size(); ++i) rest += WithoutBlanks(cp::ToUtf8(lines[i]));
    ASSERT_GE(shown.size(), rest.size());
    EXPECT_EQ(shown.substr(shown.size() - rest.size()), rest);
    std::string first = WithoutBlanks(cp::ToUtf8(lines[0]));
    EXPECT_NEAR(static_cast<double>(shown.size() - rest.size()), first.size(), 4.0)
        << "the time stamp line: " << shown.substr(0, shown.size() - rest.size());
  }

  ScopedTempDir dir_;
  std::optional<PrintServer> server_;
  std::optional<ScopedEnvironment> cups_;
  std::vector<std::string> transcript_;
};

TEST_F(PrintingTest, AReportComesOutWhole) {
  ExpectPrintedAsFiled(
      "|||*", [] {},
      [this](const std::string& output) {
        return JoinLines({"[Print test]", "[Options]", "Output_File=" + output,
                          "Show Progress Dialog=0", "[Search /I]", "caf\xE9 \x80", "[Replace]",
                          "%%FMFOUND%%", "[Path]", dir_ / "data.txt", "[End of Findmend Script]"});
      });
}

TEST_F(PrintingTest, ALogComesOutWhole) {
  ExpectPrintedAsFiled(
      "*|||",
      [this] {
        RemoveTree(dir_ / "dst");  // so that every run copies the same files
        MakeFolders(dir_ / "dst");
      },
      [this](const std::string& output) {
        return JoinLines({"[Default]", "Path1=" + dir_ / "src", "Path2=" + dir_ / "dst",
                          "Output File=" + output, "Operation=3", "Confirm Updates=0",
                          "Show progress=0", "[Action1]"});
      });
}

}  // namespace
}  // namespace tsl::testing

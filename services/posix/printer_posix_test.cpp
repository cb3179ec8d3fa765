// Printing on Linux: through the real CUPS server that the test command starts, whose default
// destination is a PDF printer; and, for the failures that a working server does not show,
// through stand-ins for the CUPS programs `lpstat` and `lp` placed first on PATH.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <optional>

#include "services/messages.h"
#include "services/output_destination.h"
#include "platform/code_page.h"
#include "platform/environment.h"
#include "platform/file_error.h"
#include "platform/printer.h"
#include "tests/support/print_server.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

using testing::SplitLines;

// The CUPS server of the test command; the text that reached it is read from its spool folder.
class PrinterCupsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    server_ = testing::FindPrintServer(&why);
    if (!server_) GTEST_SKIP() << why;
    cups_.emplace("CUPS_SERVER", server_->socket);
    questions_.emplace(records_ / "transcript.txt");
  }

  // Closes a "Default Printer" destination and waits for its job; `*seconds` gets the time from
  // the Close to the job's end.
  testing::PrintedJob Deliver(OutputDestination& out, double* seconds = nullptr) {
    testing::PrintedJob job;
    std::string title = out.temporary_path();
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(out.Close());
    EXPECT_FALSE(PathExists(title));
    EXPECT_TRUE(testing::WaitForPrintedJob(*server_, title, 300, &job));
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (seconds) *seconds = took.count();
    // Completed: the PDF printer's filters made their PDF of it.
    EXPECT_EQ(job.state, 9) << "the job did not complete; see the server's log/error_log";
    return job;
  }

  testing::ScopedTempDir records_;
  std::optional<testing::PrintServer> server_;
  std::optional<testing::ScopedEnvironment> cups_;
  std::optional<testing::ScriptedQuestions> questions_;
};

TEST_F(PrinterCupsTest, TheLogReachesTheDefaultPrinterWhenClosed) {
  std::string name, why;
  ASSERT_TRUE(SystemPrinters().FindDefaultPrinter(&name, &why).ok()) << why;
  EXPECT_EQ(name, "PDF");

  OutputDestination out;
  ASSERT_TRUE(out.Open("Default Printer", false).ok());
  out.Write("Synchronize\r\n");
  out.Write("File Caf\xE9 \x80 na\xEFve \xDF.txt was copied\r\n\tend\r\n");
  EXPECT_FALSE(testing::HasPrintJob(*server_, out.temporary_path()));  // not line by line
  // CUPS takes the Windows-1252 text as UTF-8, every byte of it.
  EXPECT_EQ(Deliver(out).document,
            "Synchronize\r\nFile Caf\xC3\xA9 \xE2\x82\xAC na\xC3\xAFve \xC3\x9F.txt was "
            "copied\r\n\tend\r\n");
  EXPECT_TRUE(questions_->TakeTranscript().empty());
}

TEST_F(PrinterCupsTest, ALongReportArrivesWhole) {
  std::string report;
  for (int i = 1; i <= 10000; ++i) {
    char line[96];
    std::snprintf(line, sizeof line, "Line %05d - caf\xE9 \x80 na\xEFve \xDF\tand the rest\r\n", i);
    report += line;
  }
  OutputDestination out;
  ASSERT_TRUE(out.Open("Default Printer", false).ok());
  out.Write(report);
  double seconds = 0;
  std::string arrived = Deliver(out, &seconds).document;
  EXPECT_TRUE(arrived == cp::ToUtf8(report)) << arrived.size() << " bytes arrived";
  std::printf("10000 report lines reached the PDF in %.1f s\n", seconds);
  RecordProperty("seconds", std::to_string(seconds));
}

// Stand-ins for the CUPS programs, for what a working server does not show: no default
// destination, no CUPS, a job that lp refuses.
class PrinterPosixTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_path_ = GetEnvironmentValue("PATH");
    SetEnvironmentValue("PATH", bin_.path() + ":" + saved_path_.value_or("/usr/bin:/bin"));
    SetEnvironmentValue("TESSALINE_TRANSCRIPT", records_ / "transcript.txt");
    ReloadMessageSettings();
  }
  void TearDown() override {
    if (saved_path_) SetEnvironmentValue("PATH", *saved_path_);
    UnsetEnvironmentValue("TESSALINE_TRANSCRIPT");
    ReloadMessageSettings();
  }

  void Script(const std::string& name, const std::string& body) {
    std::string path = bin_ / name;
    testing::WriteFile(path, "#!/bin/sh\n" + body);
    ASSERT_EQ(::chmod(path.c_str(), 0755), 0);
  }
  std::vector<std::string> Transcript() {
    std::string text;
    RealFileSystem().ReadWholeFile(records_ / "transcript.txt", &text);
    return SplitLines(text);
  }

  testing::ScopedTempDir bin_, records_;
  std::optional<std::string> saved_path_;
};

TEST_F(PrinterPosixTest, NoDefaultPrinter) {
  struct Case {
    const char* what;
    std::string lpstat;  // empty: no lpstat at all
  } cases[] = {
      {"none set", "echo 'no system default destination'\nexit 1\n"},
      {"scheduler down", "echo 'lpstat: Bad file descriptor' >&2\nexit 1\n"},
      {"not installed", ""},
  };
  for (const Case& c : cases) {
    ::unlink((bin_ / "lpstat").c_str());
    if (!c.lpstat.empty()) Script("lpstat", c.lpstat);
    if (c.lpstat.empty()) SetEnvironmentValue("PATH", bin_.path());  // nothing to find
    std::string name, why;
    EXPECT_EQ(SystemPrinters().FindDefaultPrinter(&name, &why).kind, ErrorKind::kNotFound)
        << c.what;
    EXPECT_FALSE(why.empty()) << c.what;
    OutputDestination out;
    EXPECT_EQ(StandardFileErrorText(out.Open("Default Printer", true)), "Default Printer was not found.") << c.what;
    EXPECT_FALSE(out.is_open());
  }
}

TEST_F(PrinterPosixTest, APrintingFailureIsReportedAndTheTextRemoved) {
  Script("lpstat", "echo 'system default destination: Office_Laser'\n");
  Script("lp", "echo 'lp: The printer or class does not exist.' >&2\nexit 1\n");
  OutputDestination out;
  out.Open("default printer", false);
  std::string temporary = out.temporary_path();
  out.Write("x\r\n");
  EXPECT_FALSE(out.Close());
  EXPECT_FALSE(PathExists(temporary));
  EXPECT_EQ(Transcript(),
            std::vector<std::string>{"MessageBox: An unknown error occurred while accessing "
                                     "Default Printer.\\nlp: The printer or class does not "
                                     "exist. -> OK"});
}

}  // namespace
}  // namespace tsl

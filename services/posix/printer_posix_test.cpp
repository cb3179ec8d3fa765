// Printing on Linux, with recording stand-ins for the CUPS programs `lpstat` and `lp` placed
// first on PATH.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <optional>

#include "services/messages.h"
#include "services/output_destination.h"
#include "platform/environment.h"
#include "platform/file_error.h"
#include "platform/printer.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

using testing::ReadFile;
using testing::SplitLines;

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
  // lpstat that names a default destination, and lp that records its arguments and the file
  // it was given (its last argument) before that file goes away.
  void WorkingCups() {
    Script("lpstat", "echo \"$@\" > '" + records_ / "lpstat-args" +
                         "'\necho 'system default destination: Office_Laser'\n");
    Script("lp", "for a in \"$@\"; do echo \"$a\"; done > '" + records_ / "lp-args" +
                     "'\nfor a in \"$@\"; do last=\"$a\"; done\n/bin/cat \"$last\" > '" +
                     records_ / "lp-file" + "'\necho 'request id is Office_Laser-7 (1 file(s))'\n");
  }
  std::vector<std::string> Transcript() {
    std::string text;
    RealFileSystem().ReadWholeFile(records_ / "transcript.txt", &text);
    return SplitLines(text);
  }

  testing::ScopedTempDir bin_, records_;
  std::optional<std::string> saved_path_;
};

TEST_F(PrinterPosixTest, TheLogIsPrintedWhenClosed) {
  WorkingCups();
  OutputDestination out;
  out.Open("Default Printer", false);
  EXPECT_EQ(ReadFile(records_ / "lpstat-args"), "-d\n");
  std::string temporary = out.temporary_path();
  out.Write("Synchronize\r\n");
  out.Write("File Caf\xE9.txt was copied\r\n");
  EXPECT_FALSE(PathExists(records_ / "lp-args"));  // not line by line
  EXPECT_TRUE(out.Close());
  std::vector<std::string> args = SplitLines(ReadFile(records_ / "lp-args"));
  ASSERT_EQ(args.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(args.begin(), args.begin() + 4),
            (std::vector<std::string>{"-d", "Office_Laser", "-t", temporary}));
  // CUPS gets the text in UTF-8, through a copy that does not stay behind.
  EXPECT_EQ(ReadFile(records_ / "lp-file"), "Synchronize\r\nFile Caf\xC3\xA9.txt was copied\r\n");
  EXPECT_FALSE(PathExists(args[4]));
  EXPECT_FALSE(PathExists(temporary));
  EXPECT_TRUE(Transcript().empty());
}

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
  WorkingCups();
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

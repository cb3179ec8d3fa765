#include "services/output_destination.h"

#include <gtest/gtest.h>

#include <optional>

#include "services/messages.h"
#include "platform/clipboard.h"
#include "platform/environment.h"
#include "platform/fault_injection.h"
#include "platform/file_error.h"
#include "platform/file_system.h"
#include "platform/printer.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

using testing::ReadFile;
using testing::ScopedTempDir;
using testing::WriteFile;

// Stand-ins for the system's clipboard and printer, which record what they are given.
class FakeClipboard : public ClipboardService {
 public:
  SysError ReadText(std::string* text, bool* has_text, std::string*) override {
    if (read_error.failed()) return read_error;
    *has_text = content.has_value();
    *text = content.value_or("");
    return {};
  }
  SysError WriteText(const std::string& text, std::string* why) override {
    if (write_error.failed()) {
      *why = "the clipboard is busy";
      return write_error;
    }
    content = text;
    ++writes;
    return {};
  }
  std::optional<std::string> content;
  SysError read_error, write_error;
  int writes = 0;
};

class FakePrinters : public PrinterService {
 public:
  SysError FindDefaultPrinter(std::string* name, std::string*) override {
    if (default_printer.empty()) return ErrorOfKind(ErrorKind::kNotFound);
    *name = default_printer;
    return {};
  }
  SysError PrintTextFile(const std::string& printer, const std::string& path,
                         const std::string& job_name, std::string* why) override {
    if (print_error.failed()) {
      *why = "the printer is out of paper";
      return print_error;
    }
    std::string text;
    if (SysError e = Files().ReadWholeFile(path, &text); e.failed()) return e;
    jobs.push_back({printer, job_name, text});
    return {};
  }
  struct Job {
    std::string printer, name, text;
  };
  std::string default_printer = "Office Laser";
  SysError print_error;
  std::vector<Job> jobs;
};

class OutputDestinationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    temp_ = dir_ / "temp";
    ASSERT_TRUE(RealFileSystem().MakeFolder(temp_).ok());
    // The system's temporary folder is the test's own, so that leftovers can be seen.
    for (const char* name : {"TMPDIR", "TMP", "TEMP"}) {
      saved_.push_back({name, GetEnvironmentValue(name)});
      SetEnvironmentValue(name, temp_);
    }
    SetEnvironmentValue("TESSALINE_TRANSCRIPT", dir_ / "transcript.txt");
    ReloadMessageSettings();
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) {
      if (value)
        SetEnvironmentValue(name, *value);
      else
        UnsetEnvironmentValue(name);
    }
    UnsetEnvironmentValue("TESSALINE_TRANSCRIPT");
    ReloadMessageSettings();
  }

  // Names of the files left in the temporary folder.
  std::vector<std::string> Leftovers() {
    std::vector<DirEntry> entries;
    RealFileSystem().ListFolder(temp_, &entries);
    std::vector<std::string> names;
    for (const DirEntry& e : entries) names.push_back(e.name);
    return names;
  }
  // The text that reached a destination of the kind.
  std::string Arrived(OutputDestination::Kind kind, const std::string& path) {
    switch (kind) {
      case OutputDestination::Kind::kFile:
        return ReadFile(path);
      case OutputDestination::Kind::kClipboard:
        return clipboard_.content.value_or("");
      case OutputDestination::Kind::kPrinter:
        break;
    }
    return printers_.jobs.empty() ? "" : printers_.jobs[0].text;
  }
  std::vector<std::string> Transcript() {
    std::string text;
    RealFileSystem().ReadWholeFile(dir_ / "transcript.txt", &text);
    return testing::SplitLines(text);
  }

  ScopedTempDir dir_;
  std::string temp_;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
  FakeClipboard clipboard_;
  FakePrinters printers_;
  ScopedClipboard use_clipboard_{clipboard_};
  ScopedPrinters use_printers_{printers_};
};

TEST_F(OutputDestinationTest, KindsByName) {
  using Kind = OutputDestination::Kind;
  struct Case {
    const char* name;
    Kind kind;
  } cases[] = {
      {"Clipboard", Kind::kClipboard},     {"clipboard", Kind::kClipboard},
      {"CLIPBOARD", Kind::kClipboard},     {"Default Printer", Kind::kPrinter},
      {"default printer", Kind::kPrinter}, {"DEFAULT PRINTER", Kind::kPrinter},
      {" Clipboard", Kind::kFile},         {"Clipboard.txt", Kind::kFile},
      {"Default  Printer", Kind::kFile},   {"DefaultPrinter", Kind::kFile},
      {"logs/Clipboard", Kind::kFile},     {"", Kind::kFile},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(OutputDestination::KindOf(c.name), c.kind) << "'" << c.name << "'";
  }
}

TEST_F(OutputDestinationTest, FileAppendOrReplace) {
  std::string path = dir_ / "log.txt";
  WriteFile(path, "old line\r\n");
  struct Step {
    bool append;
    std::string text, after;
  } steps[] = {
      {true, "new header\r\n", "old line\r\nnew header\r\n"},
      {false, "replaced\r\n", "replaced\r\n"},
      {true, std::string("\0\xff\n\r", 4),
       std::string("replaced\r\n\0\xff\n\r", 14)},  // bytes as given
  };
  for (const Step& s : steps) {
    OutputDestination out;
    out.Open(path, s.append);
    EXPECT_EQ(out.kind(), OutputDestination::Kind::kFile);
    EXPECT_TRUE(out.temporary_path().empty());
    EXPECT_TRUE(out.Write(s.text));
    EXPECT_TRUE(out.Close());
    EXPECT_EQ(ReadFile(path), s.after);
  }
  // Append to a file that does not exist yet creates it.
  OutputDestination out;
  out.Open(dir_ / "new.txt", true);
  out.Write("x", 1);
  EXPECT_TRUE(out.Close());
  EXPECT_EQ(ReadFile(dir_ / "new.txt"), "x");
  EXPECT_TRUE(Transcript().empty());
}

TEST_F(OutputDestinationTest, DestroyingAnOpenDestinationClosesIt) {
  {
    OutputDestination out;
    out.Open("Clipboard", false);
    out.Write("report");
  }
  EXPECT_EQ(clipboard_.content, "report");
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(OutputDestinationTest, FilesThatCannotBeOpenedGiveTheFileError) {
  struct Case {
    std::string path;
    std::string message;
  } cases[] = {
      {dir_.path(), "Access to " + dir_.path() + " was denied."},  // a folder
      {dir_ / "no/such/folder/log.txt", ""},
  };
  for (const Case& c : cases) {
    for (bool append : {false, true}) {
      OutputDestination out;
      SysError e = out.Open(c.path, append);
      ASSERT_TRUE(e.failed()) << c.path << " opened";
      EXPECT_EQ(e.path, c.path);
      EXPECT_STREQ(e.operation, "OpenForWriting");
      if (!c.message.empty()) {
        EXPECT_EQ(StandardFileErrorText(e), c.message);
      }
      EXPECT_NE(StandardFileErrorText(e).find(c.path), std::string::npos);
      EXPECT_FALSE(out.is_open());
      EXPECT_TRUE(out.Close());  // nothing to close, nothing reported
    }
  }
  EXPECT_TRUE(Transcript().empty());
}

TEST_F(OutputDestinationTest, ClipboardAppendKeepsTheOldText) {
  struct Case {
    std::optional<std::string> before;
    bool append;
    std::string after;
  } cases[] = {
      {"old text\r\n", true, "old text\r\nlog line\r\n"},
      {"old text\r\n", false, "log line\r\n"},
      {std::nullopt, true, "log line\r\n"},  // no text on the clipboard
      {"", true, "log line\r\n"},
  };
  for (const Case& c : cases) {
    clipboard_.content = c.before;
    OutputDestination out;
    out.Open("clipboard", c.append);
    EXPECT_EQ(out.kind(), OutputDestination::Kind::kClipboard);
    std::string temporary = out.temporary_path();
    EXPECT_EQ(testing::Native(temporary).rfind(temp_ + testing::Separator() + "CLP", 0), 0u)
        << temporary;
    out.Write("log line\r\n");
    EXPECT_EQ(clipboard_.content, c.before);  // delivered only at Close
    EXPECT_TRUE(out.Close());
    EXPECT_EQ(clipboard_.content, c.after);
    EXPECT_FALSE(PathExists(temporary));
  }
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(OutputDestinationTest, NoClipboardFailsAtOpen) {
  clipboard_.read_error = ErrorOfKind(ErrorKind::kUnreachable);
  for (bool append : {false, true}) {
    OutputDestination out;
    EXPECT_EQ(StandardFileErrorText(out.Open("Clipboard", append)),
              "Clipboard could not be reached.");
    EXPECT_FALSE(out.is_open());
  }
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(OutputDestinationTest, ClipboardFailureAtCloseIsReported) {
  clipboard_.content = "kept";
  clipboard_.write_error = ErrorOfKind(ErrorKind::kAccessDenied);
  OutputDestination out;
  out.Open("Clipboard", true);
  out.Write("text");
  EXPECT_FALSE(out.Close());
  EXPECT_EQ(clipboard_.content, "kept");
  EXPECT_EQ(Transcript(), std::vector<std::string>{
                              "MessageBox: Access to Clipboard was denied.\\nthe clipboard is "
                              "busy -> OK"});
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(OutputDestinationTest, DefaultPrinterPrintsAtClose) {
  OutputDestination out;
  out.Open("Default Printer", true);
  EXPECT_EQ(out.kind(), OutputDestination::Kind::kPrinter);
  std::string temporary = out.temporary_path();
  out.Write("line 1\r\n");
  out.Write("line 2\r\n");
  EXPECT_TRUE(printers_.jobs.empty());  // not line by line
  EXPECT_TRUE(out.Close());
  ASSERT_EQ(printers_.jobs.size(), 1u);
  EXPECT_EQ(printers_.jobs[0].printer, "Office Laser");
  EXPECT_EQ(printers_.jobs[0].name, temporary);  // the job is named after the temporary file
  EXPECT_EQ(printers_.jobs[0].text, "line 1\r\nline 2\r\n");
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(OutputDestinationTest, NoDefaultPrinterFailsAtOpen) {
  printers_.default_printer.clear();
  OutputDestination out;
  EXPECT_EQ(StandardFileErrorText(out.Open("DEFAULT printer", false)),
            "Default Printer was not found.");
  EXPECT_FALSE(out.is_open());
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(OutputDestinationTest, PrinterFailureAtCloseIsReported) {
  printers_.print_error = ErrorOfKind(ErrorKind::kIo);
  OutputDestination out;
  out.Open("Default Printer", false);
  out.Write("x");
  EXPECT_FALSE(out.Close());
  EXPECT_EQ(Transcript(),
            std::vector<std::string>{"MessageBox: A hardware I/O error was reported while "
                                     "accessing Default Printer.\\nthe printer is out of paper "
                                     "-> OK"});
  EXPECT_TRUE(Leftovers().empty());
}

// Every file operation of a whole Open-Write-Close, failed in turn: success is reported only
// when all the text arrived, and no temporary file is left.
TEST_F(OutputDestinationTest, FailingEachFileOperationInTurn) {
  const std::string kOld = "old\r\n";
  const std::string kLine1 = "first line\r\n", kLine2 = "second line\r\n";
  struct Case {
    const char* name;  // "file" is a file in the test folder
    bool append;
    std::string expected;
  } cases[] = {
      {"file", false, kLine1 + kLine2},
      {"file", true, kOld + kLine1 + kLine2},
      {"Clipboard", true, kOld + kLine1 + kLine2},
      {"Clipboard", false, kLine1 + kLine2},
      {"Default Printer", false, kLine1 + kLine2},
  };
  for (const Case& c : cases) {
    for (bool persistent : {false, true}) {
      for (std::int64_t k = 1;; ++k) {
        SCOPED_TRACE(std::string(c.name) + (c.append ? " append" : " replace") +
                     (persistent ? " persistent" : "") + " k=" + std::to_string(k));
        std::string path = dir_ / "log.txt";
        WriteFile(path, kOld);
        clipboard_.content = kOld;
        printers_.jobs.clear();
        std::string name = std::string(c.name) == "file" ? path : c.name;

        FaultInjectingFileSystem faults(RealFileSystem());
        faults.FailAt(k, ErrorKind::kDiskFull, persistent);
        bool open_failed = false, reported_ok = false;
        {
          ScopedFileSystem use(faults);
          OutputDestination out;
          open_failed = out.Open(name, c.append).failed();
          if (!open_failed) {
            out.Write(kLine1);
            out.Write(kLine2);
            reported_ok = out.Close();
          }
        }
        if (reported_ok) {
          EXPECT_EQ(Arrived(OutputDestination::KindOf(name), path), c.expected);
        }
        if (!faults.fired()) {
          EXPECT_TRUE(reported_ok);
          EXPECT_FALSE(open_failed);
          break;
        }
        if (!persistent) {
          EXPECT_EQ(Leftovers(), std::vector<std::string>{});
        }
        testing::RemoveTree(temp_);
        RealFileSystem().MakeFolder(temp_);
      }
    }
  }
}

}  // namespace
}  // namespace tsl

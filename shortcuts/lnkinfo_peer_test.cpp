// Links written by the codec, read by another reader: lnkinfo (Debian's liblnk-utils, installed
// by tools/install-deps.sh). Skipped when it is not there.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <thread>

#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "shortcuts/shell_link.h"
#include "tests/support/test_support.h"

namespace tsl {
namespace {

const char kLnkinfo[] = "/usr/bin/lnkinfo";

// Runs a shell command of the host with two paths of this system as $0 and $1, and waits for
// the file $1 to appear: the command writes it under another name and renames it when done.
// (Under Wine the output of a Unix program does not reach our pipes, and its end is not
// waited for.)
bool RunHostShell(const std::string& command, const std::string& path, const std::string& output) {
  const std::string host_output = HostPath(output);
  if (host_output.empty()) return false;
  const std::string whole = command + " > \"$1.part\" && mv \"$1.part\" \"$1\"";
  ProcessResult result = RunProcess("/bin/sh", {"-c", whole, HostPath(path), host_output});
  if (result.error.failed() || result.exit_code != 0) return false;
  for (int i = 0; i < 200 && !PathExists(output); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return PathExists(output);
}

// The "label : value" lines of lnkinfo's report, values in ANSI.
std::map<std::string, std::string> LnkinfoFields(const std::string& path) {
  const std::string report = path + ".txt";
  EXPECT_TRUE(RunHostShell(std::string(kLnkinfo) + " \"$0\"", path, report));
  std::map<std::string, std::string> fields;
  for (const std::string& line : testing::SplitLines(testing::ReadFile(report))) {
    const std::string::size_type colon = line.find(": ");
    if (colon == std::string::npos) continue;
    std::string label = line.substr(0, colon);
    label.erase(0, label.find_first_not_of('\t'));
    label.erase(label.find_last_not_of("\t ") + 1);
    fields.emplace(label, cp::FromUtf8(line.substr(colon + 2)));
  }
  return fields;
}

struct Sample {
  bool unicode;
  std::string path;
};

TEST(LnkinfoPeerTest, ReadsTheFieldsTheCodecWrote) {
  testing::ScopedTempDir dir;
  if (!RunHostShell(std::string(kLnkinfo) + " -V", dir.path(), dir / "probe")) {
    GTEST_SKIP() << "lnkinfo is not installed (tools/install-deps.sh installs liblnk-utils)";
  }
  const Sample samples[] = {{false, "C:\\Program Files\\App\\app.exe"},
                            {true,
                             "D:\\Daten\\Gr\xFC\xDF"
                             "e.txt"},
                            {false, "\\\\server\\share\\tools\\x.exe"},
                            {true, "\\\\fs\\public"}};
  int number = 0;
  for (const Sample& sample : samples) {
    SCOPED_TRACE(sample.path);
    ShellLink link = ShellLink::Empty(sample.unicode);
    link.SetPath(sample.path);
    link.SetWorkingFolder("C:\\Work \xE9t\xE9");
    link.SetArguments("/q \"a b\"");
    link.SetDescription("Sample " + std::to_string(number));
    link.SetIconLocation("C:\\Icons\\set.dll", 4);
    const std::string path = dir / ("sample" + std::to_string(number++) + ".lnk");
    ASSERT_TRUE(SaveShellLink(path, link).ok());

    std::map<std::string, std::string> fields = LnkinfoFields(path);
    const bool network = sample.path.rfind("\\\\", 0) == 0;
    EXPECT_EQ(fields[network ? "Network path" : "Local path"], sample.path);
    EXPECT_EQ(fields.count(network ? "Local path" : "Network path"), 0u);
    EXPECT_EQ(fields["Working directory"], "C:\\Work \xE9t\xE9");
    EXPECT_EQ(fields["Command line arguments"], "/q \"a b\"");
    EXPECT_EQ(fields["Description"], "Sample " + std::to_string(number - 1));
    EXPECT_EQ(fields["Icon location"], "C:\\Icons\\set.dll");
    EXPECT_EQ(fields["Icon index"], "4");
  }
}

}  // namespace
}  // namespace tsl

#include "tests/support/print_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

#include "platform/environment.h"
#include "platform/file_system.h"
#include "tests/support/test_support.h"

namespace tsl::testing {
namespace {

// The value after an attribute's name in a job's state file (IPP's encoding: the name, a
// two-byte length, the value), or nothing.
std::optional<std::string> AttributeValue(const std::string& file, const std::string& name) {
  std::string::size_type at = file.find(name);
  if (at == std::string::npos || at + name.size() + 2 > file.size()) return std::nullopt;
  at += name.size();
  std::size_t length =
      static_cast<unsigned char>(file[at]) * 256u + static_cast<unsigned char>(file[at + 1]);
  if (at + 2 + length > file.size()) return std::nullopt;
  return file.substr(at + 2, length);
}

// The jobs' state files: c00001, c00002, ...
std::vector<std::string> StateFiles(const std::string& spool) {
  std::vector<DirEntry> entries;
  RealFileSystem().ListFolder(spool, &entries);
  std::vector<std::string> names;
  for (const DirEntry& entry : entries) {
    const std::string& name = entry.name;
    if (name.size() > 1 && name[0] == 'c' &&
        name.find_first_not_of("0123456789", 1) == std::string::npos) {
      names.push_back(name);
    }
  }
  return names;
}

}  // namespace

std::optional<PrintServer> FindPrintServer(std::string* why) {
  if (std::optional<std::string> reason = GetEnvironmentValue("TSL_TEST_CUPS_UNAVAILABLE")) {
    *why = "no CUPS server for the tests: " + *reason;
    return std::nullopt;
  }
  std::optional<std::string> socket = GetEnvironmentValue("TSL_TEST_CUPS_SERVER");
  std::optional<std::string> spool = GetEnvironmentValue("TSL_TEST_CUPS_SPOOL");
  std::optional<std::string> output = GetEnvironmentValue("TSL_TEST_CUPS_OUTPUT");
  if (!socket || !spool || !output) {
    *why =
        "no CUPS server for the tests: tools/test-services.sh starts one (the test command "
        "does)";
    return std::nullopt;
  }
  return PrintServer{*socket, BuiltProgram(*spool), *spool, BuiltProgram(*output), *output};
}

bool ReadPdfText(const PrintServer& server, const PrintedJob& job, int seconds, std::string* text) {
  // Made beside the printer's own PDF, one pair of files per job. Under Wine a Unix program runs
  // on its own, without waiting for it: the text is made under another name and renamed when
  // whole.
  char document[32];
  std::snprintf(document, sizeof document, "/d%05d-001", job.id);
  std::string suffix = "." + std::to_string(job.id);
  std::string text_file = server.output + suffix + ".txt";
  RealFileSystem().RemoveFile(text_file);
  ProcessResult result = RunProcess(
      "/bin/sh", {"-c",
                  "ps2pdf \"$0\" \"$1.pdf\" && pdftotext -layout \"$1.pdf\" \"$1.part\" && "
                  "mv \"$1.part\" \"$1.txt\"",
                  server.host_spool + document, server.host_output + suffix});
  if (result.error.failed()) {
    ADD_FAILURE() << "/bin/sh could not be started";
    return false;
  }
  auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!PathExists(text_file)) {
    if (std::chrono::steady_clock::now() > give_up) {
      ADD_FAILURE() << "no PDF text for job " << job.id << ": " << result.errors;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return RealFileSystem().ReadWholeFile(text_file, text).ok();
}

bool HasPrintJob(const PrintServer& server, const std::string& title) {
  for (const std::string& name : StateFiles(server.spool)) {
    std::string file;
    if (RealFileSystem().ReadWholeFile(server.spool + Separator() + name, &file).ok() &&
        AttributeValue(file, "job-name") == title) {
      return true;
    }
  }
  return false;
}

namespace {

// Waits for the first job whose number and state file `wanted` accepts to end.
bool WaitForJob(const PrintServer& server,
                const std::function<bool(int, const std::string&)>& wanted, const std::string& what,
                int seconds, PrintedJob* job) {
  auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  std::string name;  // the job's state file, once found
  int state = 0;
  do {
    std::vector<std::string> names = StateFiles(server.spool);
    std::sort(names.begin(), names.end());  // c00001, c00002, ...: in the order of the jobs
    for (const std::string& candidate : name.empty() ? names : std::vector<std::string>{name}) {
      std::string file;
      if (RealFileSystem().ReadWholeFile(server.spool + Separator() + candidate, &file).failed()) {
        continue;
      }
      if (!wanted(std::stoi(candidate.substr(1)), file)) continue;
      name = candidate;
      std::optional<std::string> value = AttributeValue(file, "job-state");
      state = value && value->size() == 4 ? static_cast<unsigned char>((*value)[3]) : 0;
      break;
    }
    if (state >= 6) {  // stopped (a filter failed), canceled, aborted or completed
      job->id = std::stoi(name.substr(1));
      job->state = state;
      std::string document = server.spool + Separator() + "d" + name.substr(1) + "-001";
      EXPECT_TRUE(RealFileSystem().ReadWholeFile(document, &job->document).ok()) << document;
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  } while (std::chrono::steady_clock::now() < give_up);
  ADD_FAILURE() << (name.empty() ? "no print job " : "the print job did not end: ") << what;
  return false;
}

}  // namespace

bool WaitForPrintedJob(const PrintServer& server, const std::string& title, int seconds,
                       PrintedJob* job) {
  return WaitForJob(
      server,
      [&](int, const std::string& file) { return AttributeValue(file, "job-name") == title; },
      "called " + title, seconds, job);
}

bool WaitForPrintedJobFrom(const PrintServer& server, const std::string& folder, int seconds,
                           PrintedJob* job) {
  std::string prefix = folder + Separator();
  return WaitForJob(
      server,
      [&](int, const std::string& file) {
        return AttributeValue(file, "job-name").value_or("").rfind(prefix, 0) == 0;
      },
      "from " + folder, seconds, job);
}

}  // namespace tsl::testing

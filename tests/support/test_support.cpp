#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "services/messages.h"
#include "platform/environment.h"
#include "platform/file_error.h"
#include "platform/file_system.h"
#include "platform/paths.h"

namespace tsl::testing {

ScopedEnvironment::ScopedEnvironment(const std::string& name,
                                     const std::optional<std::string>& value)
    : name_(name), saved_(GetEnvironmentValue(name)) {
  if (value)
    SetEnvironmentValue(name_, *value);
  else
    UnsetEnvironmentValue(name_);
}

ScopedEnvironment::~ScopedEnvironment() {
  if (saved_)
    SetEnvironmentValue(name_, *saved_);
  else
    UnsetEnvironmentValue(name_);
}

ScriptedQuestions::ScriptedQuestions(const std::string& transcript_path)
    : transcript_path_(transcript_path) {
  transcript_.emplace("TESSALINE_TRANSCRIPT", transcript_path);
  answers_.emplace("TESSALINE_ANSWERS", "");
  ReloadMessageSettings();
}

ScriptedQuestions::~ScriptedQuestions() {
  answers_.reset();
  transcript_.reset();
  ReloadMessageSettings();
}

void ScriptedQuestions::Answers(const std::string& answers) {
  SetEnvironmentValue("TESSALINE_ANSWERS", answers);
  ReloadMessageSettings();
}

std::vector<std::string> ScriptedQuestions::TakeTranscript() {
  std::string text;
  RealFileSystem().ReadWholeFile(transcript_path_, &text);
  RealFileSystem().RemoveFile(transcript_path_);
  return SplitLines(text);
}

char Separator() { return NativeSeparator(); }

std::string Native(const std::string& path) {
  std::string result = path;
  for (char& c : result) {
    if (c == '/') c = Separator();
  }
  return result;
}

ScopedTempDir::ScopedTempDir() {
  FileSystem& fs = RealFileSystem();
  static std::atomic<int> counter{0};
  auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = fs.TempFolder() + "tsltest-" + std::to_string(stamp % 1000000007) +
                            "-" + std::to_string(counter++);
    if (fs.MakeFolder(candidate).ok()) {
      path_ = candidate;
      return;
    }
  }
  ADD_FAILURE() << "cannot create a temporary folder in " << fs.TempFolder();
}

ScopedTempDir::~ScopedTempDir() {
  if (!path_.empty()) RemoveTree(path_);
}

std::string ScopedTempDir::operator/(const std::string& relative) const {
  return path_ + Separator() + Native(relative);
}

void WriteFile(const std::string& path, const std::string& content) {
  std::unique_ptr<WritableFile> file;
  SysError e = RealFileSystem().OpenForWriting(path, WriteMode::kReplace, &file);
  ASSERT_TRUE(e.ok()) << StandardFileErrorText(e, path);
  ASSERT_TRUE(file->Write(content.data(), content.size()).ok()) << path;
  ASSERT_TRUE(file->Close().ok()) << path;
}

std::string ReadFile(const std::string& path) {
  std::string content;
  SysError e = RealFileSystem().ReadWholeFile(path, &content);
  EXPECT_TRUE(e.ok()) << StandardFileErrorText(e, path);
  return content;
}

void MakeFolders(const std::string& path) {
  for (std::size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/' || path[i] == Separator()) {
      RealFileSystem().MakeFolder(path.substr(0, i));  // one that is there already is fine
    }
  }
}

void WriteFileAt(const std::string& path, const std::string& content, FileTime modified) {
  std::size_t last = path.find_last_of(std::string("/") + Separator());
  if (last != std::string::npos) MakeFolders(path.substr(0, last));
  WriteFile(path, content);
  EXPECT_TRUE(RealFileSystem().SetTimes(path, modified, modified).ok()) << path;
}

std::vector<std::string> Names(const std::string& folder) {
  std::vector<DirEntry> entries;
  RealFileSystem().ListFolder(folder, &entries);
  std::vector<std::string> names;
  for (const DirEntry& entry : entries) names.push_back(entry.name);
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<DirEntry> SortedListing(const std::string& folder) {
  std::vector<DirEntry> entries;
  EXPECT_TRUE(RealFileSystem().ListFolder(folder, &entries).ok()) << folder;
  std::sort(entries.begin(), entries.end(),
            [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
  return entries;
}

FileTree ReadTree(const std::string& folder) {
  FileTree tree;
  std::vector<std::string> pending{""};
  while (!pending.empty()) {
    std::string relative = pending.back();
    pending.pop_back();
    std::vector<DirEntry> entries;
    RealFileSystem().ListFolder(folder + Separator() + Native(relative), &entries);
    for (const DirEntry& entry : entries) {
      std::string path = relative + entry.name;
      if (entry.is_folder()) {
        tree[path] = kFolderMark;
        pending.push_back(path + "/");
      } else {
        tree[path] = ReadFile(folder + Separator() + Native(path));
      }
    }
  }
  return tree;
}

void RemoveTree(const std::string& path) {
  FileSystem& fs = RealFileSystem();
  std::vector<DirEntry> entries;
  if (fs.ListFolder(path, &entries).ok()) {
    for (const DirEntry& entry : entries) {
      std::string child = path + Separator() + entry.name;
      fs.SetAttributes(child, entry.attributes & ~attr::kReadOnly);
      if (entry.is_folder() && !(entry.attributes & attr::kReparsePoint)) {
        RemoveTree(child);
      } else if (fs.RemoveFile(child).failed()) {
        fs.RemoveFolder(child);  // a link to a folder
      }
    }
  }
  fs.RemoveFolder(path);
}

std::string BuiltProgram(const std::string& linux_path) {
  if (Separator() == '\\' && !linux_path.empty() && linux_path[0] == '/') {
    return "Z:" + Native(linux_path);
  }
  return linux_path;
}

bool RunOnHost(const std::string& program, const std::vector<std::string>& arguments) {
  std::vector<std::string> host_arguments;
  for (const std::string& argument : arguments) {
    if (argument.empty() || argument[0] != '@') {
      host_arguments.push_back(argument);
      continue;
    }
    // The folder is looked up, not the name: Wine would find a file whose name differs only in
    // letter case.
    std::string path = argument.substr(1);
    std::string::size_type name_at = path.find_last_of("\\/");
    std::string host = name_at == std::string::npos ? "" : HostPath(path.substr(0, name_at));
    if (host.empty()) return false;
    host += "/" + path.substr(name_at + 1);
    host_arguments.push_back(host);
  }
  ProcessResult result = RunProcess(program, host_arguments);
  if (result.error.failed()) return false;
  EXPECT_EQ(result.exit_code, 0) << program << ": " << result.errors;
  return result.exit_code == 0;
}

bool MakeHostLink(const std::string& target, const std::string& link) {
  return RunOnHost("/bin/ln", {"-s", "@" + target, "@" + link});
}

bool WriteHostFileAt(const std::string& path, const std::string& content, FileTime modified) {
  if (Separator() != '\\') {
    WriteFileAt(path, content, modified);
    return true;
  }
  // Written under a name of its own, then renamed by the host, which keeps letter case apart.
  std::string staged = path + ".staged";
  WriteFileAt(staged, content, modified);
  bool moved = RunOnHost("/bin/mv", {"@" + staged, "@" + path});
  if (!moved) RealFileSystem().RemoveFile(staged);
  return moved;
}

std::string TslRunProgram() {
#ifdef TSL_TSLRUN_PATH
  return BuiltProgram(TSL_TSLRUN_PATH);
#else
  ADD_FAILURE() << "TslRun is not known to this test program";
  return "";
#endif
}

namespace {

// Runs TslRun, behind the program and arguments of `wrapper` when there are, with the answers
// and a transcript file.
ProcessResult RunTslRunBehind(const std::vector<std::string>& wrapper, const std::string& argument,
                              const std::string& folder, const std::string& answers,
                              std::vector<std::string>* transcript,
                              const std::vector<std::pair<std::string, std::string>>& environment) {
  ScopedTempDir scratch;
  std::string transcript_path = scratch / "transcript.txt";
  ProcessOptions options;
  options.working_folder = folder;
  options.environment = environment;
  options.environment.push_back({"TESSALINE_ANSWERS", answers});
  options.environment.push_back({"TESSALINE_TRANSCRIPT", transcript_path});
  std::string program = TslRunProgram();
  std::vector<std::string> arguments = {argument};
  if (!wrapper.empty()) {
    arguments.assign(wrapper.begin() + 1, wrapper.end());
    arguments.push_back(program);
    arguments.push_back(argument);
    program = wrapper[0];
  }
  ProcessResult result = RunProcess(program, arguments, options);
  if (result.error.failed() && wrapper.empty()) {
    // Wine, busy just after its prefix was made, has been seen to refuse a process start once;
    // a second refusal is a real failure.
    std::fprintf(stderr, "TslRun could not be started (%s); trying once more\n",
                 SystemErrorText(result.error.code).c_str());
    std::this_thread::sleep_for(std::chrono::seconds(1));
    result = RunProcess(program, arguments, options);
  }
  if (transcript) {
    std::string text;
    RealFileSystem().ReadWholeFile(transcript_path, &text);
    *transcript = SplitLines(text);
  }
  return result;
}

}  // namespace

ProcessResult RunTslRun(const std::string& argument, const std::string& folder,
                        const std::string& answers, std::vector<std::string>* transcript,
                        const std::vector<std::pair<std::string, std::string>>& environment) {
  return RunTslRunBehind({}, argument, folder, answers, transcript, environment);
}

ProcessResult RunTslRunWrapped(
    const std::vector<std::string>& wrapper, const std::string& argument, const std::string& folder,
    const std::string& answers, std::vector<std::string>* transcript,
    const std::vector<std::pair<std::string, std::string>>& environment) {
  if (wrapper.empty()) {
    ADD_FAILURE() << "no wrapping program";
    return {};
  }
  return RunTslRunBehind(wrapper, argument, folder, answers, transcript, environment);
}

std::string TranscriptText(const std::string& text) {
  std::string result;
  for (char c : text) {
    switch (c) {
      case '\\':
        result += "\\\\";
        break;
      case '\n':
        result += "\\n";
        break;
      case '\r':
        result += "\\r";
        break;
      case '\t':
        result += "\\t";
        break;
      default:
        result += c;
    }
  }
  return result;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string::size_type start = 0;
  while (start < text.size()) {
    std::string::size_type end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

}  // namespace tsl::testing

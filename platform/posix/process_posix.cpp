#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_system.h"
#include "platform/process.h"

extern char** environ;

namespace tsl {
namespace {

// The current environment with the options' changes applied.
std::vector<std::string> ChildEnvironment(const ProcessOptions& options) {
  std::vector<std::string> result;
  auto overridden = [&](const std::string& entry) {
    std::string name = entry.substr(0, entry.find('='));
    for (const auto& [key, value] : options.environment) {
      if (key == name) return true;
    }
    for (const auto& key : options.unset_environment) {
      if (key == name) return true;
    }
    return false;
  };
  for (char** e = environ; *e; ++e) {
    if (!overridden(*e)) result.push_back(*e);
  }
  for (const auto& [key, value] : options.environment) result.push_back(key + "=" + value);
  return result;
}

std::string TakeFile(const std::string& path) {
  std::string content;
  RealFileSystem().ReadWholeFile(path, &content);
  RealFileSystem().RemoveFile(path);
  return content;
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const ProcessOptions& options) {
  ProcessResult result;
  FileSystem& fs = RealFileSystem();
  std::string out_path, err_path;
  if (options.capture_output) {
    if ((result.error = fs.CreateTempFile(fs.TempFolder(), "tslout", &out_path)).failed()) {
      return result;
    }
    if ((result.error = fs.CreateTempFile(fs.TempFolder(), "tslerr", &err_path)).failed()) {
      fs.RemoveFile(out_path);
      return result;
    }
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(
      &actions, 0, options.stdin_file.empty() ? "/dev/null" : options.stdin_file.c_str(), O_RDONLY,
      0);
  if (options.capture_output) {
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_TRUNC, 0);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_TRUNC, 0);
  }
  if (!options.working_folder.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, options.working_folder.c_str());
  }

  std::vector<std::string> env = ChildEnvironment(options);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> args_copy{program};
  args_copy.insert(args_copy.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& a : args_copy) argv.push_back(a.data());
  argv.push_back(nullptr);

  pid_t pid = 0;
  int rc = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    result.error = NativeError(rc);
  } else {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  if (options.capture_output) {
    result.output = TakeFile(out_path);
    result.errors = TakeFile(err_path);
  }
  return result;
}

std::string HostPath(const std::string& path) { return path; }

}  // namespace tsl

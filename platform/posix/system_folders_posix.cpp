#include <pwd.h>
#include <unistd.h>

#include <vector>

#include "platform/environment.h"
#include "platform/system_folders.h"

namespace tsl {
namespace {

std::string HomeFolder() {
  std::optional<std::string> home = GetEnvironmentValue("HOME");
  if (home && !home->empty()) return *home;
  const passwd* entry = ::getpwuid(::getuid());
  return entry && entry->pw_dir ? entry->pw_dir : "";
}

}  // namespace

std::string ProgramFilePath() {
  std::vector<char> buffer(4096);
  ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  return n > 0 ? std::string(buffer.data(), static_cast<std::size_t>(n)) : std::string();
}

std::string UserDataFolder() {
  std::optional<std::string> data = GetEnvironmentValue("XDG_DATA_HOME");
  if (data && !data->empty() && (*data)[0] == '/') return *data + "/tessaline";
  std::string home = HomeFolder();
  if (home.empty()) return "";
  return home + "/.local/share/tessaline";
}

// What a run leaves for later (the undo script of file replace) is state in the XDG sense: kept
// between runs, not worth a backup. A relative XDG_STATE_HOME is ignored, as the XDG rules ask.
std::string DefaultWorkFolder(const std::string&) {
  std::optional<std::string> state = GetEnvironmentValue("XDG_STATE_HOME");
  if (state && !state->empty() && (*state)[0] == '/') return *state + "/tessaline";
  std::string home = HomeFolder();
  if (home.empty()) return "";
  return home + "/.local/state/tessaline";
}

}  // namespace tsl

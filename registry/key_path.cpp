#include "registry/key_path.h"

#include <array>
#include <string_view>

#include "platform/code_page.h"
#include "platform/environment.h"
#include "registry/registry_access.h"
#include "resources/string_table.h"

namespace tsl {
namespace {

constexpr std::string_view kMarkerOpening = "%%ENVVAR=";
constexpr std::string_view kMarkerClosing = "%%";
constexpr std::size_t kMaxVariableValue = 10240;

// The position of the next marker opening at or after `from`, ignoring letter case.
std::size_t FindMarker(const std::string& text, std::size_t from) {
  for (std::size_t at = text.find("%%", from); at != std::string::npos;
       at = text.find("%%", at + 1)) {
    if (cp::StartsWithIgnoreCase(std::string_view(text).substr(at), kMarkerOpening)) return at;
  }
  return std::string::npos;
}

// The text after the first `\` of `text`; empty when it has none.
std::string AfterFirstSeparator(std::string_view text) {
  std::size_t separator = text.find('\\');
  return separator == std::string_view::npos ? std::string()
                                             : std::string(text.substr(separator + 1));
}

// Whether `text` starts with the root name `name` as a whole element: followed by `\` or the end.
// (A bare prefix test would take "HKEY_USERSX\a" for HKEY_USERS.)
bool StartsWithRoot(std::string_view text, std::string_view name) {
  return text.substr(0, name.size()) == name &&
         (text.size() == name.size() || text[name.size()] == '\\');
}

// The remote form `machine\ROOT\subkey` (the two backslashes already removed): only the
// local-machine and users roots can be reached on another machine.
ParsedKeyPath ParseRemotePath(RegistryAccess& registry, std::string_view text) {
  ParsedKeyPath parsed;
  std::size_t separator = text.find('\\');
  if (separator == std::string_view::npos) return parsed;
  std::string machine = "\\\\" + std::string(text.substr(0, separator));
  std::string_view rest = text.substr(separator + 1);
  for (reg::Root root : {reg::Root::kLocalMachine, reg::Root::kUsers}) {
    if (!StartsWithRoot(rest, reg::RootName(root))) continue;
    if (registry.ConnectRegistry(machine, root, &parsed.root) == reg::kOk) {
      parsed.subkey = AfterFirstSeparator(rest);
    }
    return parsed;
  }
  return parsed;
}

}  // namespace

ParsedKeyPath ParseKeyPath(RegistryAccess& registry, const std::string& path) {
  std::string text = path;
  const std::string my_registry = TableText(text_id::kMyRegistry);
  if (text.compare(0, my_registry.size(), my_registry) == 0) text.erase(0, my_registry.size() + 1);
  if (text.compare(0, 2, "\\\\") == 0)
    return ParseRemotePath(registry, std::string_view(text).substr(2));

  ExpandEnvironmentMarkers(&text);
  static constexpr std::array kRoots = {reg::Root::kClassesRoot,   reg::Root::kCurrentUser,
                                        reg::Root::kLocalMachine,  reg::Root::kUsers,
                                        reg::Root::kCurrentConfig, reg::Root::kDynData};
  ParsedKeyPath parsed;
  for (reg::Root root : kRoots) {
    if (StartsWithRoot(text, reg::RootName(root))) {
      parsed.root = reg::Key(root);
      parsed.subkey = AfterFirstSeparator(text);
      break;
    }
  }
  return parsed;
}

void ExpandEnvironmentMarkers(std::string* text) {
  if (text->find(kMarkerClosing) == std::string::npos) return;
  std::string result;
  std::size_t scanned = 0;
  for (std::size_t marker = FindMarker(*text, 0); marker != std::string::npos;
       marker = FindMarker(*text, scanned)) {
    result.append(*text, scanned, marker - scanned);
    std::size_t name_start = marker + kMarkerOpening.size();
    std::size_t closing = text->find(kMarkerClosing, name_start);
    if (closing == std::string::npos) {
      // An opening without its closing is dropped; the rest stays as written.
      scanned = name_start;
      break;
    }
    std::string value =
        GetEnvironmentValue(text->substr(name_start, closing - name_start)).value_or("");
    result.append(value, 0, kMaxVariableValue);
    scanned = closing + kMarkerClosing.size();
  }
  result.append(*text, scanned);
  *text = std::move(result);
}

}  // namespace tsl

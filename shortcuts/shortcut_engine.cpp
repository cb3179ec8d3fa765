// The shortcut engine. Links are reached through LinkAccess; the tracking switch edits the link
// file itself through the codec, one bit of one byte, and only in whole shell links.
#include "shortcuts/shortcut_engine.h"

#include <cstdio>
#include <functional>
#include <memory>

#include "platform/code_page.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "services/file_list.h"
#include "services/replace_confirmation.h"
#include "services/result_lines.h"
#include "shortcuts/drive_map.h"
#include "shortcuts/shell_link.h"

namespace tsl {
namespace {

constexpr const char kFailedToLoad[] = "\nFailed to load shortcut.";

bool IsInternetShortcut(const std::string& path) {
  return path.size() >= 4 &&
         cp::EqualsIgnoreCase(std::string_view(path).substr(path.size() - 4), ".url");
}

std::string LoadMessage(LinkLoad load) {
  switch (load) {
    case LinkLoad::kOutOfMemory:
      return "\nOut of memory.";
    case LinkLoad::kGeneralFailure:
      return kFailedToLoad;
    default:
      return "";
  }
}

// `%NAME%` references replaced by the variables' values (an undefined one by nothing); a `%`
// without its partner leaves the path as it was.
std::string ExpandVariables(const std::string& path) {
  std::string out;
  std::string::size_type at = 0;
  while (at < path.size()) {
    std::string::size_type open = path.find('%', at);
    if (open == std::string::npos) {
      out += path.substr(at);
      break;
    }
    std::string::size_type close = path.find('%', open + 1);
    if (close == std::string::npos) return path;
    out += path.substr(at, open - at);
    if (std::optional<std::string> value =
            GetEnvironmentValue(path.substr(open + 1, close - open - 1))) {
      out += *value;
    }
    at = close + 1;
  }
  return out;
}

// A message without its leading LF and blanks, a blank and the value between the hit markers.
std::string ShownLine(const std::string& message, const std::string& value) {
  std::string::size_type first = message.find_first_not_of("\n ");
  std::string text = first == std::string::npos ? "" : message.substr(first);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text + " " + HitText(value);
}

std::vector<std::string> SplitIgnoreList(const std::string& text) {
  std::vector<std::string> pieces;
  std::string::size_type at = 0;
  while (true) {
    std::string::size_type bar = text.find('|', at);
    std::string piece = text.substr(at, bar == std::string::npos ? std::string::npos : bar - at);
    // An empty piece would be found in every target.
    if (!piece.empty()) pieces.push_back(cp::ToUpper(piece));
    if (bar == std::string::npos) break;
    at = bar + 1;
  }
  return pieces;
}

}  // namespace

ShortcutEngine::ShortcutEngine(const ShortcutAction& action, LinkAccess& links,
                               std::string drive_map)
    : action_(action),
      mode_(ShortcutJobMode(action)),
      links_(links),
      drive_map_(std::move(drive_map)),
      search_(cp::ToUpper(action.search)),
      ignore_(SplitIgnoreList(action.ignore_list)) {}

int ShortcutEngine::ReplaceInField(std::string* field, const std::string& search,
                                   const std::string& replace) {
  if (search.empty()) return 0;
  const std::string upper = cp::ToUpper(*field);
  if (search.back() == '\\' && upper.size() + 1 == search.size() &&
      search.compare(0, upper.size(), upper) == 0) {
    *field = replace;
    if (!field->empty() && field->back() == '\\') field->pop_back();
    return 1;
  }
  int count = 0;
  std::string out;
  std::string::size_type at = 0;
  for (std::string::size_type hit = upper.find(search); hit != std::string::npos;
       hit = upper.find(search, at)) {
    out += field->substr(at, hit - at);
    out += replace;
    at = hit + search.size();
    ++count;
  }
  if (count == 0) return 0;
  out += field->substr(at);
  *field = std::move(out);
  return count;
}

std::string ShortcutEngine::LocalPath(const std::string& path) const {
  if (NativePathStyle() == PathStyle::kWindows || !IsWindowsPath(path)) return path;
  return MapWindowsPath(path, drive_map_).value_or("");
}

bool ShortcutEngine::Exists(const std::string& path, bool folder_too) const {
  std::string expanded = ExpandVariables(path);
  if (expanded.size() < 4) return true;
  if (expanded.back() == '\\') expanded.pop_back();
  std::string local = LocalPath(expanded);
  std::uint32_t attributes = 0;
  if (local.empty() || Files().GetAttributes(local, &attributes).failed()) return false;
  return folder_too || (attributes & attr::kDirectory) == 0;
}

bool ShortcutEngine::FileOrFolderExists(const std::string& path) const {
  return Exists(path, true);
}
bool ShortcutEngine::FileExists(const std::string& path) const { return Exists(path, false); }

bool ShortcutEngine::Ignored(const std::string& target) const {
  std::string upper = cp::ToUpper(target);
  for (const std::string& piece : ignore_) {
    if (upper.find(piece) != std::string::npos) return true;
  }
  return false;
}

// The icon the link shows: its own location, else the icon extractor's; when the icon file
// offers no icon, the target's first icon, the target then being the icon file.
bool ShortcutEngine::IconLocation(std::string* file, int* index) {
  if (!links_.GetIconLocation(file, index)) return false;
  if (file->empty() && !links_.ExtractorIconLocation(file, index)) return false;
  if (file->empty()) return false;
  if (*file != "*" && links_.IconCount(LocalPath(ExpandVariables(*file))) == 0) {
    std::string target;
    if (links_.GetPath(&target) && !target.empty() &&
        links_.IconCount(LocalPath(ExpandVariables(target))) > 0) {
      *file = target;
      *index = 0;
    }
  }
  return true;
}

bool ShortcutEngine::Confirm(const std::string& path, const std::string& changed,
                             const std::string& found, const std::string& new_value,
                             const std::string& old_value) {
  if (cancelled_ || link_answer_ == LinkAnswer::kSkip) return false;
  if (link_answer_ == LinkAnswer::kAccept || !action_.prompt || accept_all_) return true;
  if (folder_answer_ == FolderAnswer::kAccept) return true;
  std::string shown = UnmarkedLine(ShownLine(changed, new_value)) + "\n" +
                      UnmarkedLine(ShownLine(found, old_value));
  switch (AskReplaceConfirmation(path, shown)) {
    case kReplaceThis:
      return true;
    case kSkipThis:
      return false;
    case kReplaceRestInFile:
      link_answer_ = LinkAnswer::kAccept;
      return true;
    case kSkipRestOfFile:
      link_answer_ = LinkAnswer::kSkip;
      return false;
    case kReplaceRestInFolder:
      folder_answer_ = FolderAnswer::kAccept;
      answer_folder_ = FolderPart(path, NativePathStyle());
      link_answer_ = LinkAnswer::kAccept;
      return true;
    case kSkipRestInFolder:
      folder_answer_ = FolderAnswer::kSkip;
      answer_folder_ = FolderPart(path, NativePathStyle());
      link_answer_ = LinkAnswer::kSkip;
      return false;
    case kReplaceAllRemaining:
      accept_all_ = true;
      return true;
    case kCancelRemaining:
      break;
  }
  cancelled_ = true;
  return false;
}

ShortcutFinding ShortcutEngine::Process(const std::string& path) {
  switch (mode_) {
    case ShortcutMode::kTracking:
    case ShortcutMode::kNonTracking:
      return Track(path);
    case ShortcutMode::kReplace:
      return Replace(path);
    case ShortcutMode::kCheck:
      break;
  }
  if (IsInternetShortcut(path)) return {"", true};
  LinkLoad load = links_.Load(path);
  if (load != LinkLoad::kOk) return {LoadMessage(load), false};
  return Check();
}

ShortcutFinding ShortcutEngine::Replace(const std::string& path) {
  link_answer_ = LinkAnswer::kNone;
  if (folder_answer_ != FolderAnswer::kNone &&
      FolderPart(path, NativePathStyle()) != answer_folder_) {
    folder_answer_ = FolderAnswer::kNone;
  }
  if (folder_answer_ == FolderAnswer::kSkip) return {};
  if (IsInternetShortcut(path)) return {"", true};
  LinkLoad load = links_.Load(path);
  if (load != LinkLoad::kOk) return {LoadMessage(load), false};
  std::string target;
  if (!links_.GetPath(&target)) return {"", true};
  if (Ignored(target)) return {"\nDid not change target. New target not found: " + HitText(target)};

  const bool check = action_.check_before_replace;
  const std::string& replace = action_.replace;
  std::string text;
  bool changed = false;
  // Puts a change to the user and records its message.
  auto decide = [&](const char* changed_message, const char* found_message,
                    const std::string& new_value, const std::string& old_value,
                    const std::function<bool()>& apply) {
    if (Confirm(path, changed_message, found_message, new_value, old_value) && apply()) {
      changed = true;
      text += changed_message + HitText(new_value);
    } else {
      text += found_message + HitText(new_value);
    }
  };
  // A value the shell link object could not hold is never put in.
  auto fits = [](const std::string& value) { return value.size() <= kMaxLinkField; };

  std::string old_value;
  if (links_.GetWorkingFolder(&old_value)) {
    std::string value = old_value;
    if (ReplaceInField(&value, search_, replace) > 0 && fits(value) &&
        (!check || FileOrFolderExists(value))) {
      decide("\nChanged starting path:", "\nFound starting path:", value, old_value,
             [&] { return links_.SetWorkingFolder(value); });
    }
  }
  if (links_.GetArguments(&old_value)) {
    std::string value = old_value;
    if (ReplaceInField(&value, search_, replace) > 0 && fits(value)) {
      decide("\nChanged arguments: ", "\nFound arguments: ", value, old_value,
             [&] { return links_.SetArguments(value); });
    }
  }
  int index = 0;
  if (IconLocation(&old_value, &index)) {
    std::string value = old_value;
    if (ReplaceInField(&value, search_, replace) > 0 && fits(value) &&
        (!check || value == "*" || FileExists(value))) {
      decide("\nChanged icon location:", "\nFound icon location:", value, old_value, [&] {
        int count = links_.IconCount(LocalPath(ExpandVariables(value)));
        return links_.SetIconLocation(value, index >= 0 && index < count ? index : 0);
      });
    }
  }
  std::string value = target;
  if (ReplaceInField(&value, search_, replace) > 0 && fits(value) &&
      (!check || FileOrFolderExists(value))) {
    decide("\nChanged target: ", "\nFound target: ", value, target,
           [&] { return links_.SetPath(value); });
  }
  // The Changed lines would otherwise claim what the file does not hold.
  if (changed && !links_.Save()) text += "\nFailed to save shortcut; it was left as it was.";
  return {text, true};
}

ShortcutFinding ShortcutEngine::Check() {
  std::string target;
  bool have_target = links_.GetPath(&target);
  if (have_target && Ignored(target)) return {};
  if (!have_target) return {"\nCould not load path for shortcut. File may be corrupt", true};
  std::string text;
  if (!FileOrFolderExists(target)) text += "\nTarget not found: " + HitText(target);
  std::string value;
  if (!links_.GetWorkingFolder(&value)) {
    text += "\nCould not get working dir.  File may be corrupt.";
  } else if (!FileOrFolderExists(value)) {  // empty or short folders count as existing
    text += "\nWorking Dir not found: " + HitText(value);
  }
  if (!links_.GetDescription(&value)) text += "\nCould not get description.  File may be corrupt.";
  if (!links_.GetArguments(&value)) text += "\nCould not get arguments.  File may be corrupt.";
  std::uint16_t hot_key = 0;
  if (!links_.GetHotKey(&hot_key)) text += "\nCould not get hot key.  File may be corrupt.";
  int show = 0;
  if (!links_.GetShowCommand(&show)) text += "\nCould not get command line.  File may be corrupt.";
  if (!text.empty()) {
    int index = 0;
    if (!IconLocation(&value, &index)) {
      text += "\nCould not get icon.  A default icon is used.";
    } else if (value != "*" && !FileExists(value)) {
      text += "\nIcon file not found: " + HitText(value);
    }
  }
  return {text, true};
}

ShortcutFinding ShortcutEngine::Track(const std::string& path) {
  if (IsInternetShortcut(path)) return {kFailedToLoad, false};
  const bool tracking = mode_ == ShortcutMode::kTracking;
  switch (SetLinkTracking(path, !tracking)) {
    case TrackingChange::kNotALink:
      return {kFailedToLoad, false};
    case TrackingChange::kUnchanged:
      return {};
    case TrackingChange::kLocal:
      return {action_.show_all ? "Local shortcut was ignored" : ""};
    case TrackingChange::kChanged:
      return {tracking ? "Shortcut was made tracking" : "Shortcut was made non-tracking", true};
    case TrackingChange::kWriteFailed:
      break;
  }
  return {"\nFailed to save shortcut; it was left as it was."};
}

ShortcutRunResult RunShortcutAction(const ShortcutAction& action, JobServices& services,
                                    const ShortcutEnvironment& environment) {
  ShortcutRunResult result;
  bool own_cancel = false;
  bool* cancel = environment.cancel ? environment.cancel : &own_cancel;
  const char kGathering[] = "Gathering File List";
  std::unique_ptr<JobProgress> progress;
  if (action.show_progress) progress = services.OpenProgress(1000, cancel, kGathering);

  FileList files(services);
  FileListOptions options;
  options.subfolders = action.subfolders;
  options.progress = progress.get();
  options.cancel = cancel;
  files.BuildOne(action.folder, action.mask, options);
  if (progress) progress->SetText(kGathering);

  std::unique_ptr<ReportOutput> output;
  if (!action.output.empty()) output = services.OpenOutput(action.output, action.append);
  ResultLineWriter writer(output.get());

  std::unique_ptr<LinkAccess> own_links;
  LinkAccess* links = environment.links;
  if (links == nullptr) {
    own_links = MakeLinkAccess();
    links = own_links.get();
  }
  ShortcutEngine engine(action, *links, environment.drive_map);
  const ShortcutMode mode = ShortcutJobMode(action);
  // Nothing can be put in place of an empty text: refused, not looped over.
  const bool refused =
      mode == ShortcutMode::kReplace && action.search.empty() && !action.replace.empty();
  if (refused) {
    writer.Write(
        MessageLine("The search text is empty: the replace text was not put into any "
                    "shortcut"));
  }

  const std::size_t count = refused ? 0 : files.size();
  for (std::size_t i = 0; i < count; ++i) {
    const std::string& path = files[i].path;
    if (progress) {
      progress->SetText(path);
      progress->SetPosition(static_cast<std::int64_t>(i * 1000 / count));
    }
    if (*cancel) {
      result.cancelled = true;
      break;
    }
    ShortcutFinding finding = engine.Process(path);
    std::string& text = finding.text;
    if (text.empty() && action.show_all && finding.examined) {
      text = mode == ShortcutMode::kReplace ? "No occurrences found!"
             : IsInternetShortcut(path)     ? "Internet Shortcut appears valid.  URL not checked."
                                            : "Shortcut is valid";
    }
    if (!text.empty()) {
      ++result.reported;
      writer.Write(FileLine(path));
      std::string::size_type at = 0;
      while (true) {
        std::string::size_type lf = text.find('\n', at);
        writer.Write(std::string_view(text).substr(at, lf == std::string::npos ? lf : lf - at));
        if (lf == std::string::npos) break;
        at = lf + 1;
      }
    }
    if (engine.cancelled()) {
      result.cancelled = true;
      break;
    }
  }

  result.files = files.files_found();
  result.folders = files.folders_walked();
  char summary[96];
  std::snprintf(summary, sizeof summary, "Found %lld files in %lld directories",
                static_cast<long long>(result.files), static_cast<long long>(result.folders));
  std::string line = summary;
  if (result.reported == 0) {
    line += mode == ShortcutMode::kCheck ? " - All shortcuts are valid"
                                         : " - Text not found in any shortcuts";
  }
  writer.Write(SummaryLine(line));
  if (output) output->Close();
  if (progress) progress->Close();
  return result;
}

}  // namespace tsl

#include "services/folder_walker.h"

#include <algorithm>
#include <type_traits>
#include <utility>

#include "platform/paths.h"

namespace tsl {
namespace {

bool HasUnusualByte(std::string_view name) {
  for (char c : name) {
    if (c == '\n' || c == '\r' || (c >= 1 && c <= 8)) return true;
  }
  return false;
}

// What the walk does with one listing entry, before the folder to skip is looked at.
enum class Rule { kFile, kEnter, kPassOver, kSilent, kLinkToFolder, kSpecial, kUnusualName };

Rule RuleFor(const DirEntry& entry, const WalkOptions& options) {
  if (entry.is_folder()) {
    if (!options.subfolders || entry.name.empty() || entry.name[0] == '.') return Rule::kPassOver;
    if (options.odd_entries_apart && HasUnusualByte(entry.name)) return Rule::kUnusualName;
    if (IsLinkToFolder(entry)) return Rule::kLinkToFolder;
    return Rule::kEnter;
  }
  if (!options.odd_entries_apart) return Rule::kFile;
  if (HasUnusualByte(entry.name)) return Rule::kUnusualName;
  if (IsCopyTemporaryName(entry.name)) return Rule::kSilent;
  if (entry.special) return Rule::kSpecial;
  return Rule::kFile;
}

}  // namespace

bool IsLinkToFolder(const DirEntry& entry) {
  return entry.is_folder() && (entry.link || (entry.attributes & attr::kReparsePoint));
}

FolderWalker::FolderWalker(const std::string& root, WalkOptions options)
    : options_(std::move(options)), path_(WithClosingSeparator(root, NativePathStyle())) {
  root_length_ = path_.size();
}

// Lists the folder named by path_ onto the stack and makes the step a kFolder.
void FolderWalker::Open(const DirEntry* entry) {
  // A frame points into its parent's listing: the frames must move their listings, never copy
  // them, when the stack grows.
  static_assert(std::is_nothrow_move_constructible_v<Frame>);
  Frame frame;
  frame.length = path_.size();
  frame.entry = entry;
  error_ = SysError();
  holds_others_ = false;
  if (options_.folders_only) {
    error_ = Files().ListSubfolders(path_, &frame.entries, &holds_others_);
  } else {
    error_ = Files().ListFolder(path_, &frame.entries);
  }
  if (error_.failed()) frame.entries.clear();
  stack_.push_back(std::move(frame));
  step_ = WalkStep::kFolder;
  entry_ = entry;
}

bool FolderWalker::Next() {
  if (!started_) {
    started_ = true;
    Open(nullptr);
    return true;
  }
  if (options_.cancel && *options_.cancel) return false;
  const char separator = NativeSeparator();
  while (!stack_.empty()) {
    Frame& top = stack_.back();
    if (top.next >= top.entries.size()) {
      path_.resize(top.length);
      step_ = WalkStep::kFolderDone;
      entry_ = top.entry;
      stack_.pop_back();
      return true;
    }
    const DirEntry& entry = top.entries[top.next++];
    path_.resize(top.length);
    path_ += entry.name;
    if (entry.is_folder()) path_ += separator;
    entry_ = &entry;
    switch (RuleFor(entry, options_)) {
      case Rule::kSilent:
        continue;
      case Rule::kPassOver:
        step_ = WalkStep::kPassedOver;
        return true;
      case Rule::kEnter:
        if ((options_.skip_folder && HasIdentity(path_, *options_.skip_folder)) ||
            (options_.pass_over && std::binary_search(options_.pass_over->begin(),
                                                      options_.pass_over->end(), path_))) {
          step_ = WalkStep::kPassedOver;
          return true;
        }
        Open(&entry);  // `entry` stays valid: the frames move their listings
        return true;
      case Rule::kLinkToFolder:
        step_ = WalkStep::kLinkToFolder;
        return true;
      case Rule::kUnusualName:
        step_ = WalkStep::kUnusualName;
        return true;
      case Rule::kSpecial:
        if (options_.selector && !options_.selector->Selects(path_)) continue;
        step_ = WalkStep::kSpecial;
        return true;
      case Rule::kFile:
        if (options_.selector && !options_.selector->Selects(path_)) continue;
        step_ = WalkStep::kFile;
        return true;
    }
  }
  return false;
}

}  // namespace tsl

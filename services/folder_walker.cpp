#include "services/folder_walker.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
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

// What the walk does with one listing entry, before the folder to skip is looked at. The
// walker and the helper of WalkAhead both follow it, so that the listings taken ahead are the
// ones the walk asks for.
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
  } else if (!options_.ahead || !options_.ahead->Take(path_, &frame.entries, &error_)) {
    error_ = Files().ListFolder(path_, &frame.entries);
  }
  if (error_.failed()) frame.entries.clear();
  if (feeding_) {
    // The helper hands the whole listing over and goes on with the folders alone: only they
    // lead it on, and copying every file's entry would double the work of each listing.
    std::vector<DirEntry> folders;
    for (const DirEntry& listed : frame.entries) {
      if (listed.is_folder()) folders.push_back(listed);
    }
    if (!feeding_->Hand(path_, std::move(frame.entries), error_)) {
      stack_.clear();  // the helper is told to stop
      return;
    }
    frame.entries = std::move(folders);
  }
  stack_.push_back(std::move(frame));
  step_ = WalkStep::kFolder;
  entry_ = entry;
}

bool FolderWalker::Next() {
  if (!started_) {
    started_ = true;
    Open(nullptr);
    return !stack_.empty();
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
        return !stack_.empty();
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

struct WalkAhead::Shared {
  struct Listing {
    std::string folder;
    std::vector<DirEntry> entries;
    SysError error;
  };
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Listing> listings;
  bool done = false;
  std::atomic<bool> stop{false};
};

WalkAhead::WalkAhead(const std::string& root, const WalkOptions& options)
    : shared_(std::make_shared<Shared>()) {
  WalkOptions own = options;
  own.selector = nullptr;
  own.cancel = nullptr;
  own.ahead = nullptr;
  own.folders_only = false;
  try {
    thread_ = std::thread(&WalkAhead::Walk, this, root, std::move(own));
  } catch (const std::system_error&) {
    shared_->done = true;  // no helper thread: the walker lists every folder itself
  }
}

WalkAhead::~WalkAhead() {
  shared_->stop = true;
  if (thread_.joinable()) thread_.join();
}

// The same walk as the one it runs ahead of; each listing is handed over as soon as it is
// taken, and the walk goes on from its own copy of the folders among the entries.
void WalkAhead::Walk(std::string root, WalkOptions options) {
  FolderWalker walker(root, std::move(options));
  walker.feeding_ = this;
  while (!shared_->stop && walker.Next()) {
  }
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->done = true;
  shared_->changed.notify_one();
}

bool WalkAhead::Hand(const std::string& folder, std::vector<DirEntry> entries,
                     const SysError& error) {
  Shared& shared = *shared_;
  if (shared.stop) return false;
  Shared::Listing listing{folder, std::move(entries), error};
  std::lock_guard<std::mutex> lock(shared.mutex);
  shared.listings.push_back(std::move(listing));
  shared.changed.notify_one();
  return true;
}

bool WalkAhead::Take(const std::string& folder, std::vector<DirEntry>* entries, SysError* error) {
  Shared& shared = *shared_;
  std::unique_lock<std::mutex> lock(shared.mutex);
  shared.changed.wait(lock, [&] { return !shared.listings.empty() || shared.done; });
  if (shared.listings.empty()) return false;
  Shared::Listing listing = std::move(shared.listings.front());
  shared.listings.pop_front();
  if (listing.folder != folder) {
    // Out of step (should not happen): the walker lists the rest itself.
    shared.stop = true;
    shared.listings.clear();
    return false;
  }
  *entries = std::move(listing.entries);
  *error = listing.error;
  return true;
}

}  // namespace tsl

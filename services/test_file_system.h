// A file service held in memory for the synchronization tests: folders list their entries in
// the order they were added, files have contents, and any folder can be made unreadable.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/paths.h"

namespace tsl::testing {

class MemoryFileSystem : public FileSystem {
 public:
  /// Adds a file (its folders are added as needed). Paths use the native separator.
  void AddFile(const std::string& path, const std::string& content, FileTime modified = 0,
               std::uint32_t attributes = attr::kArchive) {
    DirEntry entry;
    entry.name = NamePart(path, NativePathStyle());
    entry.attributes = attributes;
    entry.modified = entry.created = entry.accessed = modified;
    entry.size = content.size();
    Add(path, entry);
    contents_[path] = content;
  }
  void AddFolder(const std::string& path, std::uint32_t extra_attributes = 0) {
    DirEntry entry;
    entry.name = NamePart(path, NativePathStyle());
    entry.attributes = attr::kDirectory | extra_attributes;
    Add(path, entry);
  }
  void MakeUnreadable(const std::string& folder) { unreadable_.insert(Key(folder)); }
  /// Adds a pipe, socket or device: listed as `special`, and never to be opened.
  void AddSpecial(const std::string& path) {
    DirEntry entry;
    entry.name = NamePart(path, NativePathStyle());
    entry.special = true;
    Add(path, entry);
  }
  /// Adds a symbolic link to a file with these contents (listed as the file, marked as a link).
  void AddFileLink(const std::string& path, const std::string& content) {
    AddFile(path, content);
    Entry(path)->link = true;
  }
  /// Makes `path` name the same folder as `folder` for GetIdentity (a second spelling or a link).
  void AddAlias(const std::string& path, const std::string& folder) {
    aliases_[Key(path)] = Key(folder);
  }
  /// The paths opened for reading so far.
  const std::vector<std::string>& opened() const { return opened_; }

  SysError ReadWholeFile(const std::string& path, std::string* content) override {
    auto found = contents_.find(path);
    if (found == contents_.end()) return ErrorOfKind(ErrorKind::kNotFound);
    *content = found->second;
    return {};
  }
  SysError OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>* file) override;
  SysError OpenForWriting(const std::string&, WriteMode, std::unique_ptr<WritableFile>*) override {
    return ErrorOfKind(ErrorKind::kAccessDenied);
  }
  SysError ListFolder(const std::string& folder, std::vector<DirEntry>* entries) override {
    entries->clear();
    std::string key = Key(folder);
    if (unreadable_.count(key)) return ErrorOfKind(ErrorKind::kAccessDenied);
    auto found = folders_.find(key);
    if (found == folders_.end()) return ErrorOfKind(ErrorKind::kPathNotFound);
    *entries = found->second;
    return {};
  }
  SysError ListSubfolders(const std::string& folder, std::vector<DirEntry>* folders,
                          bool* holds_others) override {
    std::vector<DirEntry> entries;
    SysError e = ListFolder(folder, &entries);
    folders->clear();
    *holds_others = false;
    for (const DirEntry& entry : entries) {
      if (entry.is_folder()) {
        folders->push_back(entry);
      } else {
        *holds_others = true;
      }
    }
    return e;
  }
  SysError GetEntry(const std::string&, DirEntry*) override {
    return ErrorOfKind(ErrorKind::kNotFound);
  }
  /// Each folder or file is identified by its path with `.` and `..` resolved and aliases
  /// followed; a path that names nothing is kNotFound.
  SysError GetIdentity(const std::string& path, FileIdentity* identity) override {
    std::string resolved = Resolve(path);
    if (!folders_.count(resolved) && !contents_.count(resolved)) {
      return ErrorOfKind(ErrorKind::kNotFound);
    }
    identity->volume = 1;
    identity->index = std::hash<std::string>()(resolved);
    return {};
  }
  SysError GetAttributes(const std::string&, std::uint32_t*) override {
    return ErrorOfKind(ErrorKind::kNotFound);
  }
  SysError SetAttributes(const std::string&, std::uint32_t) override {
    return ErrorOfKind(ErrorKind::kAccessDenied);
  }
  SysError SetTimes(const std::string&, FileTime, FileTime) override {
    return ErrorOfKind(ErrorKind::kAccessDenied);
  }
  std::string CurrentFolder() override { return ""; }
  std::string TempFolder() override { return ""; }
  SysError CreateTempFile(const std::string&, const std::string&, std::string*) override {
    return ErrorOfKind(ErrorKind::kAccessDenied);
  }
  SysError RemoveFile(const std::string&) override { return ErrorOfKind(ErrorKind::kAccessDenied); }
  SysError MakeFolder(const std::string&) override { return ErrorOfKind(ErrorKind::kAccessDenied); }
  SysError RemoveFolder(const std::string&) override {
    return ErrorOfKind(ErrorKind::kAccessDenied);
  }
  SysError Rename(const std::string&, const std::string&, bool) override {
    return ErrorOfKind(ErrorKind::kAccessDenied);
  }
  SysError CopyFileKeepingTimes(const std::string&, const std::string&, CopyMode,
                                const CopyStepCheck&) override {
    return ErrorOfKind(ErrorKind::kAccessDenied);
  }

 private:
  DirEntry* Entry(const std::string& path) {
    for (DirEntry& entry : folders_[Key(FolderPart(path, NativePathStyle()))]) {
      if (entry.name == NamePart(path, NativePathStyle())) return &entry;
    }
    return nullptr;
  }
  // Resolves `.`, `..` and aliases one component at a time, as a system would.
  std::string Resolve(const std::string& path) const {
    const char separator = NativeSeparator();
    std::vector<std::string> parts;
    std::string part;
    auto flush = [&] {
      if (part == "..") {
        if (!parts.empty()) parts.pop_back();
      } else if (!part.empty() && part != ".") {
        parts.push_back(part);
        std::string joined;
        for (const std::string& p : parts) joined += separator + p;
        auto alias = aliases_.find(joined);
        if (alias != aliases_.end()) {
          parts.clear();
          std::string target = alias->second;
          std::string::size_type from = 1;
          while (from <= target.size()) {
            std::string::size_type to = target.find(separator, from);
            if (to == std::string::npos) to = target.size();
            if (to > from) parts.push_back(target.substr(from, to - from));
            from = to + 1;
          }
        }
      }
      part.clear();
    };
    for (char c : path) {
      if (c == separator) {
        flush();
      } else {
        part += c;
      }
    }
    flush();
    std::string resolved;
    for (const std::string& p : parts) resolved += separator + p;
    return resolved.empty() ? std::string(1, separator) : resolved;
  }
  static std::string Key(const std::string& folder) {
    std::string key = folder;
    while (key.size() > 1 && EndsWithSeparator(key, NativePathStyle())) key.pop_back();
    return key;
  }
  // Adds the entry and, iteratively, every missing folder above it.
  void Add(const std::string& path, const DirEntry& entry) {
    std::vector<std::string> missing;
    for (std::string parent = Key(FolderPart(path, NativePathStyle()));
         !folders_.count(parent) && parent.size() > 1 &&
         !FolderPart(parent, NativePathStyle()).empty();
         parent = Key(FolderPart(parent, NativePathStyle()))) {
      missing.push_back(parent);
    }
    for (auto folder = missing.rbegin(); folder != missing.rend(); ++folder) {
      DirEntry folder_entry;
      folder_entry.name = NamePart(*folder, NativePathStyle());
      folder_entry.attributes = attr::kDirectory;
      folders_[Key(FolderPart(*folder, NativePathStyle()))].push_back(folder_entry);
      folders_[*folder];
    }
    folders_[Key(FolderPart(path, NativePathStyle()))].push_back(entry);
    if (entry.is_folder()) folders_[Key(path)];
  }

  std::map<std::string, std::vector<DirEntry>> folders_;
  std::map<std::string, std::string> contents_;
  std::set<std::string> unreadable_;
  std::map<std::string, std::string> aliases_;
  std::vector<std::string> opened_;
};

class MemoryReadableFile : public ReadableFile {
 public:
  explicit MemoryReadableFile(std::string content) : content_(std::move(content)) {}
  SysError Read(void* buffer, std::size_t size, std::size_t* got) override {
    *got = std::min(size, content_.size() - at_);
    std::copy(content_.begin() + at_, content_.begin() + at_ + *got, static_cast<char*>(buffer));
    at_ += *got;
    return {};
  }
  std::uint64_t Size() const override { return content_.size(); }
  SysError Seek(std::uint64_t offset) override {
    at_ = std::min<std::size_t>(offset, content_.size());
    return {};
  }

 private:
  std::string content_;
  std::size_t at_ = 0;
};

inline SysError MemoryFileSystem::OpenForReading(const std::string& path,
                                                 std::unique_ptr<ReadableFile>* file) {
  opened_.push_back(path);
  auto found = contents_.find(path);
  if (found == contents_.end()) return ErrorOfKind(ErrorKind::kNotFound);
  *file = std::make_unique<MemoryReadableFile>(found->second);
  return {};
}

}  // namespace tsl::testing

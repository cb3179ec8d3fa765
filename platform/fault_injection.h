// A file service for tests that fails chosen operations of another one.
//
// Every call counts as one operation: the calls of FileSystem and those of the files it opened
// (each Read, Write, Flush and Close), and each step of a copy (see CopyStep), so that a copy can
// fail half-way, in the real file service's own code. FailAt(k, ...) makes the k-th operation
// (1-based) fail with the given error, once or on every operation from then on. A test runs a job
// with k = 1, 2, ... until the job completes without reaching k, and checks after each run that
// nothing was lost.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace tsl {

/// "Copy:" and the step's name, as the operation log writes a copy's steps.
const char* CopyStepName(CopyStep step);

class FaultInjectingFileSystem : public FileSystem {
 public:
  explicit FaultInjectingFileSystem(FileSystem& inner) : inner_(inner) {}

  /// Fails operation number `k` (1-based) with `error`; with `persistent`, every operation after
  /// it fails too. k = 0 fails nothing.
  void FailAt(std::int64_t k, ErrorKind error, bool persistent = false);

  /// The number of operations so far.
  std::int64_t operations() const { return count_; }
  /// True once the chosen operation has been reached (and failed).
  bool fired() const { return fired_; }
  /// The operations as "Name path" lines, for messages of failing tests.
  const std::vector<std::string>& log() const { return log_; }

  /// Counts one operation and says how it must end: ok, or the injected error.
  SysError Next(const char* operation, const std::string& path);

  SysError ReadWholeFile(const std::string& path, std::string* content) override;
  SysError OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>* file) override;
  SysError OpenForWriting(const std::string& path, WriteMode mode,
                          std::unique_ptr<WritableFile>* file) override;
  SysError ListFolder(const std::string& folder, std::vector<DirEntry>* entries) override;
  SysError ListSubfolders(const std::string& folder, std::vector<DirEntry>* folders,
                          bool* holds_others) override;
  SysError GetEntry(const std::string& path, DirEntry* entry) override;
  /// Not counted: it only asks which file a path names.
  SysError GetIdentity(const std::string& path, FileIdentity* identity) override {
    return inner_.GetIdentity(path, identity);
  }
  SysError GetAttributes(const std::string& path, std::uint32_t* attributes) override;
  SysError SetAttributes(const std::string& path, std::uint32_t attributes) override;
  SysError SetTimes(const std::string& path, FileTime accessed, FileTime modified) override;
  std::string CurrentFolder() override { return inner_.CurrentFolder(); }
  std::string TempFolder() override { return inner_.TempFolder(); }
  SysError CreateTempFile(const std::string& folder, const std::string& prefix,
                          std::string* path) override;
  SysError RemoveFile(const std::string& path) override;
  SysError MakeFolder(const std::string& path) override;
  SysError RemoveFolder(const std::string& path) override;
  SysError Rename(const std::string& from, const std::string& to, bool replace) override;
  SysError CopyFileKeepingTimes(const std::string& from, const std::string& to, CopyMode mode,
                                const CopyStepCheck& check) override;

 private:
  FileSystem& inner_;
  std::int64_t count_ = 0;
  std::int64_t fail_at_ = 0;
  SysError error_;
  bool persistent_ = false;
  bool fired_ = false;
  std::vector<std::string> log_;
};

}  // namespace tsl

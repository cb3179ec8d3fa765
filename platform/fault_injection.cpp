#include "platform/fault_injection.h"

namespace tsl {
namespace {

class FaultyReadableFile : public ReadableFile {
 public:
  FaultyReadableFile(FaultInjectingFileSystem& owner, std::unique_ptr<ReadableFile> inner,
                     std::string path)
      : owner_(owner), inner_(std::move(inner)), path_(std::move(path)) {}

  SysError Read(void* buffer, std::size_t size, std::size_t* got) override {
    *got = 0;
    if (SysError e = owner_.Next("Read", path_); e.failed()) return e;
    return inner_->Read(buffer, size, got);
  }
  std::uint64_t Size() const override { return inner_->Size(); }
  SysError Seek(std::uint64_t offset) override {
    if (SysError e = owner_.Next("Seek", path_); e.failed()) return e;
    return inner_->Seek(offset);
  }

 private:
  FaultInjectingFileSystem& owner_;
  std::unique_ptr<ReadableFile> inner_;
  std::string path_;
};

class FaultyWritableFile : public WritableFile {
 public:
  FaultyWritableFile(FaultInjectingFileSystem& owner, std::unique_ptr<WritableFile> inner,
                     std::string path)
      : owner_(owner), inner_(std::move(inner)), path_(std::move(path)) {}

  SysError Write(const void* data, std::size_t size) override {
    if (SysError e = owner_.Next("Write", path_); e.failed()) return e;
    return inner_->Write(data, size);
  }
  SysError Flush() override {
    if (SysError e = owner_.Next("Flush", path_); e.failed()) return e;
    return inner_->Flush();
  }
  // A failed close still releases the file, as a real one does.
  SysError Close() override {
    SysError injected = owner_.Next("Close", path_);
    SysError closed = inner_->Close();
    return injected.failed() ? injected : closed;
  }

 private:
  FaultInjectingFileSystem& owner_;
  std::unique_ptr<WritableFile> inner_;
  std::string path_;
};

}  // namespace

const char* CopyStepName(CopyStep step) {
  switch (step) {
    case CopyStep::kOpenSource:
      return "Copy:OpenSource";
    case CopyStep::kCreateTemporary:
      return "Copy:CreateTemporary";
    case CopyStep::kCopyData:
      return "Copy:CopyData";
    case CopyStep::kKeepAttributes:
      return "Copy:KeepAttributes";
    case CopyStep::kKeepTimes:
      return "Copy:KeepTimes";
    case CopyStep::kSync:
      return "Copy:Sync";
    case CopyStep::kPlace:
      return "Copy:Place";
  }
  return "Copy";
}

void FaultInjectingFileSystem::FailAt(std::int64_t k, ErrorKind error, bool persistent) {
  fail_at_ = k;
  error_ = ErrorOfKind(error);
  persistent_ = persistent;
  fired_ = false;
  count_ = 0;
  log_.clear();
}

SysError FaultInjectingFileSystem::Next(const char* operation, const std::string& path) {
  ++count_;
  log_.push_back(std::string(operation) + " " + path);
  if (fail_at_ > 0 && (count_ == fail_at_ || (persistent_ && count_ > fail_at_))) {
    fired_ = true;
    log_.back() += "  <- fails";
    return InContext(error_, operation, path);
  }
  return {};
}

SysError FaultInjectingFileSystem::ReadWholeFile(const std::string& path, std::string* content) {
  if (SysError e = Next("ReadWholeFile", path); e.failed()) return e;
  return inner_.ReadWholeFile(path, content);
}

SysError FaultInjectingFileSystem::OpenForReading(const std::string& path,
                                                  std::unique_ptr<ReadableFile>* file) {
  if (SysError e = Next("OpenForReading", path); e.failed()) return e;
  std::unique_ptr<ReadableFile> inner;
  if (SysError e = inner_.OpenForReading(path, &inner); e.failed()) return e;
  *file = std::make_unique<FaultyReadableFile>(*this, std::move(inner), path);
  return {};
}

SysError FaultInjectingFileSystem::OpenForWriting(const std::string& path, WriteMode mode,
                                                  std::unique_ptr<WritableFile>* file) {
  if (SysError e = Next("OpenForWriting", path); e.failed()) return e;
  std::unique_ptr<WritableFile> inner;
  if (SysError e = inner_.OpenForWriting(path, mode, &inner); e.failed()) return e;
  *file = std::make_unique<FaultyWritableFile>(*this, std::move(inner), path);
  return {};
}

SysError FaultInjectingFileSystem::ListFolder(const std::string& folder,
                                              std::vector<DirEntry>* entries) {
  if (SysError e = Next("ListFolder", folder); e.failed()) return e;
  return inner_.ListFolder(folder, entries);
}

SysError FaultInjectingFileSystem::ListSubfolders(const std::string& folder,
                                                  std::vector<DirEntry>* folders,
                                                  bool* holds_others) {
  if (SysError e = Next("ListSubfolders", folder); e.failed()) return e;
  return inner_.ListSubfolders(folder, folders, holds_others);
}

SysError FaultInjectingFileSystem::GetEntry(const std::string& path, DirEntry* entry) {
  if (SysError e = Next("GetEntry", path); e.failed()) return e;
  return inner_.GetEntry(path, entry);
}

SysError FaultInjectingFileSystem::GetAttributes(const std::string& path,
                                                 std::uint32_t* attributes) {
  if (SysError e = Next("GetAttributes", path); e.failed()) return e;
  return inner_.GetAttributes(path, attributes);
}

SysError FaultInjectingFileSystem::SetAttributes(const std::string& path,
                                                 std::uint32_t attributes) {
  if (SysError e = Next("SetAttributes", path); e.failed()) return e;
  return inner_.SetAttributes(path, attributes);
}

SysError FaultInjectingFileSystem::SetTimes(const std::string& path, FileTime accessed,
                                            FileTime modified) {
  if (SysError e = Next("SetTimes", path); e.failed()) return e;
  return inner_.SetTimes(path, accessed, modified);
}

SysError FaultInjectingFileSystem::CreateTempFile(const std::string& folder,
                                                  const std::string& prefix, std::string* path) {
  if (SysError e = Next("CreateTempFile", folder); e.failed()) return e;
  return inner_.CreateTempFile(folder, prefix, path);
}

SysError FaultInjectingFileSystem::RemoveFile(const std::string& path) {
  if (SysError e = Next("RemoveFile", path); e.failed()) return e;
  return inner_.RemoveFile(path);
}

SysError FaultInjectingFileSystem::MakeFolder(const std::string& path) {
  if (SysError e = Next("MakeFolder", path); e.failed()) return e;
  return inner_.MakeFolder(path);
}

SysError FaultInjectingFileSystem::RemoveFolder(const std::string& path) {
  if (SysError e = Next("RemoveFolder", path); e.failed()) return e;
  return inner_.RemoveFolder(path);
}

SysError FaultInjectingFileSystem::Rename(const std::string& from, const std::string& to,
                                          bool replace) {
  if (SysError e = Next("Rename", from + " -> " + to); e.failed()) return e;
  return inner_.Rename(from, to, replace);
}

SysError FaultInjectingFileSystem::CopyFileKeepingTimes(const std::string& from,
                                                        const std::string& to, CopyMode mode,
                                                        const CopyStepCheck& check) {
  std::string subject = from + " -> " + to;
  return inner_.CopyFileKeepingTimes(from, to, mode, [&](CopyStep step) {
    if (SysError e = Next(CopyStepName(step), subject); e.failed()) return e;
    return check ? check(step) : SysError{};
  });
}

}  // namespace tsl

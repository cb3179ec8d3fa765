// Extra data and content comparison of scanned files. Every read goes through the file service.
#include "synch/file_record.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/checksums.h"
#include "platform/code_page.h"
#include "platform/paths.h"

namespace tsl {
namespace {

constexpr std::size_t kExtraDataBlock = 64000;
constexpr std::size_t kCompareBlock = 32767;

// Fills `buffer` as far as the file goes; `*got` < size only at the end of the file.
SysError ReadFull(ReadableFile& file, char* buffer, std::size_t size, std::size_t* got) {
  *got = 0;
  while (*got < size) {
    std::size_t n = 0;
    if (SysError e = file.Read(buffer + *got, size - *got, &n); e.failed()) return e;
    if (n == 0) break;
    *got += n;
  }
  return {};
}

bool SameIgnoringCase(const char* a, const char* b, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    if (a[i] != b[i] && cp::ToUpper(static_cast<unsigned char>(a[i])) !=
                            cp::ToUpper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// A file read one byte at a time through a block buffer.
class ByteStream {
 public:
  bool Open(const std::string& path) { return Files().OpenForReading(path, &file_).ok(); }
  bool failed() const { return failed_; }
  // The next byte, or -1 at the end (or after a read error, which failed() then tells).
  int Peek() {
    if (at_ == size_ && !Fill()) return -1;
    return static_cast<unsigned char>(buffer_[at_]);
  }
  void Skip() { ++at_; }

 private:
  bool Fill() {
    if (failed_ || ended_) return false;
    buffer_.resize(kCompareBlock);
    if (ReadFull(*file_, buffer_.data(), buffer_.size(), &size_).failed()) failed_ = true;
    at_ = 0;
    if (size_ < buffer_.size()) ended_ = true;
    return size_ > 0 && !failed_;
  }
  std::unique_ptr<ReadableFile> file_;
  std::vector<char> buffer_;
  std::size_t size_ = 0, at_ = 0;
  bool failed_ = false, ended_ = false;
};

bool IsWhiteSpace(int c) { return c == '\r' || c == '\n' || c == ' ' || c == '\t'; }

void SkipWhiteSpace(ByteStream& s) {
  while (IsWhiteSpace(s.Peek())) s.Skip();
}

// Compares two files block by block; a cancel ends it with "not the same".
SysError CompareBlocks(const std::string& path_a, const std::string& path_b, bool ignore_case,
                       const CancelCheck& cancel, bool* same) {
  *same = false;
  std::unique_ptr<ReadableFile> a, b;
  if (SysError e = Files().OpenForReading(path_a, &a); e.failed()) return e;
  if (SysError e = Files().OpenForReading(path_b, &b); e.failed()) return e;
  std::vector<char> block_a(kCompareBlock), block_b(kCompareBlock);
  for (;;) {
    if (cancel && cancel()) return {};
    std::size_t got_a = 0, got_b = 0;
    if (SysError e = ReadFull(*a, block_a.data(), kCompareBlock, &got_a); e.failed()) return e;
    if (SysError e = ReadFull(*b, block_b.data(), kCompareBlock, &got_b); e.failed()) return e;
    if (got_a != got_b) return {};
    if (got_a == 0) {
      *same = true;
      return {};
    }
    bool equal = ignore_case
                     ? SameIgnoringCase(block_a.data(), block_b.data(), got_a)
                     : std::equal(block_a.begin(), block_a.begin() + got_a, block_b.begin());
    if (!equal) return {};
  }
}

bool BlocksEqual(const std::string& path_a, const std::string& path_b, bool ignore_case,
                 const CancelCheck& cancel) {
  bool same = false;
  return CompareBlocks(path_a, path_b, ignore_case, cancel, &same).ok() && same;
}

}  // namespace

static_assert(sizeof(void*) != 8 || sizeof(FileRecord) == 64, "a record's size is its budget");

char* RecordTexts::Room(std::size_t size) {
  // Blocks of 64 KiB, or one of its own for an entry that needs more.
  constexpr std::size_t kBlock = 64 * 1024;
  if (used_ + size > capacity_) {
    capacity_ = std::max(kBlock, size);
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(capacity_));
    used_ = 0;
  }
  char* room = blocks_.back().get() + used_;
  used_ += size;
  return room;
}

const char* RecordTexts::KeepPath(std::string_view root, std::string_view relative,
                                  const std::string_view* version) {
  if (last_root_.data() == nullptr || last_root_ != root) {
    char* kept = Room(root.size() + 1);
    std::copy(root.begin(), root.end(), kept);
    kept[root.size()] = '\0';
    last_root_ = std::string_view(kept, root.size());
  }
  const char* root_text = last_root_.data();
  std::size_t size = sizeof root_text + relative.size() + 1 + (version ? version->size() + 1 : 0);
  char* entry = Room(size);
  std::memcpy(entry, &root_text, sizeof root_text);
  char* path = entry + sizeof root_text;
  std::copy(relative.begin(), relative.end(), path);
  path[relative.size()] = '\0';
  if (version) {
    std::copy(version->begin(), version->end(), path + relative.size() + 1);
    path[relative.size() + 1 + version->size()] = '\0';
  }
  return path;
}

void RecordTexts::Clear() {
  blocks_.clear();
  used_ = capacity_ = 0;
  last_root_ = {};
}

void FileRecord::SetPath(RecordTexts& texts, std::string_view root, std::string_view relative,
                         const std::string_view* version) {
  relative_ = texts.KeepPath(root, relative, version);
  relative_length_ = static_cast<std::uint32_t>(relative.size());
  has_version_ = version != nullptr;
}

std::string_view FileRecord::Root() const {
  if (!relative_) return {};
  const char* root = nullptr;
  std::memcpy(&root, relative_ - sizeof root, sizeof root);
  return root;
}

std::string FileRecord::Path() const {
  std::string path(Root());
  path.append(RelativePath());
  return path;
}

std::string_view FileRecord::Name() const {
  std::string_view relative = RelativePath();
  std::string_view::size_type slash = relative.rfind(NativeSeparator());
  return slash == std::string_view::npos ? relative : relative.substr(slash + 1);
}

void ComputeExtraData(FileRecord& record, const ExtraDataSwitches& switches) {
  if (!switches.checksum && !switches.crc32) return;
  if ((record.size >> 63) != 0 || (record.checksum != 0 && record.crc32 != 0)) return;
  std::unique_ptr<ReadableFile> file;
  if (Files().OpenForReading(record.Path(), &file).failed()) return;
  std::vector<char> block(kExtraDataBlock);
  std::uint32_t sum = 0, crc = 0;
  for (;;) {
    std::size_t got = 0;
    if (file->Read(block.data(), block.size(), &got).failed()) return;  // keeps its zeros
    if (got == 0) break;
    if (switches.checksum) sum = ByteSumUpdate(sum, block.data(), got);
    if (switches.crc32) crc = Crc32Update(crc, block.data(), got);
  }
  if (switches.checksum) record.checksum = sum;
  if (switches.crc32) record.crc32 = crc;
}

bool CompareContents(FileRecord& a, FileRecord& b, bool ignore_case, const CancelCheck& cancel) {
  if (a.crc32 != 0 || b.crc32 != 0) {
    for (FileRecord* r : {&a, &b}) {
      if (r->crc32 == 0) ComputeExtraData(*r, {false, false, true});
    }
    return a.crc32 == b.crc32;
  }
  if (a.checksum != 0 || b.checksum != 0) {
    for (FileRecord* r : {&a, &b}) {
      if (r->checksum == 0) ComputeExtraData(*r, {false, true, false});
    }
    return a.checksum == b.checksum;
  }
  if (!BlocksEqual(a.Path(), b.Path(), ignore_case, cancel)) return false;
  a.compare_state = kIdentical;
  b.compare_state = kIdentical;
  return true;
}

SysError SameBytes(const std::string& a, const std::string& b, bool* same) {
  return CompareBlocks(a, b, false, {}, same);
}

bool CompareTextSkippingWhiteSpace(const std::string& path_a, const std::string& path_b,
                                   bool ignore_case, const CancelCheck& cancel) {
  ByteStream a, b;
  if (!a.Open(path_a) || !b.Open(path_b)) return false;
  SkipWhiteSpace(a);
  SkipWhiteSpace(b);
  std::uint64_t steps = 0;
  for (;;) {
    if ((++steps & 0xFFF) == 0 && cancel && cancel()) return false;
    int ca = a.Peek(), cb = b.Peek();
    if (ca < 0 || cb < 0) {
      // Trailing white space on the longer side is skipped like any other.
      if (ca < 0) SkipWhiteSpace(b);
      if (cb < 0) SkipWhiteSpace(a);
      return !a.failed() && !b.failed() && a.Peek() < 0 && b.Peek() < 0;
    }
    if (ca == cb || (ignore_case && cp::IsAlpha(static_cast<unsigned char>(ca)) &&
                     cp::ToUpper(static_cast<unsigned char>(ca)) ==
                         cp::ToUpper(static_cast<unsigned char>(cb)))) {
      a.Skip();
      b.Skip();
    } else if (IsWhiteSpace(ca)) {
      SkipWhiteSpace(a);
    } else if (IsWhiteSpace(cb)) {
      SkipWhiteSpace(b);
    } else {
      return false;
    }
  }
}

}  // namespace tsl

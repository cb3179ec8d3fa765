// Mask lists: `;`-separated file masks such as `*.lnk;*.url` or `*.htm;~old*.htm`, where a
// mask that begins with `~` excludes. Masks are applied to files only, in list order: an include
// mask is tried while the file is not selected, an exclude mask while it is. A mask may have a
// folder part (`sub\*.txt`, `*\sub\*.txt`, `sub\*\*.txt`) that is matched against the file's
// folder relative to the root of the enumeration.
#pragma once

#include <memory>
#include <string>

namespace tsl {

enum class MaskStyle {
  /// The file and shortcut jobs: a mask without `.` and `*` gets a `.` appended (`readme`
  /// selects the file README), and one that begins with `.` gets a `*` in front.
  kFileJobs,
  /// The synchronization job: masks are compiled as written.
  kSynchronization,
};

class MaskList {
 public:
  /// Builds the list from its text. `root` is the folder the enumeration starts from (with or
  /// without a closing separator); without a root, masks are compiled whole as name patterns.
  MaskList(const std::string& text, MaskStyle style, const std::string& root = "");
  ~MaskList();
  MaskList(MaskList&&) noexcept;
  MaskList& operator=(MaskList&&) noexcept;

  /// True when the list selects the file at `path` (a full path below the root).
  bool Selects(const std::string& path) const;

  /// True when the list holds no mask (it then selects nothing).
  bool empty() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tsl

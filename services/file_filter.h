// The date, size and attribute filter that the synchronization and file replace scripts share:
// which listed files a job takes in.
#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace tsl {

struct FileFilter {
  FileTime min_date = 0;  // UTC last-write limits; 0: not set
  FileTime max_date = 0;
  std::int64_t min_size = 0;  // byte limits; 0: not set
  std::int64_t max_size = 0;
  /// 0: the filters as given; else the date and size ranges keep what lies outside them, and
  /// the attribute rule is 1 differs from, 2 shares no bit with, 3 shares a bit with the pattern.
  std::int32_t reverse = 0;
  /// The attribute pattern (read-only 1, hidden 2, system 4, folder 16, archive 32), and the
  /// bits left out of the comparison: all five (55) switch the attribute filter off.
  std::int32_t skip_attributes = 0;
  std::int32_t ignored_attributes = 55;

  /// False when no limit is set and the attribute filter is off: every file passes.
  bool Applies() const;
  /// True when a file with these UTC last-write time, size and attributes is kept.
  bool Passes(FileTime modified_utc, std::uint64_t size, std::uint32_t attributes) const;
};

}  // namespace tsl

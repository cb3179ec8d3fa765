#include "services/file_filter.h"

#include "platform/file_system.h"

namespace tsl {
namespace {

constexpr std::uint32_t kFilterBits =
    attr::kReadOnly | attr::kHidden | attr::kSystem | attr::kDirectory | attr::kArchive;  // 55

// Whether a value lies outside the range of the normal filters (a limit of 0 is not set).
bool RejectedByRange(std::int64_t value, std::int64_t minimum, std::int64_t maximum,
                     bool reversed) {
  if (!reversed) {
    return (minimum != 0 && value < minimum) || (maximum != 0 && value > maximum);
  }
  if (minimum != 0) return value > minimum && (maximum == 0 || value < maximum);
  return maximum != 0 && value < maximum;
}

}  // namespace

bool FileFilter::Applies() const {
  return min_date != 0 || max_date != 0 || min_size != 0 || max_size != 0 ||
         ignored_attributes != 55;
}

bool FileFilter::Passes(FileTime modified_utc, std::uint64_t size,
                        std::uint32_t attributes) const {
  bool reversed = reverse != 0;
  if (RejectedByRange(modified_utc, min_date, max_date, reversed)) return false;
  if (RejectedByRange(static_cast<std::int64_t>(size), min_size, max_size, reversed)) return false;
  std::uint32_t ignored = static_cast<std::uint32_t>(ignored_attributes);
  if ((ignored & kFilterBits) == kFilterBits) return true;
  std::uint32_t a = attributes & ~ignored & kFilterBits;
  std::uint32_t skip = static_cast<std::uint32_t>(skip_attributes);
  switch (reverse) {
    case 1:
      return a == skip;
    case 2:
      return (a & skip) == 0;
    case 3:
      return (a & skip) != 0;
    default:
      return a != skip;
  }
}

}  // namespace tsl

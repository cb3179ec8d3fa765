// Local time by the rules of the TZ time zone.
#include <time.h>

#include <algorithm>

#include "platform/clock.h"

namespace tsl {
namespace {

constexpr FileTime kUnixEpoch = 116444736000000000LL;  // 1970-01-01 as a file time
constexpr FileTime kTicksPerSecond = 10000000;

// Floor division, so that times before 1970 keep their fraction positive.
FileTime FloorDiv(FileTime a, FileTime b) { return a / b - (a % b < 0 ? 1 : 0); }

// The offset of local time from UTC, in seconds, at a UTC moment.
long OffsetAt(time_t utc_seconds) {
  struct tm local;
  if (!localtime_r(&utc_seconds, &local)) return 0;
  return local.tm_gmtoff;
}

}  // namespace

FileTime CurrentFileTime() {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return kUnixEpoch + static_cast<FileTime>(now.tv_sec) * kTicksPerSecond + now.tv_nsec / 100;
}

FileTime UtcToLocal(FileTime utc) {
  time_t seconds = static_cast<time_t>(FloorDiv(utc - kUnixEpoch, kTicksPerSecond));
  return utc + static_cast<FileTime>(OffsetAt(seconds)) * kTicksPerSecond;
}

// The offset that makes local - offset map back onto local; near a change of offset the
// earlier meaning of an ambiguous local time is taken, and a local time that does not exist
// moves forward with the clock.
FileTime LocalToUtc(FileTime local) {
  time_t guess = static_cast<time_t>(FloorDiv(local - kUnixEpoch, kTicksPerSecond));
  long offset = OffsetAt(guess);
  long second_offset = OffsetAt(guess - offset);
  if (second_offset != offset) {
    long third = OffsetAt(guess - second_offset);
    offset = third == second_offset ? second_offset : std::max(offset, second_offset);
  }
  return local - static_cast<FileTime>(offset) * kTicksPerSecond;
}

CalendarTime LocalNow() {
  std::optional<CalendarTime> now = ToCalendar(UtcToLocal(CurrentFileTime()));
  return now.value_or(CalendarTime{});
}

}  // namespace tsl

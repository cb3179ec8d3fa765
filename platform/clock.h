// Time: the current time, and conversions between file times (100-ns units since 1601-01-01),
// local time and calendar dates, by the rules of the system's time zone.
#pragma once

#include <optional>

#include "platform/file_system.h"
#include "platform/locale.h"

namespace tsl {

/// The current time as a UTC file time.
FileTime CurrentFileTime();

/// A UTC file time as local time, and back (the time zone's rules for that moment).
FileTime UtcToLocal(FileTime utc);
FileTime LocalToUtc(FileTime local);

/// A file time as a calendar date and time, without any time-zone change; nothing when it is
/// out of range.
std::optional<CalendarTime> ToCalendar(FileTime time);
/// A calendar date and time as a file time, without any time-zone change; nothing when the
/// date is invalid or before 1601.
std::optional<FileTime> FromCalendar(const CalendarTime& time);

/// The current local date and time.
CalendarTime LocalNow();

}  // namespace tsl

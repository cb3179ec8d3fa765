// The user's date and time conventions. Windows asks the system; Linux reads the same values
// from the registry store (sShortDate and sTimeFormat under the key
// HKEY_CURRENT_USER\Control Panel\International) with the defaults M/d/yyyy and h:mm:ss tt, and
// uses English names.
#pragma once

#include <string>

namespace tsl {

/// A calendar date and time (no time zone attached).
struct CalendarTime {
  int year = 1601;
  int month = 1;        // 1..12
  int day = 1;          // 1..31
  int day_of_week = 0;  // 0 = Sunday .. 6 = Saturday
  int hour = 0;
  int minute = 0;
  int second = 0;
  int milliseconds = 0;
};

/// The user's short date picture, for example "M/d/yyyy" or "dd.MM.yyyy".
std::string ShortDatePicture();
/// The user's time picture, for example "h:mm:ss tt" or "HH:mm:ss".
std::string TimePicture();

/// Month names, 1..12, full or abbreviated.
std::string MonthName(int month, bool abbreviated);
/// Day names, 0 = Sunday .. 6 = Saturday, full or abbreviated.
std::string DayName(int day_of_week, bool abbreviated);
/// The AM or PM designator.
std::string TimeMarker(bool pm);

/// A date in the user's short date format and a time in the user's time format.
std::string FormatShortDate(const CalendarTime& time);
std::string FormatTime(const CalendarTime& time);

/// Formats with a Windows date or time picture: d dd ddd dddd M MM MMM MMMM y yy yyyy
/// h hh H HH m mm s ss t tt, text in single quotes taken literally ('' is one quote).
std::string FormatWithPicture(const std::string& picture, const CalendarTime& time);

}  // namespace tsl

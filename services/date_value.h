// Date values of scripts (the date filters of the synchronization and file replace scripts),
// written in the user's short date format.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/locale.h"

namespace tsl {

/// What a date text is read with: the short date picture, the names of months (1..12 at
/// index 0..11) and days (Sunday first), and the current year for two-digit years.
struct DateConventions {
  std::string picture;
  std::array<std::string, 12> months, month_abbreviations;
  std::array<std::string, 7> days, day_abbreviations;
  int current_year = 2000;
};

/// A parsed date, or the number of the message that says why the text is none.
struct ParsedDate {
  std::optional<CalendarTime> date;
  int error_text_id = 0;
};

/// Reads a date by the picture: d/dd day, M/MM month, y..yyyy year (numbers as far as their
/// digits go), MMM/MMMM month names, ddd/dddd day names (skipped), quoted text and any other
/// picture character literally. Then checks month, day, year (two-digit years within 51 years
/// of the current year; 1601..30848) and February days.
ParsedDate ParseDateText(std::string_view text, const DateConventions& conventions);

class JobServices;

/// A script's date value read with the user's conventions, as a UTC file time: midnight of that
/// local day, or 23:59:59 with `end_of_day`. A text that is no valid date gives nothing after a
/// message that says why.
std::optional<FileTime> ReadScriptDate(JobServices& services, const std::string& text,
                                       bool end_of_day);

}  // namespace tsl

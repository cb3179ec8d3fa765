// What the synchronization settings fuzz target does with one input, shared with the test that
// replays the kept inputs. The first byte chooses the date conventions; the rest is a script,
// read in both layouts (Directory Info and Default/ActionN) with a date reader that runs the
// real date parser, after which the column texts of every job are parsed. The results are
// checked against what the script and the readers promise.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/clock.h"
#include "platform/code_page.h"
#include "script/escapes.h"
#include "script/script_file.h"
#include "synch/columns.h"
#include "services/date_value.h"
#include "synch/synch_settings.h"

namespace tsl::fuzzing {

inline DateConventions FuzzDateConventions(std::uint8_t choice) {
  static constexpr const char* kPictures[] = {
      "M/d/yyyy",   "dd.MM.yyyy", "yyyy-MM-dd",         "d MMMM yyyy", "dddd, MMMM d, yyyy",
      "d-MMM-yy",   "yy/M/d",     "'Day' d 'of' MMM y", "d''MM''yyyy", "ddd d MMM yyy"};
  static constexpr const char* kMonths[] = {"January", "February", "March",     "April",
                                            "May",     "June",     "July",      "August",
                                            "September", "October", "November", "December"};
  static constexpr const char* kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};
  DateConventions conventions;
  conventions.picture = kPictures[choice % std::size(kPictures)];
  for (std::size_t m = 0; m < 12; ++m) {
    conventions.months[m] = kMonths[m];
    conventions.month_abbreviations[m] = std::string(kMonths[m]).substr(0, 3);
  }
  for (std::size_t d = 0; d < 7; ++d) {
    conventions.days[d] = kDays[d];
    conventions.day_abbreviations[d] = std::string(kDays[d]).substr(0, 3);
  }
  conventions.current_year = choice & 0x80 ? 2049 : 2024;
  return conventions;
}

inline bool IsLeap(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

inline int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

/// Parses a date as the job does, without the time zone (which would make a run depend on the
/// machine), and checks that an accepted date is a real one.
inline std::optional<FileTime> ReadFuzzDate(const DateConventions& conventions,
                                            const std::string& text, bool end_of_day) {
  ParsedDate parsed = ParseDateText(text, conventions);
  if (!parsed.date) {
    Check(parsed.error_text_id != 0);
    return std::nullopt;
  }
  CalendarTime date = *parsed.date;
  Check(parsed.error_text_id == 0);
  Check(date.month >= 1 && date.month <= 12);
  Check(date.year >= 1601 && date.year <= 30848);
  Check(date.day >= 1 && date.day <= DaysInMonth(date.year, date.month));
  if (end_of_day) {
    date.hour = 23;
    date.minute = 59;
    date.second = 59;
  }
  std::optional<FileTime> time = FromCalendar(date);
  // The file time scale reaches into the year 30828.
  if (date.year <= 30827) Check(time.has_value());
  if (time) {
    std::optional<CalendarTime> back = ToCalendar(*time);
    Check(back && back->year == date.year && back->month == date.month && back->day == date.day);
  }
  return time;
}

inline void CheckColumns(std::string_view text) {
  EscapeCoding coding{[](std::string_view t) { return DecodeEscapes(t); },
                      [](std::string_view t) { return EncodeControls(t); }};
  ColumnList columns = ParseColumns(text, coding);
  std::size_t field_columns = 0;
  for (const Column& column : columns) {
    field_columns += !column.is_literal;
    if (column.is_literal) Check(column.items.empty() && !column.right_justify);
    for (const ColumnItem& item : column.items) {
      if (!item.is_field) {
        Check(!item.has_value);
        continue;
      }
      Check(static_cast<int>(item.field) >= 0 && item.field <= Field::kComment);
      Check(!FieldName(item.field).empty());
    }
  }
  // Written back, every field column is closed (literal texts may add closing tags of their own).
  std::string written = WriteColumns(columns, coding);
  std::size_t closes = 0;
  for (std::size_t at = written.find("</DT_COL>"); at != std::string::npos;
       at = written.find("</DT_COL>", at + 1)) {
    ++closes;
  }
  Check(closes >= field_columns);
}

inline void CheckJob(const SynchSettings& settings, const std::set<FileTime>& dates_read) {
  Check(settings.time_precision >= 0);
  Check(settings.second_folder_offset >= 0);
  Check(settings.min_date == 0 || dates_read.count(settings.min_date) != 0);
  Check(settings.max_date == 0 || dates_read.count(settings.max_date) != 0);
  if (!settings.refusal.empty()) {
    Check(settings.refusal.rfind("Time Check Precision=", 0) == 0 ||
          settings.refusal.rfind("Add Seconds To Second Dir=", 0) == 0);
  }
  for (const std::string* folder :
       {&settings.source_folder, &settings.target_folder, &settings.destination_folder}) {
    if (folder->find('%') == std::string::npos) Check(ExpandEnvironment(*folder) == *folder);
  }
  CheckColumns(settings.output_columns);
  CheckColumns(settings.display_columns);
}

inline void RunSynchSettingsFuzzInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return;
  const DateConventions conventions = FuzzDateConventions(data[0]);
  std::set<FileTime> dates_read;
  SettingsReaders readers{
      [&](const std::string& text, bool end_of_day) {
        std::optional<FileTime> time = ReadFuzzDate(conventions, text, end_of_day);
        if (time) dates_read.insert(*time);
        return time;
      },
      [](const std::string& text) { return DecodeControls(text); }};
  ScriptFile script;
  script.Parse(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));

  SynchSettings settings;
  const bool directory_info = ReadDirectoryInfo(script, readers, &settings);
  bool expected = false;
  for (const auto& section : script.sections()) {
    expected |=
        cp::EqualsIgnoreCase(section->name(), "Directory Info") && !section->lines().empty();
  }
  Check(directory_info == expected);
  Check(!settings.mask.empty());
  CheckJob(settings, dates_read);

  std::vector<SynchSettings> actions = ReadActionList(script, readers);
  Check(actions.size() == ActionSections(script).size());
  for (const SynchSettings& action : actions) CheckJob(action, dates_read);
}

}  // namespace tsl::fuzzing

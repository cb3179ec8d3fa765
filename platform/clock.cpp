// Calendar arithmetic on file times, the same on every system.
#include "platform/clock.h"

namespace tsl {
namespace {

constexpr std::int64_t kTicksPerSecond = 10000000;
constexpr std::int64_t kTicksPerDay = kTicksPerSecond * 86400;

// Days from 1601-01-01 to the given date (proleptic Gregorian calendar).
std::int64_t DaysFrom1601(std::int64_t year, int month, int day) {
  // Shift the year to start in March so that the leap day comes last.
  std::int64_t y = year - (month <= 2 ? 1 : 0);
  std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  std::int64_t year_of_era = y - era * 400;
  std::int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  std::int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  std::int64_t days_from_0000_03_01 = era * 146097 + day_of_era;
  constexpr std::int64_t k1601 = 584694;  // 1601-01-01 counted from 0000-03-01
  return days_from_0000_03_01 - k1601;
}

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

}  // namespace

std::optional<CalendarTime> ToCalendar(FileTime time) {
  if (time < 0) return std::nullopt;
  std::int64_t days = time / kTicksPerDay;
  std::int64_t rest = time % kTicksPerDay;
  CalendarTime c;
  c.day_of_week = static_cast<int>((days + 1) % 7);  // 1601-01-01 was a Monday
  // Civil date from a day count (days since 0000-03-01).
  std::int64_t z = days + 584694;
  std::int64_t era = z / 146097;
  std::int64_t doe = z - era * 146097;
  std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  std::int64_t mp = (5 * doy + 2) / 153;
  c.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  c.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  c.year = static_cast<int>(yoe + era * 400 + (c.month <= 2 ? 1 : 0));
  c.hour = static_cast<int>(rest / (kTicksPerSecond * 3600));
  c.minute = static_cast<int>(rest / (kTicksPerSecond * 60) % 60);
  c.second = static_cast<int>(rest / kTicksPerSecond % 60);
  c.milliseconds = static_cast<int>(rest / 10000 % 1000);
  if (c.year > 30827) return std::nullopt;
  return c;
}

std::optional<FileTime> FromCalendar(const CalendarTime& t) {
  if (t.year < 1601 || t.year > 30827 || t.month < 1 || t.month > 12 || t.day < 1 ||
      t.day > DaysInMonth(t.year, t.month) || t.hour < 0 || t.hour > 23 || t.minute < 0 ||
      t.minute > 59 || t.second < 0 || t.second > 59 || t.milliseconds < 0 ||
      t.milliseconds > 999) {
    return std::nullopt;
  }
  std::int64_t days = DaysFrom1601(t.year, t.month, t.day);
  return days * kTicksPerDay + ((t.hour * 60 + t.minute) * 60 + t.second) * kTicksPerSecond +
         t.milliseconds * std::int64_t{10000};
}

}  // namespace tsl

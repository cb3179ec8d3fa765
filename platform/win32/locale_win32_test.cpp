// The portable picture formatter against the system's GetDateFormatA and GetTimeFormatA, with
// the user's locale (whatever names it has, both sides use the same).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/locale.h"

namespace tsl {
namespace {

// 0 = Sunday, for the Gregorian calendar.
int DayOfWeek(int year, int month, int day) {
  static const int kOffsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (month < 3) year -= 1;
  return (year + year / 4 - year / 100 + year / 400 + kOffsets[month - 1] + day) % 7;
}

CalendarTime At(int year, int month, int day, int hour, int minute, int second) {
  CalendarTime time;
  time.year = year;
  time.month = month;
  time.day = day;
  time.day_of_week = DayOfWeek(year, month, day);
  time.hour = hour;
  time.minute = minute;
  time.second = second;
  return time;
}

SYSTEMTIME ToSystem(const CalendarTime& time) {
  SYSTEMTIME st = {};
  st.wYear = static_cast<WORD>(time.year);
  st.wMonth = static_cast<WORD>(time.month);
  st.wDay = static_cast<WORD>(time.day);
  st.wDayOfWeek = static_cast<WORD>(time.day_of_week);
  st.wHour = static_cast<WORD>(time.hour);
  st.wMinute = static_cast<WORD>(time.minute);
  st.wSecond = static_cast<WORD>(time.second);
  return st;
}

std::string SystemDate(const char* picture, const CalendarTime& time) {
  SYSTEMTIME st = ToSystem(time);
  char buffer[256];
  int size = GetDateFormatA(LOCALE_USER_DEFAULT, 0, &st, picture, buffer, sizeof buffer);
  return size > 0 ? std::string(buffer, size - 1) : "<failed>";
}

std::string SystemTime(const char* picture, const CalendarTime& time) {
  SYSTEMTIME st = ToSystem(time);
  char buffer[256];
  int size = GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, picture, buffer, sizeof buffer);
  return size > 0 ? std::string(buffer, size - 1) : "<failed>";
}

const CalendarTime kTimes[] = {
    At(2005, 3, 7, 0, 5, 9),     At(1999, 12, 31, 23, 59, 59), At(2024, 2, 29, 12, 0, 0),
    At(2000, 1, 2, 13, 30, 1),   At(1601, 1, 1, 1, 1, 1),      At(2023, 11, 18, 11, 10, 20),
    At(2010, 10, 10, 9, 45, 30), At(2031, 6, 4, 17, 8, 0),
};

// Date pictures only: GetDateFormatA copies time letters as text. A single y is left out: Wine
// writes the year 2005 as "05" there, where our rule (no century, no leading zero) gives "5".
TEST(LocaleWin32Test, DatePicturesFormatLikeTheSystem) {
  // clang-format off
  const char* pictures[] = {
      "d", "dd", "ddd", "dddd", "ddddd", "M",
      "MM", "MMM", "MMMM", "MMMMM", "yy", "yyy",
      "yyyy", "yyyyy", "M/d/yyyy", "dd.MM.yyyy", "yyyy-MM-dd", "d MMM yy",
      "dddd, MMMM dd, yyyy", "d 'de' MMMM", "'it''s' d", "''", "a''b", "''''",
      "'open d", "x'y", "[d]/-.,:;",
  };
  // clang-format on
  for (const CalendarTime& time : kTimes) {
    for (const char* picture : pictures) {
      EXPECT_EQ(FormatWithPicture(picture, time), SystemDate(picture, time))
          << picture << " on " << time.year << "-" << time.month << "-" << time.day;
    }
  }
}

// Time pictures only: GetTimeFormatA copies date letters as text.
TEST(LocaleWin32Test, TimePicturesFormatLikeTheSystem) {
  // clang-format off
  const char* pictures[] = {
      "h", "hh", "hhh", "H", "HH", "HHH",
      "m", "mm", "mmm", "s", "ss", "sss",
      "t", "tt", "ttt", "h:mm:ss tt", "HH:mm:ss", "hh.mm t",
      "'h' h", "H 'o''clock'", "tt h", "it''s h", "[H]-:",
  };
  // clang-format on
  for (const CalendarTime& time : kTimes) {
    for (const char* picture : pictures) {
      EXPECT_EQ(FormatWithPicture(picture, time), SystemTime(picture, time))
          << picture << " at " << time.hour << ":" << time.minute << ":" << time.second;
    }
  }
}

// The user's own formats, as the system applies them, agree with the formatter given the
// user's pictures.
TEST(LocaleWin32Test, UsersFormatsMatchTheirPictures) {
  EXPECT_FALSE(ShortDatePicture().empty());
  EXPECT_FALSE(TimePicture().empty());
  for (const CalendarTime& time : kTimes) {
    EXPECT_EQ(FormatShortDate(time), FormatWithPicture(ShortDatePicture(), time));
    EXPECT_EQ(FormatTime(time), FormatWithPicture(TimePicture(), time));
  }
}

}  // namespace
}  // namespace tsl

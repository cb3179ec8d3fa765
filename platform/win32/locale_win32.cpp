// The user's date and time conventions on Windows, as the system's locale functions give them.
#include <windows.h>

#include <string>

#include "platform/locale.h"

namespace tsl {

namespace {

std::string LocaleText(LCTYPE type) {
  int size = GetLocaleInfoA(LOCALE_USER_DEFAULT, type, nullptr, 0);
  if (size <= 0) return "";
  std::string text(size, '\0');
  size = GetLocaleInfoA(LOCALE_USER_DEFAULT, type, text.data(), size);
  text.resize(size > 0 ? size - 1 : 0);
  return text;
}

SYSTEMTIME ToSystemTime(const CalendarTime& time) {
  SYSTEMTIME result = {};
  result.wYear = static_cast<WORD>(time.year);
  result.wMonth = static_cast<WORD>(time.month);
  result.wDay = static_cast<WORD>(time.day);
  result.wDayOfWeek = static_cast<WORD>(time.day_of_week);
  result.wHour = static_cast<WORD>(time.hour);
  result.wMinute = static_cast<WORD>(time.minute);
  result.wSecond = static_cast<WORD>(time.second);
  result.wMilliseconds = static_cast<WORD>(time.milliseconds);
  return result;
}

// Runs one of the system's formatting functions with a buffer of the size it asks for.
template <typename Format>
std::string SystemFormat(Format format) {
  int size = format(nullptr, 0);
  if (size <= 0) return "";
  std::string text(size, '\0');
  size = format(text.data(), size);
  if (size <= 0) return "";
  text.resize(size - 1);
  return text;
}

}  // namespace

std::string ShortDatePicture() { return LocaleText(LOCALE_SSHORTDATE); }

std::string TimePicture() { return LocaleText(LOCALE_STIMEFORMAT); }

std::string MonthName(int month, bool abbreviated) {
  if (month < 1 || month > 12) return "";
  LCTYPE first = abbreviated ? LOCALE_SABBREVMONTHNAME1 : LOCALE_SMONTHNAME1;
  return LocaleText(first + month - 1);
}

std::string DayName(int day_of_week, bool abbreviated) {
  if (day_of_week < 0 || day_of_week > 6) return "";
  // The system counts from Monday (day name 1) to Sunday (day name 7).
  LCTYPE first = abbreviated ? LOCALE_SABBREVDAYNAME1 : LOCALE_SDAYNAME1;
  return LocaleText(first + (day_of_week + 6) % 7);
}

std::string TimeMarker(bool pm) { return LocaleText(pm ? LOCALE_S2359 : LOCALE_S1159); }

std::string FormatShortDate(const CalendarTime& time) {
  SYSTEMTIME system_time = ToSystemTime(time);
  std::string text = SystemFormat([&](char* buffer, int size) {
    return GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &system_time, nullptr, buffer, size);
  });
  // A date the system refuses (outside its calendar's range) still gets formatted.
  return text.empty() ? FormatWithPicture(ShortDatePicture(), time) : text;
}

std::string FormatTime(const CalendarTime& time) {
  SYSTEMTIME system_time = ToSystemTime(time);
  std::string text = SystemFormat([&](char* buffer, int size) {
    return GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &system_time, nullptr, buffer, size);
  });
  return text.empty() ? FormatWithPicture(TimePicture(), time) : text;
}

}  // namespace tsl

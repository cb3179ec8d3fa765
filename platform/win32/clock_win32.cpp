// Local time by the rules of the system's time zone for the moment converted (not the rule in
// force today, as FileTimeToLocalFileTime would apply).
#include <windows.h>

#include "platform/clock.h"

namespace tsl {
namespace {

FILETIME ToFiletime(FileTime t) {
  FILETIME f;
  f.dwLowDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(t) & 0xFFFFFFFFu);
  f.dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(t) >> 32);
  return f;
}

FileTime FromFiletime(const FILETIME& f) {
  return static_cast<FileTime>((static_cast<std::uint64_t>(f.dwHighDateTime) << 32) |
                               f.dwLowDateTime);
}

}  // namespace

FileTime CurrentFileTime() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return FromFiletime(now);
}

FileTime UtcToLocal(FileTime utc) {
  FILETIME f = ToFiletime(utc);
  SYSTEMTIME system, local;
  if (!FileTimeToSystemTime(&f, &system) ||
      !SystemTimeToTzSpecificLocalTime(nullptr, &system, &local) ||
      !SystemTimeToFileTime(&local, &f)) {
    return utc;
  }
  return FromFiletime(f) + utc % 10000;  // keep the sub-millisecond part
}

FileTime LocalToUtc(FileTime local) {
  FILETIME f = ToFiletime(local);
  SYSTEMTIME local_time, system;
  if (!FileTimeToSystemTime(&f, &local_time) ||
      !TzSpecificLocalTimeToSystemTime(nullptr, &local_time, &system) ||
      !SystemTimeToFileTime(&system, &f)) {
    return local;
  }
  return FromFiletime(f) + local % 10000;
}

CalendarTime LocalNow() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  CalendarTime c;
  c.year = now.wYear;
  c.month = now.wMonth;
  c.day = now.wDay;
  c.day_of_week = now.wDayOfWeek;
  c.hour = now.wHour;
  c.minute = now.wMinute;
  c.second = now.wSecond;
  c.milliseconds = now.wMilliseconds;
  return c;
}

}  // namespace tsl

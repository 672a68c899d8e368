// Pure calendar arithmetic on the proleptic Gregorian calendar, in UTC: no time
// zone and no daylight saving time, so a date converted and converted back is the
// same on every machine.
#pragma once

#include <cstdint>

struct CivilDate {
  int64_t year;
  unsigned month;  // 1..12
  unsigned day;    // 1..31
};

struct DateTime {
  int64_t year;
  unsigned month;    // 1..12
  unsigned day;      // 1..31
  unsigned hour;     // 0..23
  unsigned minute;   // 0..59
  unsigned second;   // 0..59
  unsigned weekday;  // 0 = Sunday .. 6 = Saturday
  unsigned yearDay;  // 0 = 1 January .. 365
};

// Days since 1970-01-01 of a civil date (negative before it).
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day);
// The civil date of a day count since 1970-01-01.
CivilDate CivilFromDays(int64_t days);
// Weekday of a day count since 1970-01-01 (0 = Sunday).
unsigned WeekdayFromDays(int64_t days);

// gmtime: the broken-down UTC time of seconds since 1970-01-01 00:00:00.
DateTime DateTimeFromSeconds(int64_t seconds);
// timegm for an in-range date and time (fields as DateTimeFromSeconds gives them;
// weekday and yearDay are ignored).
int64_t SecondsFromDateTime(const DateTime& dateTime);

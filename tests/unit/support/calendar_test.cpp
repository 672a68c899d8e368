// Calendar conversions against the host gmtime_r and timegm, which use the same
// proleptic Gregorian calendar in UTC.
#include "support/calendar.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>

namespace {

testing::AssertionResult SameAsGmtime(int64_t seconds) {
  const auto time = static_cast<time_t>(seconds);
  struct tm tm {};
  gmtime_r(&time, &tm);
  const DateTime d = DateTimeFromSeconds(seconds);
  const DateTime expected{tm.tm_year + 1900LL, unsigned(tm.tm_mon + 1), unsigned(tm.tm_mday), unsigned(tm.tm_hour),
                          unsigned(tm.tm_min), unsigned(tm.tm_sec),     unsigned(tm.tm_wday), unsigned(tm.tm_yday)};
  if (d.year != expected.year || d.month != expected.month || d.day != expected.day || d.hour != expected.hour ||
      d.minute != expected.minute || d.second != expected.second || d.weekday != expected.weekday ||
      d.yearDay != expected.yearDay || SecondsFromDateTime(d) != static_cast<int64_t>(timegm(&tm))) {
    return testing::AssertionFailure() << seconds << ": got " << d.year << '-' << d.month << '-' << d.day << ' '
                                       << d.hour << ':' << d.minute << ':' << d.second << " weekday " << d.weekday
                                       << " day of year " << d.yearDay << ", back " << SecondsFromDateTime(d);
  }
  return testing::AssertionSuccess();
}

TEST(Calendar, SecondsFrom1900To2200MatchGmtimeAndTimegm) {
  for (int64_t seconds = -2208988800; seconds <= 7258118400; seconds += 9973) ASSERT_TRUE(SameAsGmtime(seconds));
  // About 0.9 years apart, from the year -9000 to 9000.
  for (int64_t seconds = -346000000000; seconds <= 222000000000; seconds += 28399997) {
    ASSERT_TRUE(SameAsGmtime(seconds));
  }
}

// Around the first second of every month of leap and common years, including the
// century rules (1900 and 2100 common, 2000 leap).
TEST(Calendar, MonthBoundariesMatchGmtimeAndTimegm) {
  for (int year = 1890; year <= 2210; ++year) {
    for (int month = 0; month < 12; ++month) {
      struct tm start {};
      start.tm_year = year - 1900;
      start.tm_mon = month;
      start.tm_mday = 1;
      const int64_t first = timegm(&start);
      for (int64_t delta : {-86400, -1, 0, 1, 86399, 86400}) ASSERT_TRUE(SameAsGmtime(first + delta));
    }
  }
}

TEST(Calendar, EveryDayMatchesGmtimeAndRoundTrips) {
  for (int64_t days = -800000; days <= 800000; ++days) {
    const CivilDate date = CivilFromDays(days);
    const DateTime expected = DateTimeFromSeconds(days * 86400);
    ASSERT_TRUE(SameAsGmtime(days * 86400));
    ASSERT_EQ(days, DaysFromCivil(date.year, date.month, date.day));
    ASSERT_TRUE(date.year == expected.year && date.month == expected.month && date.day == expected.day) << days;
    ASSERT_EQ(expected.weekday, WeekdayFromDays(days)) << days;
  }
}

}  // namespace

// Civil-calendar arithmetic by whole 400-year eras: each era has exactly 146097
// days, so a date maps to a day count (and back) with a few divisions and no
// tables or loops. Years are counted from 1 March so the leap day falls at the end
// of the counted year.
#include "support/calendar.hpp"

namespace {

constexpr int64_t kSecondsPerDay = 86400;
constexpr int64_t kDaysPerEra = 146097;
// Days from 0000-03-01 to 1970-01-01.
constexpr int64_t kEpochShift = 719468;

// Division rounding towards minus infinity, so times before 1970 fall on the
// previous day rather than on day 0.
constexpr int64_t FloorDivide(int64_t value, int64_t divisor) {
  int64_t quotient = value / divisor;
  return (value % divisor != 0 && value < 0) ? quotient - 1 : quotient;
}

}  // namespace

int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
  const int64_t marchYear = month <= 2 ? year - 1 : year;
  const int64_t era = FloorDivide(marchYear, 400);
  const int64_t yearOfEra = marchYear - era * 400;                 // 0..399
  const int64_t marchMonth = month > 2 ? month - 3 : month + 9;    // March = 0
  const int64_t dayOfYear = (153 * marchMonth + 2) / 5 + day - 1;  // 0..365
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * kDaysPerEra + dayOfEra - kEpochShift;
}

CivilDate CivilFromDays(int64_t days) {
  const int64_t shifted = days + kEpochShift;
  const int64_t era = FloorDivide(shifted, kDaysPerEra);
  const int64_t dayOfEra = shifted - era * kDaysPerEra;  // 0..146096
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t marchMonth = (5 * dayOfYear + 2) / 153;
  const auto day = static_cast<unsigned>(dayOfYear - (153 * marchMonth + 2) / 5 + 1);
  const auto month = static_cast<unsigned>(marchMonth < 10 ? marchMonth + 3 : marchMonth - 9);
  const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  return CivilDate{year, month, day};
}

unsigned WeekdayFromDays(int64_t days) {
  // 1970-01-01 was a Thursday (4).
  return static_cast<unsigned>(days - FloorDivide(days + 4, 7) * 7 + 4);
}

DateTime DateTimeFromSeconds(int64_t seconds) {
  const int64_t days = FloorDivide(seconds, kSecondsPerDay);
  const auto secondOfDay = static_cast<unsigned>(seconds - days * kSecondsPerDay);
  const CivilDate date = CivilFromDays(days);
  DateTime result{};
  result.year = date.year;
  result.month = date.month;
  result.day = date.day;
  result.hour = secondOfDay / 3600;
  result.minute = secondOfDay / 60 % 60;
  result.second = secondOfDay % 60;
  result.weekday = WeekdayFromDays(days);
  result.yearDay = static_cast<unsigned>(days - DaysFromCivil(date.year, 1, 1));
  return result;
}

int64_t SecondsFromDateTime(const DateTime& dateTime) {
  return DaysFromCivil(dateTime.year, dateTime.month, dateTime.day) * kSecondsPerDay +
         static_cast<int64_t>(dateTime.hour) * 3600 + static_cast<int64_t>(dateTime.minute) * 60 +
         static_cast<int64_t>(dateTime.second);
}

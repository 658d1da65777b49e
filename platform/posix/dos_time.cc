#include "platform/posix/dos_time.h"

#include <cstdint>

// Every listed entry and every probed file needs its stamp, and localtime_r
// takes a lock and searches the zone's rules each time. The offset of local
// time from UTC changes only a few times a year, so it is remembered per UTC
// day: a day whose offset is the same at its first and its last second keeps
// that offset throughout (no zone changes its offset and back within a day),
// and any time in it is converted by plain arithmetic. A day on which the
// offset changes (daylight saving, a new zone rule, a leap second in the
// "right/" zones) is never remembered: each time in it goes to localtime_r.
// The zone is read once per process and never changes while velk runs.

namespace {

constexpr int64_t kDay = 86400;
// Outside these, a time is before 1980 or after 2107 in every zone (local
// time lies within a day of UTC), so it has no stamp; near them localtime_r
// decides.
constexpr int64_t kSureTooEarly = 315532800 - 2 * kDay;  // 1980-01-01 UTC less two days
constexpr int64_t kSureTooLate = 4354819200 + 2 * kDay;  // 2108-01-01 UTC plus two days

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
int64_t days_from_civil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2 ? 1 : 0;
  int64_t era = (year >= 0 ? year : year - 399) / 400;
  int64_t year_of_era = year - era * 400;
  int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

struct CivilTime {
  int64_t year;
  int month;   // 1-12
  int day;     // 1-31
  int hour;    // 0-23
  int minute;  // 0-59
  int second;  // 0-59
};

CivilTime civil_from_local_seconds(int64_t local) {
  int64_t days = local >= 0 ? local / kDay : (local - (kDay - 1)) / kDay;
  int64_t of_day = local - days * kDay;
  days += 719468;
  int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  int64_t day_of_era = days - era * 146097;
  int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  int64_t month_index = (5 * day_of_year + 2) / 153;
  CivilTime civil;
  civil.day = static_cast<int>(day_of_year - (153 * month_index + 2) / 5 + 1);
  civil.month = static_cast<int>(month_index < 10 ? month_index + 3 : month_index - 9);
  civil.year = year_of_era + era * 400 + (civil.month <= 2 ? 1 : 0);
  civil.hour = static_cast<int>(of_day / 3600);
  civil.minute = static_cast<int>(of_day / 60 % 60);
  civil.second = static_cast<int>(of_day % 60);
  return civil;
}

bool pack(const CivilTime& civil, DosStamp* stamp) {
  if (civil.year < 1980 || civil.year > 2107) {
    return false;
  }
  stamp->time = static_cast<uint16_t>((civil.hour << 11) | (civil.minute << 5) |
                                      ((civil.second < 59 ? civil.second : 59) / 2));
  stamp->date = static_cast<uint16_t>(((civil.year - 1980) << 9) | (civil.month << 5) | civil.day);
  return true;
}

bool local_time_of(time_t when, CivilTime* civil) {
  struct tm local;
  if (localtime_r(&when, &local) == nullptr) {
    return false;
  }
  *civil = CivilTime{local.tm_year + int64_t{1900},
                     local.tm_mon + 1,
                     local.tm_mday,
                     local.tm_hour,
                     local.tm_min,
                     local.tm_sec};
  return true;
}

// Local time minus UTC at `when`, in seconds; false when it cannot be had or
// falls on a leap second, which plain arithmetic cannot show.
bool offset_at(time_t when, int64_t* offset) {
  CivilTime civil;
  if (!local_time_of(when, &civil) || civil.second > 59) {
    return false;
  }
  *offset = days_from_civil(civil.year, civil.month, civil.day) * kDay + civil.hour * 3600 +
            civil.minute * 60 + civil.second - static_cast<int64_t>(when);
  return true;
}

// Remembered days, one slot per day number modulo the table size (22 years
// of distinct days before two days share a slot).
struct DayOffset {
  int64_t day;  // UTC day number plus one; 0 for an empty slot
  int64_t offset;
};
constexpr int64_t kDaySlots = 8192;
DayOffset day_offsets[kDaySlots];

// The offset that holds through the whole UTC day of `when`, if it has one.
bool steady_offset(int64_t when, int64_t* offset) {
  int64_t day = when >= 0 ? when / kDay : (when - (kDay - 1)) / kDay;
  DayOffset& slot = day_offsets[day & (kDaySlots - 1)];
  if (slot.day == day + 1) {
    *offset = slot.offset;
    return true;
  }
  int64_t at_start = 0;
  int64_t at_end = 0;
  if (!offset_at(static_cast<time_t>(day * kDay), &at_start) ||
      !offset_at(static_cast<time_t>(day * kDay + kDay - 1), &at_end) || at_start != at_end) {
    return false;
  }
  slot = DayOffset{day + 1, at_start};
  *offset = at_start;
  return true;
}

}  // namespace

bool dos_stamp_of(time_t when, DosStamp* stamp) {
  stamp->time = 0;
  stamp->date = 0;
  int64_t seconds = static_cast<int64_t>(when);
  if (seconds < kSureTooEarly || seconds > kSureTooLate) {
    return false;
  }
  CivilTime civil;
  int64_t offset = 0;
  if (steady_offset(seconds, &offset)) {
    civil = civil_from_local_seconds(seconds + offset);
  } else if (!local_time_of(when, &civil)) {
    return false;
  }
  if (!pack(civil, stamp)) {
    stamp->time = 0;
    stamp->date = 0;
    return false;
  }
  return true;
}

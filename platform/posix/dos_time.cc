#include "platform/posix/dos_time.h"

bool dos_stamp_of(time_t when, DosStamp* stamp) {
  stamp->time = 0;
  stamp->date = 0;
  struct tm local;
  if (localtime_r(&when, &local) == nullptr) {
    return false;
  }
  int year = local.tm_year + 1900;
  if (year < 1980 || year > 2107) {
    return false;
  }
  stamp->time = static_cast<uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) |
                                      ((local.tm_sec < 59 ? local.tm_sec : 59) / 2));
  stamp->date =
      static_cast<uint16_t>(((year - 1980) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
  return true;
}

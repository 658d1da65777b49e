// dos_stamp_of converts by arithmetic once it knows a day's offset from UTC,
// and asks localtime_r only for days on which the offset changes. These tests
// hold it to localtime_r around every kind of change, in zones chosen for
// them, each in a process of its own since the zone is read once.

#include "platform/posix/dos_time.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <ctime>
#include <string>
#include <vector>

#include "tests/support/run_program.h"

namespace {

// The stamp straight from localtime_r, the slow way.
bool reference_stamp(time_t when, DosStamp* stamp) {
  struct tm local;
  if (localtime_r(&when, &local) == nullptr) {
    return false;
  }
  int year = local.tm_year + 1900;
  if (year < 1980 || year > 2107) {
    return false;
  }
  int seconds = local.tm_sec < 59 ? local.tm_sec : 59;
  stamp->time = static_cast<uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) | (seconds / 2));
  stamp->date =
      static_cast<uint16_t>(((year - 1980) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
  return true;
}

// Instants around offset changes in several zones, a leap second, and the
// ends of the DOS range, each swept second by second near the change and
// every few minutes for two days around it.
std::vector<time_t> instants() {
  const time_t changes[] = {
      1616893200,  // 2021-03-28 01:00 UTC, central Europe to summer time
      1635642000,  // 2021-10-31 01:00 UTC, and back
      1615705200,  // 2021-03-14 07:00 UTC, US Eastern to summer time
      1636264800,  // 2021-11-07 06:00 UTC, and back
      1541300400,  // 2018-11-04 03:00 UTC, Sao Paulo to summer time
      1550368800,  // 2019-02-17 02:00 UTC, and back
      1617462000,  // 2021-04-03 15:00 UTC, Lord Howe Island, half an hour back
      1483228800,  // 2017-01-01 00:00 UTC, after the leap second of 2016
      315532800,   // 1980-01-01 00:00 UTC, the first day a stamp can hold
      4354819200,  // 2108-01-01 00:00 UTC, the first day it cannot
  };
  std::vector<time_t> all;
  for (time_t change : changes) {
    for (time_t step = -2 * 86400; step <= 2 * 86400; step += 277) {
      all.push_back(change + step);
    }
    for (time_t step = -120; step <= 120; ++step) {
      all.push_back(change + step);
      all.push_back(change + 3600 + step);  // zones an hour either side
      all.push_back(change - 3600 + step);
    }
  }
  return all;
}

}  // namespace

TEST(DosStamp, AgreesWithLocalTimeAroundEveryKindOfChange) {
  std::vector<time_t> all = instants();
  // Twice: first while the days are learnt, then from what was learnt.
  for (int round = 0; round < 2; ++round) {
    for (time_t when : all) {
      DosStamp expected{0, 0};
      bool has_stamp = reference_stamp(when, &expected);
      DosStamp stamp{1, 1};
      ASSERT_EQ(dos_stamp_of(when, &stamp), has_stamp) << "time " << when << ", round " << round;
      ASSERT_EQ(stamp.time, expected.time) << "time " << when << ", round " << round;
      ASSERT_EQ(stamp.date, expected.date) << "time " << when << ", round " << round;
    }
  }
}

TEST(DosStamp, AgreesWithLocalTimeInZonesThatChange) {
  char self[PATH_MAX] = {};
  ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
  const char* zones[] = {"Europe/Berlin",       "America/New_York",    "America/Sao_Paulo",
                         "Australia/Lord_Howe", "right/Europe/Berlin", "UTC"};
  int checked = 0;
  for (const char* zone : zones) {
    if (access(("/usr/share/zoneinfo/" + std::string(zone)).c_str(), R_OK) != 0) {
      continue;  // zone data not installed
    }
    SCOPED_TRACE(zone);
    RunOptions options;
    options.set_env = {{"TZ", zone}};
    RunResult child = run_program(
        {self, "--gtest_filter=DosStamp.AgreesWithLocalTimeAroundEveryKindOfChange"}, options);
    EXPECT_EQ(child.exit_code, 0) << child.out << child.err;
    EXPECT_NE(child.out.find("[  PASSED  ] 1 test"), std::string::npos) << child.out;
    ++checked;
  }
  if (checked == 0) {
    GTEST_SKIP() << "no zone data in /usr/share/zoneinfo";
  }
}

#pragma once

// Fixed local times for tests that must not depend on the time of day.

#include <chrono>
#include <ctime>

#include "platform/os/local_time.h"

namespace orvida::testing {

// The instant of a local calendar date and time (the process's time zone).
inline std::chrono::system_clock::time_point LocalTimePoint(int year, int month, int day, int hour,
                                                            int minute, int second) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;
  return std::chrono::system_clock::from_time_t(std::mktime(&tm));
}

// A clock that always gives the same local time.
inline os::Clock FixedClock(int year, int month, int day, int hour, int minute, int second) {
  const auto when = LocalTimePoint(year, month, day, hour, minute, second);
  return [when] { return when; };
}

}  // namespace orvida::testing

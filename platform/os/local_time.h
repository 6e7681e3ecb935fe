#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace orvida::os {

// Where "now" comes from; tests pass a fixed one.
using Clock = std::function<std::chrono::system_clock::time_point()>;
Clock SystemClock();

// The current date in the locale's short date format, one blank, and the time in its long time
// format (LC_TIME of the process). Under the C/POSIX locale: dd/mm/aaaa hh:mm:ss.
std::string ShortDateLongTime(std::chrono::system_clock::time_point when);

// The calendar date (local time) of `when`.
struct LocalDate {
  int year;
  int month;  // 1-12
  int day;    // 1-31
};
LocalDate ToLocalDate(std::chrono::system_clock::time_point when);

}  // namespace orvida::os

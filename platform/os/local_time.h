#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace orvida::os {

// Where "now" comes from; tests pass a fixed one.
using Clock = std::function<std::chrono::system_clock::time_point()>;
Clock SystemClock();

// The current date in the locale's short date format, one blank, and the time in its long time
// format (LC_TIME of the process). Under the C/POSIX locale: dd/mm/aaaa hh:mm:ss.
std::string ShortDateLongTime(std::chrono::system_clock::time_point when);

// The strftime format ShortDateLongTime uses for a locale named `lc_time_name` whose date and
// time formats are `date_format` and `time_format` (nl_langinfo's D_FMT and T_FMT): the C and
// POSIX locales give "%d/%m/%Y %H:%M:%S"; otherwise a two-digit year becomes a four-digit one,
// as the short date of a desktop shows it.
std::string DateTimeFormat(std::string_view lc_time_name, std::string_view date_format,
                           std::string_view time_format);

// The calendar date (local time) of `when`.
struct LocalDate {
  int year;
  int month;  // 1-12
  int day;    // 1-31
};
LocalDate ToLocalDate(std::chrono::system_clock::time_point when);

}  // namespace orvida::os

#include "platform/os/local_time.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace orvida::os {
namespace {

using std::chrono::sys_days;
using namespace std::chrono_literals;

// Sets TZ and LC_TIME for one test and puts the previous values back.
class TimeSettings {
 public:
  TimeSettings(const char* tz, const char* lc_time) {
    if (const char* old = std::getenv("TZ")) old_tz_ = old;
    old_locale_ = std::setlocale(LC_TIME, nullptr);
    ::setenv("TZ", tz, 1);
    ::tzset();
    std::setlocale(LC_TIME, lc_time);
  }
  ~TimeSettings() {
    if (old_tz_) {
      ::setenv("TZ", old_tz_->c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
    std::setlocale(LC_TIME, old_locale_.c_str());
  }

 private:
  std::optional<std::string> old_tz_;
  std::string old_locale_;
};

std::chrono::system_clock::time_point At(std::chrono::year_month_day day,
                                         std::chrono::seconds time_of_day) {
  return sys_days(day) + time_of_day;
}

TEST(OsLocalTime, PlainLocaleGivesDayMonthFourDigitYear) {
  TimeSettings settings("UTC", "C");
  using std::chrono::March;
  auto when = At(2026y / March / 5, 7h + 8min + 9s);
  EXPECT_EQ(ShortDateLongTime(when), "05/03/2026 07:08:09");
  EXPECT_EQ(ShortDateLongTime(At(1999y / std::chrono::December / 31, 23h + 59min + 59s)),
            "31/12/1999 23:59:59");

  LocalDate date = ToLocalDate(when);
  EXPECT_EQ(date.year, 2026);
  EXPECT_EQ(date.month, 3);
  EXPECT_EQ(date.day, 5);
}

TEST(OsLocalTime, ConvertsToTheLocalTimeZone) {
  // One hour east of UTC, no daylight saving: 23:30 UTC on New Year's Eve is already next year.
  TimeSettings settings("CET-1", "C");
  auto when = At(2026y / std::chrono::December / 31, 23h + 30min);
  EXPECT_EQ(ShortDateLongTime(when), "01/01/2027 00:30:00");
  LocalDate date = ToLocalDate(when);
  EXPECT_EQ(date.year, 2027);
  EXPECT_EQ(date.month, 1);
  EXPECT_EQ(date.day, 1);
}

TEST(OsLocalTime, LocaleFormatsGetAFourDigitYear) {
  struct Case {
    const char* locale;
    const char* date_format;
    const char* time_format;
    const char* expected;
  };
  const Case cases[] = {
      {"C", "%m/%d/%y", "%H:%M:%S", "%d/%m/%Y %H:%M:%S"},
      {"POSIX", "%m/%d/%y", "%H:%M:%S", "%d/%m/%Y %H:%M:%S"},
      {"C.UTF-8", "%m/%d/%y", "%H:%M:%S", "%d/%m/%Y %H:%M:%S"},
      {"es_ES.UTF-8", "%d/%m/%y", "%T", "%d/%m/%Y %T"},
      {"en_US.UTF-8", "%m/%d/%Y", "%r", "%m/%d/%Y %r"},
      {"de_DE.UTF-8", "%d.%m.%Y", "%T", "%d.%m.%Y %T"},
      {"xx_XX", "%%y %y", "%T", "%%y %Y %T"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DateTimeFormat(c.locale, c.date_format, c.time_format), c.expected) << c.locale;
  }
}

TEST(OsLocalTime, SystemClockIsNow) {
  auto before = std::chrono::system_clock::now();
  auto now = SystemClock()();
  EXPECT_LE(before, now);
  EXPECT_LE(now - before, 5s);
}

}  // namespace
}  // namespace orvida::os

#include "timetable/period_resolution.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/os/error.h"

namespace orvida::timetable {
namespace {

TEST(ClockToMinutes, ConvertsHoursAndMinutes) {
  struct Case {
    std::string clock;
    std::string minutes;
  };
  const std::vector<Case> cases = {
      {"08:30", "510"},  {"8:30", "510"},   {"12:05", "725"}, {"13:45", "825"},
      {"", "0"},         {"09:00", "540"},  {"09:55", "595"}, {"00:00", "0"},
      {"23:59", "1439"}, {"25:00", "1500"},  // hours are not reduced modulo 24
      {"5", "305"},                          // "05": hours and minutes are both the whole text
      {"0830", "30"},                        // four characters: "00830", hours "00", minutes "30"
      {"-1:-30", "-30"},  // what MinutesToClock(-30) writes: hours "-1", minutes "30"
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ClockToMinutes(c.clock), c.minutes) << "clock text '" << c.clock << "'";
  }
}

TEST(ClockToMinutes, NamesThePieceThatIsNotANumber) {
  struct Case {
    std::string clock;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"7:5", "':5' no es un valor entero válido"},    // "07:5": the last two characters
      {"ab:30", "'ab' no es un valor entero válido"},  // hours are read first
      {"08:3x", "'3x' no es un valor entero válido"},
      {" 8:30", "' 8' no es un valor entero válido"},
  };
  for (const Case& c : cases) {
    try {
      ClockToMinutes(c.clock);
      ADD_FAILURE() << "no error for '" << c.clock << "'";
    } catch (const ConversionError& error) {
      EXPECT_EQ(std::string(error.what()), c.message) << "clock text '" << c.clock << "'";
    }
  }
  // Only the first and the last two characters are read: the separator is never checked.
  EXPECT_EQ(ClockToMinutes("08.30"), "510");
}

// Lookups over in-memory rows, in table order.
PeriodLookups SmallSchool() {
  PeriodLookups lookups;
  lookups.AddAssignment("MAT", "1A", {"M-1A", "C-1"});
  lookups.AddAssignment("MAT", "1A", {"M-LATER", "C-LATER"});  // a later duplicate loses
  lookups.AddAssignment("LEN", "1A", {"L-1A", "C-1"});
  lookups.AddAssignment("MAT", "2B", {"M-2B", "C-2"});
  lookups.AddActivity("MAT", "");  // found, but its CODTAREA is blank
  lookups.AddActivity("LEN", "LEC");
  lookups.AddActivity("LEN", "LATER");
  lookups.AddSlot("11", {"1", "T1", "09:00", "09:55"});
  lookups.AddSlot("11", {"9", "LATER", "10:00", "10:55"});
  lookups.AddSlot("210", {"2", "T10", "8:30", "9:25"});
  lookups.AddSlot("13", {"1", "T3", "", ""});
  lookups.AddUnit("1A", "U-1A");
  lookups.AddUnit("1A", "U-LATER");
  lookups.AddUnit("2B", "U-2B");
  return lookups;
}

TEST(ResolvePeriod, GivesTheElevenTextsOfEachEdgeCase) {
  struct Case {
    std::string name;
    SolucRow row;
    std::array<AnsiString, 11> texts;
    bool assignment, slot, unit;
  };
  const AnsiString s = "01/09/2023";
  const AnsiString e = "31/08/2024";
  const std::vector<Case> cases = {
      {"everything found; blank TAREA, ASIGNOMT row with blank CODTAREA gives 1",
       {"MAT", "1A", "", "1", 1, ""},
       {"1", "T1", "", "U-1A", "C-1", "M-1A", s, e, "540", "595", "1"},
       true,
       true,
       true},
      {"TAREA not blank is taken as read; AULA as read",
       {"MAT", "1A", "7", "1", 1, "A12"},
       {"1", "T1", "A12", "U-1A", "C-1", "M-1A", s, e, "540", "595", "7"},
       true,
       true,
       true},
      {"blank TAREA takes ASIGNOMT's first CODTAREA; day 2 period 10 is key 210",
       {"LEN", "1A", "  ", "2", 10, "   "},
       {"2", "T10", "", "U-1A", "C-1", "L-1A", s, e, "510", "565", "LEC"},
       true,
       true,
       true},
      {"no ASIGT row: both keys empty, the course key is not carried over",
       {"LEN", "2B", "", "1", 1, ""},
       {"1", "T1", "", "U-2B", "", "", s, e, "540", "595", "LEC"},
       false,
       true,
       true},
      {"no DIASHORAST row: day and slot empty, minutes 0",
       {"MAT", "2B", "", "5", 7, ""},
       {"", "", "", "U-2B", "C-2", "M-2B", s, e, "0", "0", "1"},
       true,
       false,
       true},
      {"no GRUPOST row and no ASIGNOMT row",
       {"FIS", "9Z", "", "1", 1, ""},
       {"1", "T1", "", "", "", "", s, e, "540", "595", "1"},
       false,
       true,
       false},
      {"a slot with empty clock texts gives 0 minutes",
       {"MAT", "1A", "", "1", 3, ""},
       {"1", "T3", "", "U-1A", "C-1", "M-1A", s, e, "0", "0", "1"},
       true,
       true,
       true},
      {"the DIA text is used as read: ' 1' and 3 is not the key 13",
       {"MAT", "1A", "", " 1", 3, ""},
       {"", "", "", "U-1A", "C-1", "M-1A", s, e, "0", "0", "1"},
       true,
       false,
       true},
      {"codes compare exactly: 'mat' is not 'MAT'",
       {"mat", "1a", "", "1", 1, ""},
       {"1", "T1", "", "", "", "", s, e, "540", "595", "1"},
       false,
       true,
       false},
  };
  PeriodLookups lookups = SmallSchool();
  for (const Case& c : cases) {
    const ResolvedPeriod period = ResolvePeriod(c.row, s, e, lookups);
    EXPECT_EQ(period.texts, c.texts) << c.name;
    EXPECT_EQ(period.assignment_found, c.assignment) << c.name;
    EXPECT_EQ(period.slot_found, c.slot) << c.name;
    EXPECT_EQ(period.unit_found, c.unit) << c.name;
  }
}

TEST(ResolvePeriod, StopsOnABadClockOfTheSlot) {
  PeriodLookups lookups;
  lookups.AddSlot("11", {"1", "T1", "7:5", "08:00"});
  try {
    ResolvePeriod({"MAT", "1A", "", "1", 1, ""}, "s", "e", lookups);
    ADD_FAILURE() << "no error";
  } catch (const ConversionError& error) {
    EXPECT_EQ(std::string(error.what()),
              "':5' no es un valor entero válido (DIASHORAST, fila con DIHO '11', campo "
              "HORADESDE '7:5')");
  }
}

}  // namespace
}  // namespace orvida::timetable

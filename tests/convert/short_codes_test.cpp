#include "convert/short_codes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "convert/courses_groups.h"
#include "convert/time_slots.h"
#include "platform/os/error.h"

namespace orvida::convert {
namespace {

// Codes handed out in order from one fresh registry.
std::vector<std::string> Codes(const std::vector<std::string>& candidates, int base_length) {
  CodeRegistry registry;
  std::vector<std::string> codes;
  for (const std::string& candidate : candidates) {
    codes.push_back(MakeShortCode(registry, candidate, base_length));
  }
  return codes;
}

std::vector<std::string> Repeat(const std::string& text, int times) {
  return std::vector<std::string>(times, text);
}

TEST(ShortCodes, MakeShortCodeFollowsTheRule) {
  struct Case {
    std::string what;
    std::vector<std::string> candidates;
    int base_length;
    std::vector<std::string> codes;
  };
  const std::vector<Case> cases = {
      {"subjects starting with Leng", {"Leng", "Leng", "Leng"}, 3, {"Leng", "Len1", "Len2"}},
      {"a candidate equal to a counted code",
       {"Leng", "Leng", "Len1"},
       3,
       {"Leng", "Len1", "Len2"}},
      {"letter case does not count", {"MATE", "Mate"}, 3, {"MATE", "Mat1"}},
      {"accented capitals fold too", {"\xD1OQU", "\xF1oqu"}, 3, {"\xD1OQU", "\xF1oq1"}},
      {"rooms coded A1 three times, then A11",
       {"A1", "A1", "A1", "A11"},
       2,
       {"A1", "A11", "A12", "A13"}},
      {"rooms named from their name", {"Labo", "Labo"}, 2, {"Labo", "La1"}},
      {"gymnasiums", {"Gimn", "Gimn", "Gimn"}, 2, {"Gimn", "Gi1", "Gi2"}},
      {"a room code in lower case", {"AULA", "aula"}, 2, {"AULA", "au1"}},
      {"teacher initials", {"GLA", "GLA", "GLA"}, 3, {"GLA", "GLA1", "GLA2"}},
      {"empty candidates", {"", "", ""}, 3, {"", "1", "2"}},
      {"long room codes are cut to four", {"AULA101", "AULA102"}, 2, {"AULA", "AU1"}},
      {"class units 1ESO A and B", {"1ESO", "1ESO"}, 3, {"1ESO", "1ES1"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Codes(c.candidates, c.base_length), c.codes) << c.what;
  }
}

TEST(ShortCodes, CountersOfSeveralDigitsShortenTheBase) {
  const std::vector<std::string> subjects = Codes(Repeat("Leng", 12), 3);
  EXPECT_EQ(subjects[9], "Len9");
  EXPECT_EQ(subjects[10], "Le10");  // the tenth collision
  EXPECT_EQ(subjects[11], "Le11");

  const std::vector<std::string> rooms = Codes(Repeat("Gimn", 102), 2);
  EXPECT_EQ(rooms[99], "Gi99");
  EXPECT_EQ(rooms[100], "G100");
  EXPECT_EQ(rooms[101], "G101");
}

// The rule spelled out as plainly as possible: a scan from counter 1 over every code so far.
std::string PlainShortCode(std::set<std::string>& taken, const std::string& candidate, int k) {
  auto lower = [](std::string text) {
    for (char& ch : text) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return text;
  };
  std::string code = candidate.substr(0, 4);
  for (int n = 1; taken.count(lower(code)) != 0; ++n) {
    const std::string digits = std::to_string(n);
    code = candidate.substr(0, std::min<std::size_t>(k, 4 - digits.size())) + digits;
  }
  taken.insert(lower(code));
  return code;
}

TEST(ShortCodes, CodesStayUniqueAndFitFourCharacters) {
  // Candidates from a tiny alphabet collide over and over, across bases and lengths, and many
  // of them equal codes the counter made earlier.
  CodeRegistry registry;
  std::set<std::string> taken;
  const std::string letters = "aA1b";
  for (int i = 0; i < 1200; ++i) {
    std::string candidate;
    for (int n = i; n > 0 && candidate.size() < 6; n /= 4) candidate += letters[n % 4];
    const int base_length = i % 3 == 0 ? 2 : 3;
    const std::size_t before = taken.size();
    const std::string code = MakeShortCode(registry, candidate, base_length);
    ASSERT_EQ(code, PlainShortCode(taken, candidate, base_length)) << candidate;
    ASSERT_LE(code.size(), 4u) << candidate;
    ASSERT_EQ(taken.size(), before + 1) << "duplicate code " << code << " for " << candidate;
  }
  EXPECT_EQ(registry.size(), 1200);
}

TEST(ShortCodes, RunningOutOfCodesIsAnError) {
  CodeRegistry registry;
  registry.Add("");
  for (int i = 1; i < 10000; ++i) registry.Add(std::to_string(i));
  try {
    MakeShortCode(registry, "", 3);
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "No quedan códigos cortos libres para ''");
  }
}

TEST(ShortCodes, RegistryFindsTheFirstEntryIgnoringCase) {
  CodeRegistry registry;
  registry.Add("Mate");
  registry.Add("MATE");
  registry.Add(
      "\x8A"
      "apo");  // Š
  EXPECT_EQ(registry.Find("mate"), 0);
  EXPECT_EQ(registry.Find("\x9A"
                          "APO"),
            2);  // š
  EXPECT_EQ(registry.Find("Mat"), -1);
  EXPECT_EQ(registry.Find("M\xC1TE"), -1);  // an accent is another letter
}

TEST(MinutesToClock, WritesHoursAndMinutes) {
  struct Case {
    std::int32_t minutes;
    std::string clock;
  };
  const std::vector<Case> cases = {
      {0, "00:00"},
      {545, "09:05"},
      {480, "08:00"},
      {1439, "23:59"},
      {1500, "25:00"},
      {6000, "100:00"},
      {-30, "-1:-30"},
      {-60, "-1:00"},
      {-90, "-2:-30"},
      {-5, "-1:-5"},
      {-600, "-10:00"},
      {2147483647, "35791394:07"},
      {-2147483647 - 1, "-35791395:-8"},
  };
  for (const Case& c : cases) EXPECT_EQ(MinutesToClock(c.minutes), c.clock) << c.minutes;
}

TEST(EducationLevels, LastMatchingRowDecides) {
  struct Case {
    std::int32_t key;
    std::string nivel;
    std::string curso;
  };
  const std::vector<Case> cases = {
      {2063, "", ""},          {2064, "BAC", ""},       {2067, "BAC", ""},
      {5312, "FPGM", ""},      {5886, "FPGM", ""},      {5887, "CFGM", ""},
      {5906, "CFGM", ""},      {5915, "CFGM", ""},      {5916, "", ""},
      {100316, "ESPA", "M1"},  {100317, "PRI", ""},     {100322, "PRI", ""},
      {101681, "ESO", "4D"},   {101940, "EBO", "3"},    {110940, "ESO", "3D"},
      {111405, "FPGS", "OnL"}, {111440, "ESPA", "PA1"}, {111443, "ESPA", "PA4"},
      {111444, "ESPA", "OL1"}, {111447, "ESPA", "OL4"}, {112151, "CFGS", "AD"},
      {113001, "FPGS", ""},    {113002, "FPGM", ""},    {113005, "FPGM", ""},
      {113006, "", ""},        {-2064, "", ""},         {0, "", ""},
  };
  for (const Case& c : cases) {
    const LevelCodes codes = LookUpEducationLevel(c.key);
    EXPECT_EQ(codes.nivel, c.nivel) << c.key;
    EXPECT_EQ(codes.curso, c.curso) << c.key;
  }
}

}  // namespace
}  // namespace orvida::convert

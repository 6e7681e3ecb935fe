#include "platform/os/text.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/os/error.h"

namespace orvida::os {
namespace {

TEST(OsText, Utf8ToAnsiConvertsAndSubstitutes) {
  struct Case {
    std::string utf8;
    std::string ansi;
  };
  const std::vector<Case> cases = {
      {"", ""},
      {"MATE 1º", "MATE 1\xBA"},
      {"España",
       "Espa\xF1"
       "a"},
      {"5€", "5\x80"},
      {"“q” – ‘x’ …", "\x93q\x94 \x96 \x91x\x92 \x85"},
      {"Œuvre Šárka Žižka Ÿ", "\x8Cuvre \x8A\xE1rka \x8Ei\x9Ek\x61 \x9F"},
      // Characters the code page lacks: one '?' each, whatever their length in UTF-8.
      {"Łódź 中 😀",
       "?\xF3"
       "d? ? ?"},
      // Invalid bytes: a stray continuation, a byte that never starts a sequence, an overlong
      // form, an encoded surrogate. Following ASCII is never swallowed.
      {"a\x80"
       "b",
       "a?b"},
      {"bad\xFF x", "bad? x"},
      {"\xC0\xAF!", "?!"},
      {"\xED\xA0\x80z", "?z"},
      {"\xE2"
       "A B",
       "?A B"},
      // Sequences cut off at the end or in the middle.
      {"fin\xE2\x82", "fin?"},
      {"\xE2\x82mid", "?mid"},
      {"\xF0\x9F\x98", "?"},
      {"\xC3", "?"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8ToAnsi(c.utf8), c.ansi) << "input: " << c.utf8;
  }
}

TEST(OsText, EveryByteRoundTripsThroughUtf8) {
  for (int b = 1; b < 256; ++b) {
    std::string ansi = "x" + std::string(1, static_cast<char>(b)) + "y";
    std::string utf8 = AnsiToUtf8(ansi);
    EXPECT_EQ(Utf8ToAnsi(utf8), ansi) << "byte " << b;
  }
  // Spot checks of the decoding itself, including the undefined bytes.
  EXPECT_EQ(AnsiToUtf8("\x80"), "€");
  EXPECT_EQ(AnsiToUtf8("\x9F\xFF"), "Ÿÿ");
  EXPECT_EQ(AnsiToUtf8("\x81\x8D\x8F\x90\x9D"), "\u0081\u008D\u008F\u0090\u009D");
  EXPECT_EQ(AnsiToUtf8("Jos\xE9"), "José");
  EXPECT_EQ(AnsiToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(OsText, ConversionIsSafeOnSeveralThreads) {
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < 2000; ++i) {
        if (Utf8ToAnsi("Peña € 中\xE2") !=
            "Pe\xF1"
            "a \x80 ??")
          ++failures[t];
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int f : failures) EXPECT_EQ(f, 0);
}

TEST(OsText, SameTextIgnoreCase) {
  struct Case {
    std::string a;
    std::string b;
    bool same;
  };
  const std::vector<Case> cases = {
      {"MATE", "Mate", true},
      {"MATE", "MATES", false},
      {"", "", true},
      {"\xD1", "\xF1", true},          // Ñ ñ
      {"A", "\xC1", false},            // A Á
      {"\xC1", "\xE1", true},          // Á á
      {"\x8C", "\x9C", true},          // Œ œ
      {"\x9F", "\xFF", true},          // Ÿ ÿ
      {"\x8A\x8E", "\x9A\x9E", true},  // ŠŽ šž
      {"\xD7", "\xF7", false},         // × ÷ are not a case pair
      {"\xDF", "SS", false},           // ß does not expand
      {"\xB5", "\xB5", true},
      {"1A", "1a", true},
      {"@", "`", false},
      {"[", "{", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SameTextIgnoreCase(c.a, c.b), c.same) << AnsiToUtf8(c.a) << " / " << AnsiToUtf8(c.b);
    EXPECT_EQ(SameTextIgnoreCase(c.b, c.a), c.same) << AnsiToUtf8(c.b) << " / " << AnsiToUtf8(c.a);
  }
}

TEST(OsText, StrToInt) {
  struct Good {
    std::string text;
    std::int32_t value;
  };
  for (const auto& c : std::vector<Good>{{"12", 12},
                                         {"-5", -5},
                                         {"0", 0},
                                         {"-0", 0},
                                         {"007", 7},
                                         {"2147483647", 2147483647},
                                         {"-2147483648", -2147483647 - 1}}) {
    EXPECT_EQ(StrToInt(c.text), c.value) << c.text;
  }
  struct Bad {
    std::string text;
    std::string message;
  };
  const std::vector<Bad> bad = {
      {"2147483648", "'2147483648' no es un valor entero válido"},
      {"-2147483649", "'-2147483649' no es un valor entero válido"},
      {"99999999999999999999", "'99999999999999999999' no es un valor entero válido"},
      {" 1", "' 1' no es un valor entero válido"},
      {"1 ", "'1 ' no es un valor entero válido"},
      {"+1", "'+1' no es un valor entero válido"},
      {"0x1A", "'0x1A' no es un valor entero válido"},
      {"", "'' no es un valor entero válido"},
      {"-", "'-' no es un valor entero válido"},
      {"--1", "'--1' no es un valor entero válido"},
      {"1.5", "'1.5' no es un valor entero válido"},
      {"A\xD1O", "'AÑO' no es un valor entero válido"},  // the message is UTF-8
  };
  for (const auto& c : bad) {
    try {
      StrToInt(c.text);
      ADD_FAILURE() << "accepted " << c.text;
    } catch (const ConversionError& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
}

TEST(OsText, HexStrToInt) {
  EXPECT_EQ(HexStrToInt("1A2B"), 0x1A2Bu);
  EXPECT_EQ(HexStrToInt("ffffffff"), 0xFFFFFFFFu);
  EXPECT_EQ(HexStrToInt("0"), 0u);
  EXPECT_EQ(HexStrToInt("000000001"), 1u);
  EXPECT_EQ(HexStrToInt("aBcD"), 0xABCDu);
  for (std::string bad : {"100000000", "0x1A", "", "1G", " 1", "-1", "1 "}) {
    try {
      HexStrToInt(bad);
      ADD_FAILURE() << "accepted " << bad;
    } catch (const ConversionError& e) {
      EXPECT_EQ(std::string(e.what()), "'$" + bad + "' no es un valor entero válido");
    }
  }
}

}  // namespace
}  // namespace orvida::os

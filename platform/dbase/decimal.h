#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Decimal numbers as dBase keeps them: ASCII text in N and F fields, and 12-byte packed keys in
// the numeric tags of a production index. Everything works on the decimal text itself so that no
// value is ever rounded through a double on its way between the two.
namespace orvida::dbase::internal {

// A decimal number split into its parts: "-0012.500" -> negative, "12", "5".
// `integer` has no leading zeros (empty for 0.x), `fraction` no trailing zeros.
struct Decimal {
  bool negative = false;
  std::string integer;
  std::string fraction;

  bool IsZero() const { return integer.empty() && fraction.empty(); }
  // Shortest form: "12.5", "-0.5", "4", "0".
  std::string ToText() const;
};

// Parses the text of a numeric field: blanks around it, an optional sign, digits with at most
// one '.', at least one digit. Anything else (asterisks of an overflowed value, a comma) gives
// nullopt.
std::optional<Decimal> ParseDecimal(std::string_view text);

// Exact comparison of two decimals: <0, 0, >0.
int CompareDecimal(const Decimal& a, const Decimal& b);

// Rounds to a whole number, halves away from zero: "2.5" -> "3", "-2.5" -> "-3".
Decimal RoundToInteger(const Decimal& value);

// The 12-byte key of a numeric tag: the value as +/-0.d1d2...dk x 10^e, byte 0 = 0x34 + e,
// byte 1 = sign (0x80), digit count (bits 2-6) and the constant bit 0, then the digits as packed
// BCD, high nibble first. Whole numbers keep their trailing zeros in the digit count (100 -> 3
// digits), fractions drop them. At most 20 digits are kept.
using NumericKey = std::array<std::uint8_t, 12>;
NumericKey EncodeNumericKey(const Decimal& value);
// The inverse; nullopt when the bytes are not a key (a digit above 9, a count above 20).
std::optional<Decimal> DecodeNumericKey(const NumericKey& key);

}  // namespace orvida::dbase::internal

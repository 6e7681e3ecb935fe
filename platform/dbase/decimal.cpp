#include "platform/dbase/decimal.h"

#include <algorithm>

namespace orvida::dbase::internal {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void StripLeadingZeros(std::string& digits) {
  digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
}

void StripTrailingZeros(std::string& digits) {
  const size_t last = digits.find_last_not_of('0');
  digits.erase(last == std::string::npos ? 0 : last + 1);
}

// Compares two magnitudes digit by digit.
int CompareMagnitude(const Decimal& a, const Decimal& b) {
  if (a.integer.size() != b.integer.size()) return a.integer.size() < b.integer.size() ? -1 : 1;
  if (int c = a.integer.compare(b.integer); c != 0) return c < 0 ? -1 : 1;
  const size_t n = std::max(a.fraction.size(), b.fraction.size());
  for (size_t i = 0; i < n; ++i) {
    const char da = i < a.fraction.size() ? a.fraction[i] : '0';
    const char db = i < b.fraction.size() ? b.fraction[i] : '0';
    if (da != db) return da < db ? -1 : 1;
  }
  return 0;
}

}  // namespace

std::string Decimal::ToText() const {
  if (IsZero()) return "0";
  std::string text = negative ? "-" : "";
  text += integer.empty() ? "0" : integer;
  if (!fraction.empty()) text += "." + fraction;
  return text;
}

std::optional<Decimal> ParseDecimal(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return std::nullopt;
  text = text.substr(first, text.find_last_not_of(' ') - first + 1);
  Decimal value;
  if (text.front() == '-' || text.front() == '+') {
    value.negative = text.front() == '-';
    text.remove_prefix(1);
  }
  const size_t point = text.find('.');
  const std::string_view integer = text.substr(0, point);
  const std::string_view fraction =
      point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
  if (integer.empty() && fraction.empty()) return std::nullopt;
  if (!std::all_of(integer.begin(), integer.end(), IsDigit) ||
      !std::all_of(fraction.begin(), fraction.end(), IsDigit)) {
    return std::nullopt;
  }
  value.integer = integer;
  value.fraction = fraction;
  StripLeadingZeros(value.integer);
  StripTrailingZeros(value.fraction);
  if (value.IsZero()) value.negative = false;
  return value;
}

int CompareDecimal(const Decimal& a, const Decimal& b) {
  if (a.negative != b.negative) return a.negative ? -1 : 1;
  const int magnitude = CompareMagnitude(a, b);
  return a.negative ? -magnitude : magnitude;
}

Decimal RoundToInteger(const Decimal& value) {
  Decimal rounded;
  rounded.negative = value.negative;
  rounded.integer = value.integer;
  if (!value.fraction.empty() && value.fraction[0] >= '5') {
    // Add one to the magnitude, carrying through the nines.
    std::string digits = rounded.integer.empty() ? "0" : rounded.integer;
    int i = static_cast<int>(digits.size()) - 1;
    while (i >= 0 && digits[i] == '9') digits[i--] = '0';
    if (i < 0) {
      digits.insert(digits.begin(), '1');
    } else {
      ++digits[i];
    }
    rounded.integer = digits;
  }
  if (rounded.IsZero()) rounded.negative = false;
  return rounded;
}

NumericKey EncodeNumericKey(const Decimal& value) {
  NumericKey key{};
  if (value.IsZero()) {
    key[0] = 0x34;
    key[1] = 0x01;
    return key;
  }
  std::string digits;
  int exponent = 0;
  if (!value.integer.empty()) {
    exponent = static_cast<int>(value.integer.size());
    digits = value.integer + value.fraction;
  } else {
    const size_t zeros = value.fraction.find_first_not_of('0');
    exponent = -static_cast<int>(zeros);
    digits = value.fraction.substr(zeros);
  }
  if (digits.size() > 20) digits.resize(20);
  // A byte holds exponents from -52 to 203; no field of 254 characters goes beyond that.
  exponent = std::clamp(exponent, -0x34, 0xFF - 0x34);
  key[0] = static_cast<std::uint8_t>(0x34 + exponent);
  key[1] = static_cast<std::uint8_t>((value.negative ? 0x80 : 0x00) | (digits.size() << 2) | 0x01);
  for (size_t i = 0; i < digits.size(); ++i) {
    const int nibble = digits[i] - '0';
    key[2 + i / 2] |= static_cast<std::uint8_t>(i % 2 == 0 ? nibble << 4 : nibble);
  }
  return key;
}

std::optional<Decimal> DecodeNumericKey(const NumericKey& key) {
  const size_t count = (key[1] >> 2) & 0x1F;
  if (count > 20) return std::nullopt;
  std::string digits;
  for (size_t i = 0; i < count; ++i) {
    const int nibble = i % 2 == 0 ? key[2 + i / 2] >> 4 : key[2 + i / 2] & 0x0F;
    if (nibble > 9) return std::nullopt;
    digits.push_back(static_cast<char>('0' + nibble));
  }
  Decimal value;
  value.negative = (key[1] & 0x80) != 0;
  const int exponent = static_cast<int>(key[0]) - 0x34;
  const int k = static_cast<int>(digits.size());
  if (exponent >= k) {
    value.integer = digits + std::string(exponent - k, '0');
  } else if (exponent > 0) {
    value.integer = digits.substr(0, exponent);
    value.fraction = digits.substr(exponent);
  } else {
    value.fraction = std::string(-exponent, '0') + digits;
  }
  StripLeadingZeros(value.integer);
  StripTrailingZeros(value.fraction);
  if (value.IsZero()) value.negative = false;
  return value;
}

}  // namespace orvida::dbase::internal

#include "platform/dbase/field_value.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/dbase/decimal.h"
#include "platform/os/error.h"
#include "platform/os/text.h"

namespace orvida::dbase::internal {
namespace {

constexpr std::int64_t kMillisPerDay = 86'400'000;
constexpr std::int64_t kUnixEpochJulianDay = 2'440'588;
// Days from 0001-01-01 to 1970-01-01 in the proleptic Gregorian calendar.
constexpr std::int64_t kDaysFromYearOneToUnixEpoch = 719'162;

std::string_view Raw(const FieldLayout& field, std::string_view record) {
  return record.substr(field.offset, static_cast<std::size_t>(field.info.length));
}

std::string_view TrimBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string_view TrimTrailing(std::string_view text) {
  const std::size_t last = text.find_last_not_of(std::string_view(" \0", 2));
  return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

bool AllZero(std::string_view bytes) {
  for (char c : bytes) {
    if (c != '\0') return false;
  }
  return true;
}

std::uint64_t BigEndian(std::string_view bytes) {
  std::uint64_t value = 0;
  for (char c : bytes) value = value << 8 | static_cast<std::uint8_t>(c);
  return value;
}

std::uint64_t LittleEndian(std::string_view bytes) {
  std::uint64_t value = 0;
  for (std::size_t i = bytes.size(); i-- > 0;)
    value = value << 8 | static_cast<std::uint8_t>(bytes[i]);
  return value;
}

void PutBigEndian(std::string& record, std::size_t at, std::uint64_t value, int size) {
  for (int i = size - 1; i >= 0; --i, value >>= 8) record[at + i] = static_cast<char>(value & 0xFF);
}

void PutLittleEndian(std::string& record, std::size_t at, std::uint64_t value, int size) {
  for (int i = 0; i < size; ++i, value >>= 8) record[at + i] = static_cast<char>(value & 0xFF);
}

double BitsToDouble(std::uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

std::uint64_t DoubleToBits(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

bool IsVisualFox(Flavor flavor) { return flavor == Flavor::kVisualFox; }

// Binary values; nullopt for the all-zero bytes that dBase 7 uses for "no value".
std::optional<std::int32_t> BinaryInteger(Flavor flavor, std::string_view raw) {
  if (flavor == Flavor::kLevel7) {
    if (AllZero(raw)) return std::nullopt;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(BigEndian(raw)) ^ 0x80000000u);
  }
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(LittleEndian(raw)));
}

std::optional<double> BinaryDouble(Flavor flavor, char type, std::string_view raw) {
  if (type == 'Y') return static_cast<double>(static_cast<std::int64_t>(LittleEndian(raw))) / 1e4;
  if (flavor == Flavor::kLevel7) {
    if (AllZero(raw)) return std::nullopt;
    std::uint64_t bits = BigEndian(raw);
    // Sortable form: positives have the sign bit set, negatives have every bit inverted.
    bits = (bits & 0x8000000000000000ull) != 0 ? bits & 0x7FFFFFFFFFFFFFFFull : ~bits;
    return BitsToDouble(bits);
  }
  return BitsToDouble(LittleEndian(raw));
}

bool IsBinaryInteger(char type) { return type == 'I' || type == '+'; }
bool IsBinaryDouble(Flavor flavor, char type) {
  return type == 'O' || type == 'Y' || (type == 'B' && IsVisualFox(flavor));
}
bool IsNumericText(char type) { return type == 'N' || type == 'F'; }
bool IsCharacter(char type) { return type == 'C' || type == 'V'; }

std::string ShortestText(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

std::string TwoDigits(int value) {
  return std::string(1, static_cast<char>('0' + value / 10)) + static_cast<char>('0' + value % 10);
}

// AAAA-MM-DD of a day counted from 1970-01-01.
std::string CivilDate(std::int64_t days) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto doe = static_cast<unsigned>(days - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const auto day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const auto month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  const std::int64_t year = static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0);
  std::string text = std::to_string(year);
  if (text.size() < 4) text.insert(0, 4 - text.size(), '0');
  return text + "-" + TwoDigits(month) + "-" + TwoDigits(day);
}

std::string DateTime(std::int64_t days_since_epoch, std::int64_t millis_of_day) {
  const std::int64_t seconds = millis_of_day / 1000;
  return CivilDate(days_since_epoch) + " " + TwoDigits(static_cast<int>(seconds / 3600)) + ":" +
         TwoDigits(static_cast<int>(seconds / 60 % 60)) + ":" +
         TwoDigits(static_cast<int>(seconds % 60));
}

std::string TimestampText(Flavor flavor, char type, std::string_view raw) {
  if (AllZero(raw)) return "";
  if (type == 'T') {
    const auto julian_day = static_cast<std::int64_t>(LittleEndian(raw.substr(0, 4)));
    const auto millis = static_cast<std::int64_t>(LittleEndian(raw.substr(4, 4)));
    if (millis >= kMillisPerDay) return "";
    return DateTime(julian_day - kUnixEpochJulianDay, millis);
  }
  // dBase 7: a big-endian double counting milliseconds, 0001-01-01 00:00 being day 1.
  (void)flavor;
  const double millis = BitsToDouble(BigEndian(raw));
  if (!std::isfinite(millis) || millis < 0 || millis > 1e17) return "";
  const auto total = static_cast<std::int64_t>(millis);
  const std::int64_t day = total / kMillisPerDay;
  return DateTime(day - 1 - kDaysFromYearOneToUnixEpoch, total % kMillisPerDay);
}

Error NotNumeric(const FieldLayout& field, const std::string& shown_name) {
  return Error("El campo " + field.info.name + " de la tabla " + shown_name +
               " no es numérico (tipo " + std::string(1, field.info.type) + ")");
}

Error NotWritable(const FieldLayout& field, const std::string& shown_name) {
  return Error("No se puede escribir el campo " + field.info.name + " (tipo " +
               std::string(1, field.info.type) + ") de la tabla " + shown_name);
}

ConversionError NotAFloat(std::string_view ansi_text) {
  return ConversionError("'" + os::AnsiToUtf8(ansi_text) +
                         "' no es un valor de coma flotante válido");
}

ConversionError NotAnInteger(std::string_view ansi_text) {
  return ConversionError("'" + os::AnsiToUtf8(ansi_text) + "' no es un valor entero válido");
}

std::int32_t RoundedInteger(double value) {
  const double rounded = std::round(value);  // halves away from zero
  if (!(rounded >= std::numeric_limits<std::int32_t>::min() &&
        rounded <= std::numeric_limits<std::int32_t>::max())) {
    throw NotAnInteger(ShortestText(value));
  }
  return static_cast<std::int32_t>(rounded);
}

double ParseFloat(std::string_view ansi_text) {
  const std::string_view trimmed = TrimBlanks(ansi_text);
  if (trimmed.empty()) return 0.0;
  const std::optional<Decimal> decimal = ParseDecimal(trimmed);
  if (!decimal) throw NotAFloat(trimmed);
  const std::string text = decimal->ToText();
  double value = 0.0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  // A number beyond the range of a double is refused rather than read as 0 (from_chars leaves
  // the value untouched); one too small for it, with no whole part, is 0.
  if (result.ec == std::errc::result_out_of_range && !decimal->integer.empty()) {
    throw NotAFloat(trimmed);
  }
  return value;
}

Error DoesNotFit(const FieldLayout& field, const std::string& text, const std::string& shown_name) {
  return Error("El valor " + text + " no cabe en el campo " + field.info.name + " (" +
               std::string(1, field.info.type) + " " + std::to_string(field.info.length) + "." +
               std::to_string(field.info.decimals) + ") de la tabla " + shown_name);
}

void PutNumberText(const FieldLayout& field, std::string& record, std::string text,
                   const std::string& shown_name) {
  // "-0.0000" is how a tiny negative value rounds; it is zero.
  if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
  const auto length = static_cast<std::size_t>(field.info.length);
  if (text.size() > length) throw DoesNotFit(field, text, shown_name);
  record.replace(field.offset, length, std::string(length - text.size(), ' ') + text);
}

}  // namespace

std::string FieldText(Flavor flavor, const FieldLayout& field, std::string_view record) {
  const std::string_view raw = Raw(field, record);
  const char type = field.info.type;
  if (IsCharacter(type)) return std::string(TrimTrailing(raw));
  if (IsNumericText(type)) {
    const std::string_view trimmed = TrimBlanks(raw);
    if (trimmed.empty()) return "";
    const std::optional<Decimal> value = ParseDecimal(trimmed);
    return value ? value->ToText() : std::string(trimmed);
  }
  switch (type) {
    case 'L':
      switch (raw[0]) {
        case 'T':
        case 't':
        case 'Y':
        case 'y':
          return "T";
        case 'F':
        case 'f':
        case 'N':
        case 'n':
          return "F";
        default:
          return "";
      }
    case 'D': {
      const std::string_view trimmed = TrimBlanks(raw);
      if (trimmed.empty() || trimmed == "00000000") return "";
      if (trimmed.size() == 8 && trimmed.find_first_not_of("0123456789") == std::string::npos) {
        return std::string(trimmed.substr(0, 4)) + "-" + std::string(trimmed.substr(4, 2)) + "-" +
               std::string(trimmed.substr(6, 2));
      }
      return std::string(trimmed);
    }
    case '@':
    case 'T':
      return TimestampText(flavor, type, raw);
    case 'M':
    case 'G':
    case 'P':
    case 'W':
    case 'Q':
      return "";  // the text lives in a memo file, which the engine does not read
    default:
      break;
  }
  if (IsBinaryInteger(type)) {
    const auto value = BinaryInteger(flavor, raw);
    return value ? std::to_string(*value) : "";
  }
  if (IsBinaryDouble(flavor, type)) {
    const auto value = BinaryDouble(flavor, type, raw);
    return value ? ShortestText(*value) : "";
  }
  if (type == 'B') return "";  // dBase 5/7 binary memo
  return std::string(TrimBlanks(raw));
}

std::int32_t FieldInteger(Flavor flavor, const FieldLayout& field, std::string_view record,
                          const std::string& shown_name) {
  const std::string_view raw = Raw(field, record);
  const char type = field.info.type;
  if (IsCharacter(type)) {
    const std::string_view trimmed = TrimBlanks(TrimTrailing(raw));
    return trimmed.empty() ? 0 : os::StrToInt(trimmed);
  }
  if (IsNumericText(type)) {
    const std::string_view trimmed = TrimBlanks(raw);
    if (trimmed.empty()) return 0;
    const std::optional<Decimal> value = ParseDecimal(trimmed);
    if (!value) throw NotAnInteger(trimmed);
    try {
      return os::StrToInt(RoundToInteger(*value).ToText());
    } catch (const ConversionError&) {
      throw NotAnInteger(trimmed);
    }
  }
  if (IsBinaryInteger(type)) return BinaryInteger(flavor, raw).value_or(0);
  if (IsBinaryDouble(flavor, type)) {
    const auto value = BinaryDouble(flavor, type, raw);
    return value ? RoundedInteger(*value) : 0;
  }
  throw NotNumeric(field, shown_name);
}

double FieldFloat(Flavor flavor, const FieldLayout& field, std::string_view record,
                  const std::string& shown_name) {
  const std::string_view raw = Raw(field, record);
  const char type = field.info.type;
  if (IsCharacter(type)) return ParseFloat(TrimTrailing(raw));
  if (IsNumericText(type)) return ParseFloat(raw);
  if (IsBinaryInteger(type)) return BinaryInteger(flavor, raw).value_or(0);
  if (IsBinaryDouble(flavor, type)) return BinaryDouble(flavor, type, raw).value_or(0.0);
  throw NotNumeric(field, shown_name);
}

void ClearField(Flavor flavor, const FieldLayout& field, std::string& record) {
  const char type = field.info.type;
  const bool binary = IsBinaryInteger(type) || IsBinaryDouble(flavor, type) || type == '@' ||
                      type == 'T' || type == '0';
  record.replace(field.offset, static_cast<std::size_t>(field.info.length),
                 static_cast<std::size_t>(field.info.length), binary ? '\0' : ' ');
}

void StoreText(Flavor flavor, const FieldLayout& field, std::string& record, std::string_view value,
               const std::string& shown_name) {
  const char type = field.info.type;
  const auto length = static_cast<std::size_t>(field.info.length);
  if (IsCharacter(type)) {
    const std::string_view cut = value.substr(0, length);
    record.replace(field.offset, length, std::string(cut) + std::string(length - cut.size(), ' '));
    return;
  }
  if (IsNumericText(type) || IsBinaryDouble(flavor, type)) {
    if (TrimBlanks(value).empty()) {
      ClearField(flavor, field, record);
      return;
    }
    StoreFloat(flavor, field, record, ParseFloat(value), shown_name);
    return;
  }
  if (IsBinaryInteger(type)) {
    const std::string_view trimmed = TrimBlanks(value);
    if (trimmed.empty()) {
      ClearField(flavor, field, record);
      return;
    }
    StoreInteger(flavor, field, record, os::StrToInt(trimmed), shown_name);
    return;
  }
  if (type == 'L') {
    const std::string_view trimmed = TrimBlanks(value);
    if (trimmed.empty()) {
      record[field.offset] = ' ';
    } else if (trimmed.size() == 1 &&
               std::string_view("TtYy").find(trimmed[0]) != std::string_view::npos) {
      record[field.offset] = 'T';
    } else if (trimmed.size() == 1 &&
               std::string_view("FfNn").find(trimmed[0]) != std::string_view::npos) {
      record[field.offset] = 'F';
    } else {
      throw Error("'" + os::AnsiToUtf8(value) + "' no es un valor lógico válido para el campo " +
                  field.info.name + " de la tabla " + shown_name);
    }
    return;
  }
  if (type == 'D' && length == 8) {
    const std::string_view trimmed = TrimBlanks(value);
    std::string digits;
    if (trimmed.size() == 10 && trimmed[4] == '-' && trimmed[7] == '-') {
      digits = std::string(trimmed.substr(0, 4)) + std::string(trimmed.substr(5, 2)) +
               std::string(trimmed.substr(8, 2));
    } else {
      digits = std::string(trimmed);
    }
    if (!digits.empty() &&
        (digits.size() != 8 || digits.find_first_not_of("0123456789") != std::string::npos)) {
      throw Error("'" + os::AnsiToUtf8(value) +
                  "' no es una fecha AAAA-MM-DD válida para el campo " + field.info.name +
                  " de la tabla " + shown_name);
    }
    record.replace(field.offset, 8, digits.empty() ? std::string(8, ' ') : digits);
    return;
  }
  throw NotWritable(field, shown_name);
}

void StoreInteger(Flavor flavor, const FieldLayout& field, std::string& record, std::int32_t value,
                  const std::string& shown_name) {
  const char type = field.info.type;
  if (IsNumericText(type)) {
    std::string text = std::to_string(value);
    if (field.info.decimals > 0) text += "." + std::string(field.info.decimals, '0');
    PutNumberText(field, record, text, shown_name);
  } else if (IsCharacter(type)) {
    StoreText(flavor, field, record, std::to_string(value), shown_name);
  } else if (IsBinaryInteger(type)) {
    const auto bits = static_cast<std::uint32_t>(value);
    if (flavor == Flavor::kLevel7) {
      PutBigEndian(record, field.offset, bits ^ 0x80000000u, 4);
    } else {
      PutLittleEndian(record, field.offset, bits, 4);
    }
  } else if (IsBinaryDouble(flavor, type)) {
    StoreFloat(flavor, field, record, value, shown_name);
  } else {
    throw NotWritable(field, shown_name);
  }
}

void StoreFloat(Flavor flavor, const FieldLayout& field, std::string& record, double value,
                const std::string& shown_name) {
  if (!std::isfinite(value)) {
    throw Error("El campo " + field.info.name + " de la tabla " + shown_name +
                " no admite un valor infinito o indefinido");
  }
  const char type = field.info.type;
  if (IsNumericText(type)) {
    char text[400];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed,
                                      field.info.decimals);
    if (result.ec != std::errc()) throw DoesNotFit(field, ShortestText(value), shown_name);
    PutNumberText(field, record, std::string(text, result.ptr), shown_name);
  } else if (IsCharacter(type)) {
    StoreText(flavor, field, record, ShortestText(value), shown_name);
  } else if (IsBinaryInteger(type)) {
    StoreInteger(flavor, field, record, RoundedInteger(value), shown_name);
  } else if (type == 'Y') {
    const double scaled = std::round(value * 1e4);
    if (!(std::fabs(scaled) < 9.2e18)) throw NotWritable(field, shown_name);
    PutLittleEndian(record, field.offset,
                    static_cast<std::uint64_t>(static_cast<std::int64_t>(scaled)), 8);
  } else if (IsBinaryDouble(flavor, type)) {
    std::uint64_t bits = DoubleToBits(value == 0.0 ? 0.0 : value);
    if (flavor == Flavor::kLevel7) {
      bits = (bits & 0x8000000000000000ull) != 0 ? ~bits : bits | 0x8000000000000000ull;
      PutBigEndian(record, field.offset, bits, 8);
    } else {
      PutLittleEndian(record, field.offset, bits, 8);
    }
  } else {
    throw NotWritable(field, shown_name);
  }
}

void StoreLogical(Flavor flavor, const FieldLayout& field, std::string& record, bool value,
                  const std::string& shown_name) {
  if (field.info.type == 'L') {
    record[field.offset] = value ? 'T' : 'F';
  } else if (IsCharacter(field.info.type)) {
    StoreText(flavor, field, record, value ? "T" : "F", shown_name);
  } else {
    throw NotWritable(field, shown_name);
  }
}

}  // namespace orvida::dbase::internal

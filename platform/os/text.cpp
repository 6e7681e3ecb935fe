#include "platform/os/text.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "platform/os/error.h"

namespace orvida::os {
namespace {

// Code points of the bytes 0x80-0x9F; the five bytes the code page leaves undefined map to the
// C1 control of the same value. Every other byte is its own code point (ASCII and Latin-1).
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

constexpr char32_t AnsiCodePoint(unsigned char byte) {
  return byte >= 0x80 && byte <= 0x9F ? kHighControls[byte - 0x80] : char32_t{byte};
}

bool IsAscii(std::string_view text) {
  for (unsigned char c : text) {
    if (c >= 0x80) return false;
  }
  return true;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    // Nothing in the code page lies beyond the Basic Multilingual Plane.
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// One converter per thread: iconv descriptors carry state and must not be shared, and opening
// one for every field of a large document would dominate the conversion time.
class Utf8To1252Converter {
 public:
  Utf8To1252Converter() : cd_(iconv_open("WINDOWS-1252", "UTF-8")) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      throw Error(
          "No se puede convertir texto a Windows-1252: el sistema no ofrece esa conversión");
    }
  }
  ~Utf8To1252Converter() { iconv_close(cd_); }
  Utf8To1252Converter(const Utf8To1252Converter&) = delete;
  Utf8To1252Converter& operator=(const Utf8To1252Converter&) = delete;

  AnsiString Convert(std::string_view utf8) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    // UTF-8 never takes fewer bytes than Windows-1252, and a substitution writes one byte for
    // at least one byte skipped, so the input size always suffices.
    AnsiString out(utf8.size() + 16, '\0');
    char* in_ptr = const_cast<char*>(utf8.data());
    size_t in_left = utf8.size();
    char* out_ptr = out.data();
    size_t out_left = out.size();
    while (in_left > 0) {
      if (iconv(cd_, &in_ptr, &in_left, &out_ptr, &out_left) != static_cast<size_t>(-1)) break;
      if (errno != EILSEQ && errno != EINVAL) {
        throw Error(std::string("No se puede convertir texto a Windows-1252: ") +
                    std::strerror(errno));
      }
      const auto* seq = reinterpret_cast<const unsigned char*>(in_ptr);
      size_t skip = SequenceLength(seq, in_left);
      *out_ptr++ = Substitute(seq, skip);
      --out_left;
      in_ptr += skip;
      in_left -= skip;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(out.size() - out_left);
    return out;
  }

 private:
  // The bytes that make up the sequence starting at `seq`: the lead byte and as many of the
  // continuation bytes its value announces as follow it. Never fewer than one, and a byte that
  // is not a continuation is left for the next character rather than swallowed.
  static size_t SequenceLength(const unsigned char* seq, size_t available) {
    unsigned char lead = seq[0];
    size_t announced = lead >= 0xF0 && lead <= 0xF7   ? 4
                       : lead >= 0xE0 && lead <= 0xEF ? 3
                       : lead >= 0xC0 && lead <= 0xDF ? 2
                                                      : 1;
    size_t length = 1;
    while (length < announced && length < available && (seq[length] & 0xC0) == 0x80) ++length;
    return length;
  }

  // U+0081, U+008D, U+008F, U+0090 and U+009D go back to the bytes they came from, so that
  // text read from a table survives a trip through UTF-8; everything else the code page lacks
  // is '?'.
  static char Substitute(const unsigned char* seq, size_t length) {
    if (length == 2 && seq[0] == 0xC2) {
      unsigned char c = seq[1];
      if (c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D) {
        return static_cast<char>(c);
      }
    }
    return '?';
  }

  iconv_t cd_;
};

// Simple Unicode case folding of the code point of each byte (the code page's letters fold
// one to one, so the folded texts keep the byte count).
constexpr std::array<char32_t, 256> MakeFoldTable() {
  std::array<char32_t, 256> table{};
  for (int b = 0; b < 256; ++b) {
    char32_t cp = AnsiCodePoint(static_cast<unsigned char>(b));
    if ((cp >= U'A' && cp <= U'Z') || (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7)) {
      cp += 0x20;
    } else if (cp == 0x0160 || cp == 0x0152 || cp == 0x017D) {  // Š Œ Ž
      cp += 1;
    } else if (cp == 0x0178) {  // Ÿ
      cp = 0xFF;
    } else if (cp == 0xB5) {  // µ folds to Greek small mu
      cp = 0x03BC;
    }
    table[b] = cp;
  }
  return table;
}

constexpr std::array<char32_t, 256> kFold = MakeFoldTable();

[[noreturn]] void ThrowNotAnInteger(std::string_view shown_utf8) {
  throw ConversionError("'" + std::string(shown_utf8) + "' no es un valor entero válido");
}

}  // namespace

AnsiString Utf8ToAnsi(std::string_view utf8) {
  if (IsAscii(utf8)) return AnsiString(utf8);
  thread_local Utf8To1252Converter converter;
  return converter.Convert(utf8);
}

std::string AnsiToUtf8(std::string_view ansi) {
  if (IsAscii(ansi)) return std::string(ansi);
  std::string out;
  out.reserve(ansi.size() * 2);
  for (unsigned char c : ansi) AppendUtf8(out, AnsiCodePoint(c));
  return out;
}

bool SameTextIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto ca = static_cast<unsigned char>(a[i]);
    auto cb = static_cast<unsigned char>(b[i]);
    if (ca != cb && kFold[ca] != kFold[cb]) return false;
  }
  return true;
}

std::int32_t StrToInt(std::string_view ansi_text) {
  std::string_view digits = ansi_text;
  bool negative = !digits.empty() && digits.front() == '-';
  if (negative) digits.remove_prefix(1);
  if (digits.empty()) ThrowNotAnInteger(AnsiToUtf8(ansi_text));
  // Accumulated as a magnitude so that -2147483648 fits without overflowing on the way.
  const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
  std::int64_t magnitude = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') ThrowNotAnInteger(AnsiToUtf8(ansi_text));
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > limit) ThrowNotAnInteger(AnsiToUtf8(ansi_text));
  }
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

std::uint32_t HexStrToInt(std::string_view hex_digits) {
  auto fail = [&]() { ThrowNotAnInteger("$" + std::string(hex_digits)); };
  if (hex_digits.empty()) fail();
  std::uint64_t value = 0;
  for (char c : hex_digits) {
    int digit = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : -1;
    if (digit < 0) fail();
    value = value * 16 + static_cast<std::uint64_t>(digit);
    if (value > 0xFFFFFFFFULL) fail();
  }
  return static_cast<std::uint32_t>(value);
}

}  // namespace orvida::os

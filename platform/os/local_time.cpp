#include "platform/os/local_time.h"

#include <iconv.h>
#include <langinfo.h>

#include <clocale>
#include <ctime>

#include "platform/os/error.h"

namespace orvida::os {
namespace {

constexpr std::string_view kPlainFormat = "%d/%m/%Y %H:%M:%S";

bool IsPlainLocale(std::string_view name) {
  return name.empty() || name == "C" || name == "POSIX" || name.starts_with("C.");
}

std::tm LocalTm(std::chrono::system_clock::time_point when) {
  std::time_t t = std::chrono::system_clock::to_time_t(when);
  std::tm tm{};
  if (localtime_r(&t, &tm) == nullptr) {
    throw Error("No se puede convertir la fecha y hora a la hora local");
  }
  return tm;
}

bool IsValidUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    auto c = static_cast<unsigned char>(text[i]);
    size_t n = c < 0x80             ? 1
               : (c & 0xE0) == 0xC0 ? 2
               : (c & 0xF0) == 0xE0 ? 3
               : (c & 0xF8) == 0xF0 ? 4
                                    : 0;
    if (n == 0 || i + n > text.size()) return false;
    for (size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += n;
  }
  return true;
}

// Month and day-period names come in the locale's own character set; the result ends up in a
// UTF-8 document, so text in another character set is converted.
std::string ToUtf8FromLocale(const std::string& text) {
  if (IsValidUtf8(text)) return text;
  iconv_t cd = iconv_open("UTF-8", nl_langinfo(CODESET));
  if (cd == reinterpret_cast<iconv_t>(-1)) return text;
  std::string out(text.size() * 4 + 16, '\0');
  char* in_ptr = const_cast<char*>(text.data());
  size_t in_left = text.size();
  char* out_ptr = out.data();
  size_t out_left = out.size();
  size_t rc = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
  iconv_close(cd);
  if (rc == static_cast<size_t>(-1)) return text;
  out.resize(out.size() - out_left);
  return out;
}

}  // namespace

Clock SystemClock() {
  return [] { return std::chrono::system_clock::now(); };
}

std::string DateTimeFormat(std::string_view lc_time_name, std::string_view date_format,
                           std::string_view time_format) {
  if (IsPlainLocale(lc_time_name) || date_format.empty() || time_format.empty()) {
    return std::string(kPlainFormat);
  }
  std::string format;
  for (size_t i = 0; i < date_format.size(); ++i) {
    format.push_back(date_format[i]);
    if (date_format[i] == '%' && i + 1 < date_format.size()) {
      // Copies the conversion character too, so that "%%y" stays a literal.
      char conversion = date_format[++i];
      format.push_back(conversion == 'y' ? 'Y' : conversion);
    }
  }
  format.push_back(' ');
  format.append(time_format);
  return format;
}

std::string ShortDateLongTime(std::chrono::system_clock::time_point when) {
  const char* locale_name = std::setlocale(LC_TIME, nullptr);
  std::string format =
      DateTimeFormat(locale_name ? locale_name : "", nl_langinfo(D_FMT), nl_langinfo(T_FMT));
  std::tm tm = LocalTm(when);
  char buffer[256];
  size_t length = std::strftime(buffer, sizeof buffer, format.c_str(), &tm);
  if (length == 0) {
    length = std::strftime(buffer, sizeof buffer, std::string(kPlainFormat).c_str(), &tm);
  }
  return ToUtf8FromLocale(std::string(buffer, length));
}

LocalDate ToLocalDate(std::chrono::system_clock::time_point when) {
  std::tm tm = LocalTm(when);
  return LocalDate{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

}  // namespace orvida::os

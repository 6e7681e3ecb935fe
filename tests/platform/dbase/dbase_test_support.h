#pragma once

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

namespace orvida::dbase::testing {

using orvida::testing::ReadBytes;
using orvida::testing::TempFolder;

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline std::uint32_t U32(const std::string& b, std::size_t o) {
  return static_cast<std::uint8_t>(b[o]) | static_cast<std::uint8_t>(b[o + 1]) << 8 |
         static_cast<std::uint8_t>(b[o + 2]) << 16 |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[o + 3])) << 24;
}

inline std::uint16_t U16(const std::string& b, std::size_t o) {
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(b[o]) |
                                    static_cast<std::uint8_t>(b[o + 1]) << 8);
}

inline std::string Le(std::uint64_t value, int size) {
  std::string bytes;
  for (int i = 0; i < size; ++i, value >>= 8) bytes.push_back(static_cast<char>(value & 0xFF));
  return bytes;
}

inline std::string Be(std::uint64_t value, int size) {
  std::string bytes(static_cast<std::size_t>(size), '\0');
  for (int i = size - 1; i >= 0; --i, value >>= 8) bytes[i] = static_cast<char>(value & 0xFF);
  return bytes;
}

inline std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string text;
  for (unsigned char c : bytes) {
    if (!text.empty()) text += ' ';
    text += digits[c >> 4];
    text += digits[c & 15];
  }
  return text;
}

// A field of a table built byte by byte in a test.
struct RawField {
  std::string name;
  char type;
  int length;
  int decimals = 0;
};

// A dBase III/IV or FoxPro table written byte by byte: 32-byte header, 32-byte descriptors,
// 0x0D, `after_terminator` (FoxPro's 263-byte backlink), the records (each starting with its
// deletion flag) and 0x1A. `count` is the record count the header states.
inline std::string ShortHeaderTable(std::uint8_t version, const std::vector<RawField>& fields,
                                    const std::vector<std::string>& records, std::uint32_t count,
                                    const std::string& after_terminator = "",
                                    std::uint8_t language_driver = 0x57) {
  std::string header(32, '\0');
  header[0] = static_cast<char>(version);
  header[1] = 124;
  header[2] = 5;
  header[3] = 17;
  header.replace(4, 4, Le(count, 4));
  int record_length = 1;
  for (const RawField& f : fields) record_length += f.length;
  const std::size_t header_length = 32 + 32 * fields.size() + 1 + after_terminator.size();
  header.replace(8, 2, Le(header_length, 2));
  header.replace(10, 2, Le(static_cast<std::uint64_t>(record_length), 2));
  header[29] = static_cast<char>(language_driver);
  int offset = 1;
  for (const RawField& f : fields) {
    std::string d(32, '\0');
    d.replace(0, f.name.size(), f.name);
    d[11] = f.type;
    d.replace(12, 4, Le(static_cast<std::uint64_t>(offset), 4));
    d[16] = static_cast<char>(f.length);
    d[17] = static_cast<char>(f.decimals);
    header += d;
    offset += f.length;
  }
  header += '\x0D';
  header += after_terminator;
  for (const std::string& r : records) header += r;
  header += '\x1A';
  return header;
}

// A dBase 7 table: 68-byte header with the language driver name, 48-byte descriptors.
inline std::string Level7Table(const std::vector<RawField>& fields,
                               const std::vector<std::string>& records) {
  std::string header(68, '\0');
  header[0] = 0x04;
  header[1] = 124;
  header[2] = 1;
  header[3] = 2;
  header.replace(4, 4, Le(records.size(), 4));
  int record_length = 1;
  for (const RawField& f : fields) record_length += f.length;
  header.replace(8, 2, Le(68 + 48 * fields.size() + 1, 2));
  header.replace(10, 2, Le(static_cast<std::uint64_t>(record_length), 2));
  header[29] = 0x58;
  header.replace(32, 8, "DBWINWE0");
  for (const RawField& f : fields) {
    std::string d(48, '\0');
    d.replace(0, f.name.size(), f.name);
    d[32] = f.type;
    d[33] = static_cast<char>(f.length);
    d[34] = static_cast<char>(f.decimals);
    header += d;
  }
  header += '\x0D';
  for (const std::string& r : records) header += r;
  header += '\x1A';
  return header;
}

}  // namespace orvida::dbase::testing

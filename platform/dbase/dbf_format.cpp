#include "platform/dbase/dbf_format.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "platform/os/error.h"

namespace orvida::dbase::internal {
namespace {

constexpr std::uint8_t kTerminator = 0x0D;
constexpr std::uint8_t kLanguageDriver1252 = 0x58;  // Western European ANSI (DBWINWE0)

std::string Hex(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", value);
  return text;
}

// Version bytes of the dBase levels and FoxPro variants whose tables use the layouts below.
bool KnownVersion(std::uint8_t v) {
  switch (v) {
    case 0x03:
    case 0x04:
    case 0x05:
    case 0x30:
    case 0x31:
    case 0x32:
    case 0x43:
    case 0x63:
    case 0x7B:
    case 0x83:
    case 0x8B:
    case 0x8C:
    case 0x8E:
    case 0xB3:
    case 0xCB:
    case 0xE5:
    case 0xF5:
    case 0xFB:
      return true;
    default:
      return false;
  }
}

bool IsTypeLetter(char c) { return (c >= 'A' && c <= 'Z') || c == '+' || c == '@' || c == '0'; }

// The width a binary field must have for its bytes to be decoded; 0 for text-like fields.
int BinaryWidth(char type, Flavor flavor) {
  switch (type) {
    case 'I':
    case '+':
      return 4;
    case 'O':
    case '@':
    case 'T':
    case 'Y':
      return 8;
    case 'B':
      return flavor == Flavor::kVisualFox ? 8 : 0;
    default:
      return 0;
  }
}

struct RawField {
  std::string name;
  char type = 'C';
  std::uint32_t length = 0;
  std::uint32_t long_length = 0;  // FoxPro and Clipper: C fields over 255 use byte 17 as high byte
  int decimals = 0;
  std::uint8_t flags = 0;
};

struct Descriptors {
  std::vector<RawField> fields;
  std::string problem;  // empty when the layout fits
};

// Reads descriptors of `size` bytes from `first` until the terminator, within the header.
Descriptors ReadDescriptors(std::string_view header, std::size_t first, std::size_t size,
                            std::uint32_t record_length) {
  Descriptors result;
  std::size_t pos = first;
  bool terminated = false;
  while (pos < header.size()) {
    if (static_cast<std::uint8_t>(header[pos]) == kTerminator) {
      terminated = true;
      break;
    }
    if (pos + size > header.size()) break;
    const std::string_view d = header.substr(pos, size);
    RawField field;
    const std::size_t name_size = size == 48 ? 32 : 11;
    const std::string_view name_bytes = d.substr(0, name_size);
    field.name = std::string(name_bytes.substr(0, name_bytes.find('\0')));
    if (size == 48) {
      field.type = d[32];
      field.length = static_cast<std::uint8_t>(d[33]);
      field.decimals = static_cast<std::uint8_t>(d[34]);
    } else {
      field.type = d[11];
      field.length = static_cast<std::uint8_t>(d[16]);
      field.decimals = static_cast<std::uint8_t>(d[17]);
      field.flags = static_cast<std::uint8_t>(d[18]);
      field.long_length = field.length + 256u * field.decimals;
    }
    result.fields.push_back(field);
    pos += size;
  }
  if (!terminated) {
    result.problem = "la cabecera no termina con el byte 0x0D antes de los " +
                     std::to_string(header.size()) + " bytes que declara";
    return result;
  }
  if (result.fields.empty()) {
    result.problem = "la tabla no tiene campos";
    return result;
  }
  std::uint64_t sum = 1;
  std::uint64_t long_sum = 1;
  for (const RawField& f : result.fields) {
    sum += f.length;
    long_sum += f.type == 'C' ? f.long_length : f.length;
  }
  if (sum == record_length) return result;
  if (size == 32 && long_sum == record_length) {
    for (RawField& f : result.fields) {
      if (f.type == 'C') {
        f.length = f.long_length;
        f.decimals = 0;
      }
    }
    return result;
  }
  result.problem = "la longitud de registro (" + std::to_string(record_length) +
                   ") no es la suma de las longitudes de los campos más 1 (" + std::to_string(sum) +
                   ")";
  return result;
}

}  // namespace

std::uint32_t ReadU32(std::string_view b, std::size_t o) {
  return static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[o])) |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[o + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[o + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[o + 3])) << 24;
}

std::uint16_t ReadU16(std::string_view b, std::size_t o) {
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(b[o]) |
                                    static_cast<std::uint8_t>(b[o + 1]) << 8);
}

void PutU32(std::string& b, std::size_t o, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[o + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

void PutU16(std::string& b, std::size_t o, std::uint16_t v) {
  b[o] = static_cast<char>(v & 0xFF);
  b[o + 1] = static_cast<char>(v >> 8);
}

TableLayout ParseHeader(std::string_view start, std::uint64_t file_size,
                        const std::string& shown_name) {
  auto invalid = [&](const std::string& why) {
    return Error("La tabla " + shown_name + " no es una tabla dBase válida: " + why);
  };
  if (file_size < 32 || start.size() < 32) {
    throw invalid("el archivo tiene " + std::to_string(file_size) +
                  " bytes, menos que los 32 de la cabecera");
  }
  TableLayout layout;
  layout.version = static_cast<std::uint8_t>(start[0]);
  if (layout.version == 0x02) throw invalid("es una tabla de dBase II, que no se admite");
  if (!KnownVersion(layout.version))
    throw invalid("versión " + Hex(layout.version) + " desconocida");
  layout.header_count = ReadU32(start, 4);
  layout.header_length = ReadU16(start, 8);
  layout.record_length = ReadU16(start, 10);
  if (layout.record_length == 0) throw invalid("la longitud de registro es 0");
  if (layout.header_length > file_size || layout.header_length > start.size()) {
    throw invalid("la cabecera declara " + std::to_string(layout.header_length) +
                  " bytes y el archivo tiene " + std::to_string(file_size));
  }
  const std::string_view header = start.substr(0, layout.header_length);
  if (layout.version >= 0x30 && layout.version <= 0x32) layout.flavor = Flavor::kVisualFox;

  Descriptors descriptors;
  bool level7 = false;
  if ((layout.version & 0x07) == 4 && header.size() >= 68 + 48 + 1 &&
      IsTypeLetter(header[68 + 32])) {
    descriptors = ReadDescriptors(header, 68, 48, layout.record_length);
    level7 = descriptors.problem.empty();
  }
  if (!level7) {
    Descriptors short_form = ReadDescriptors(header, 32, 32, layout.record_length);
    if (!short_form.problem.empty()) {
      // A level-7 header that did not fit explains more than the 32-byte reading of it.
      throw invalid(descriptors.problem.empty() ? short_form.problem : descriptors.problem);
    }
    descriptors = std::move(short_form);
  } else {
    layout.flavor = Flavor::kLevel7;
  }

  const bool dbase_family = layout.flavor != Flavor::kVisualFox && layout.version != 0xF5 &&
                            layout.version != 0xFB && layout.version != 0xE5;
  layout.production_index = dbase_family && (static_cast<std::uint8_t>(start[28]) & 0x01) != 0;

  std::uint32_t offset = 1;
  int number = 0;
  for (const RawField& raw : descriptors.fields) {
    ++number;
    if (raw.name.empty() || std::any_of(raw.name.begin(), raw.name.end(), [](char c) {
          return static_cast<unsigned char>(c) < 0x20;
        })) {
      throw invalid("el campo n.º " + std::to_string(number) + " no tiene un nombre válido");
    }
    if (raw.length == 0) throw invalid("el campo " + raw.name + " tiene longitud 0");
    const int width = BinaryWidth(raw.type, layout.flavor);
    if (width != 0 && raw.length != static_cast<std::uint32_t>(width)) {
      throw invalid("el campo " + raw.name + " de tipo " + std::string(1, raw.type) + " mide " +
                    std::to_string(raw.length) + " bytes en lugar de " + std::to_string(width));
    }
    FieldLayout field;
    field.info.name = raw.name;
    field.info.type = raw.type;
    field.info.length = static_cast<int>(raw.length);
    field.info.decimals = raw.decimals;
    field.offset = offset;
    field.system = raw.type == '0' || (layout.flavor == Flavor::kVisualFox && (raw.flags & 0x01));
    offset += raw.length;
    layout.fields.push_back(field);
  }
  return layout;
}

FieldInfo StoredField(const FieldDef& def) {
  FieldInfo info;
  info.name = def.name;
  switch (def.type) {
    case FieldType::kText:
      info.type = 'C';
      info.length = def.size;
      break;
    case FieldType::kInteger:
      info.type = 'N';
      info.length = 11;
      break;
    case FieldType::kFloat:
      info.type = 'N';
      info.length = 20;
      info.decimals = 4;
      break;
    case FieldType::kLogical:
      info.type = 'L';
      info.length = 1;
      break;
  }
  return info;
}

std::string DateAndCount(int year, int month, int day, std::uint32_t count) {
  std::string bytes(7, '\0');
  bytes[0] = static_cast<char>(std::clamp(year - 1900, 0, 255));
  bytes[1] = static_cast<char>(month);
  bytes[2] = static_cast<char>(day);
  PutU32(bytes, 3, count);
  return bytes;
}

std::string BuildHeader(const std::vector<FieldDef>& fields,
                        const std::vector<std::string>& indexed_fields, int year, int month,
                        int day) {
  const std::size_t header_length = 32 + 32 * fields.size() + 1;
  std::string header(header_length, '\0');
  header[0] = 0x03;
  header.replace(1, 7, DateAndCount(year, month, day, 0));
  std::uint32_t record_length = 1;
  for (const FieldDef& def : fields) record_length += StoredField(def).length;
  PutU16(header, 8, static_cast<std::uint16_t>(header_length));
  PutU16(header, 10, static_cast<std::uint16_t>(record_length));
  header[28] = indexed_fields.empty() ? 0x00 : 0x01;
  header[29] = static_cast<char>(kLanguageDriver1252);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const FieldInfo info = StoredField(fields[i]);
    const std::size_t d = 32 + 32 * i;
    header.replace(d, info.name.size(), info.name);
    header[d + 11] = info.type;
    header[d + 16] = static_cast<char>(info.length);
    header[d + 17] = static_cast<char>(info.decimals);
    if (std::find(indexed_fields.begin(), indexed_fields.end(), info.name) !=
        indexed_fields.end()) {
      header[d + 31] = 0x01;
    }
  }
  header[header_length - 1] = static_cast<char>(kTerminator);
  return header;
}

}  // namespace orvida::dbase::internal

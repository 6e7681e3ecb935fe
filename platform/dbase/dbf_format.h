#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dbase/table.h"

// The .DBF layout: reading the header of any dBase level or FoxPro variant the engine knows,
// writing the header of the tables it creates, and the bytes of every field type.
namespace orvida::dbase::internal {

enum class Flavor {
  kDbase,     // dBase III+, IV, 5 and FoxPro 2: 32-byte header and descriptors
  kLevel7,    // dBase 7: 68-byte header, 48-byte descriptors, big-endian binary fields
  kVisualFox  // Visual FoxPro (0x30-0x32): 263-byte backlink, little-endian binary fields
};

struct FieldLayout {
  FieldInfo info;
  std::uint32_t offset = 0;  // from the start of the record (the deletion flag is byte 0)
  bool system = false;       // FoxPro's hidden _NullFlags field
};

struct TableLayout {
  std::uint8_t version = 0x03;
  Flavor flavor = Flavor::kDbase;
  std::uint32_t header_count = 0;  // the record count the header states
  std::uint32_t header_length = 0;
  std::uint32_t record_length = 0;
  bool production_index = false;  // byte 28 announces a <NAME>.MDX (dBase only)
  std::vector<FieldLayout> fields;
};

// Checks and decodes the header at the start of a file of `file_size` bytes (`start` holds at
// least the whole header when the file has it). Throws Error "La tabla <shown_name> no es una
// tabla dBase válida: <what is wrong>" for anything that does not add up.
TableLayout ParseHeader(std::string_view start, std::uint64_t file_size,
                        const std::string& shown_name);

// The header of a new table: version 0x03, language driver 0x58 (Windows-1252), date bytes
// year - 1900, the descriptors, 0x0D. Byte 28 and the descriptor flag of every field in
// `indexed_fields` are set when `indexed_fields` is not empty. The fields must be valid.
std::string BuildHeader(const std::vector<FieldDef>& fields,
                        const std::vector<std::string>& indexed_fields, int year, int month,
                        int day);

// How a new table stores a field definition.
FieldInfo StoredField(const FieldDef& def);

// Bytes 1-7 of the header: the date of last update and the record count.
std::string DateAndCount(int year, int month, int day, std::uint32_t count);

std::uint32_t ReadU32(std::string_view bytes, std::size_t offset);
std::uint16_t ReadU16(std::string_view bytes, std::size_t offset);
void PutU32(std::string& bytes, std::size_t offset, std::uint32_t value);
void PutU16(std::string& bytes, std::size_t offset, std::uint16_t value);

}  // namespace orvida::dbase::internal

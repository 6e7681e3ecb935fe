#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/notices.h"
#include "platform/os/text.h"
#include "platform/xml/xml_document.h"

namespace orvida::formats {

using os::AnsiString;

// The sections of the exchange document that are read.
enum class Section {
  kMaterias,
  kActividades,
  kEmpleados,
  kDependencias,
  kCursosDelCentro,
  kUnidades,
  kTramosHorarios,
  kAnnoAcademico,
};

struct SectionInfo {
  Section section;
  std::string_view seq;         // "MATERIAS" ...
  std::string_view expression;  // /SERVICIO/BLOQUE_DATOS/grupo_datos[@seq="MATERIAS"]/grupo_datos
  int min_fields;               // 2, or 1 for ANNO_ACADEMICO
  int highest_position;         // the highest field position any reader of the section reads
};

// Every section, in the order of the document's description (MATERIAS first, ANNO_ACADEMICO
// last).
const std::vector<SectionInfo>& AllSections();
const SectionInfo& InfoOf(Section section);

// One used record of a section: its fields up to the highest position its readers read.
class Record {
 public:
  Record(int position, std::vector<AnsiString> values, std::vector<AnsiString> untrimmed)
      : position_(position), values_(std::move(values)), untrimmed_(std::move(untrimmed)) {}

  // The record's number within its section (duplicate sections counted on), from 1.
  int position() const { return position_; }
  // Field `index`: its text trimmed of every character up to U+0020 at both ends, in
  // Windows-1252 ('?' for characters the code page lacks).
  const AnsiString& Value(int index) const { return values_.at(index); }
  // Field `index` as the XML component gives it, before the reader's trimming (the teachers
  // step takes the first character of three such texts).
  const AnsiString& Untrimmed(int index) const { return untrimmed_.at(index); }
  int field_count() const { return static_cast<int>(values_.size()); }

 private:
  int position_;
  std::vector<AnsiString> values_;
  std::vector<AnsiString> untrimmed_;
};

struct SectionStats {
  int found = 0;    // records in the section(s)
  int used = 0;     // handed to the reader
  int skipped = 0;  // too few fields; each reported as a notice
};

// The largest exchange document that is read: its tree takes about eight times its size in
// memory. A whole district's document measures a few megabytes.
inline constexpr std::uintmax_t kMaxDocumentBytes = 100u << 20;

// A loaded exchange document and its section readers.
class ExchangeDocument {
 public:
  // Loads and parses `file` (messages name it as `shown_path`). Throws Error when it is not a
  // well-formed XML document or is larger than kMaxDocumentBytes. Does not check the envelope:
  // see RequireEnvelope.
  static ExchangeDocument Load(const std::filesystem::path& file, const std::string& shown_path);
  static ExchangeDocument FromXml(xml::Document document, std::string shown_path);

  // Throws Error unless the root element is SERVICIO with a BLOQUE_DATOS child:
  // "El documento no es un documento de intercambio: su elemento raíz es X, no SERVICIO
  // (archivo C:\datos\x.xml)", "... SERVICIO no contiene BLOQUE_DATOS (archivo ...)",
  // "... no tiene elemento raíz (archivo ...)".
  void RequireEnvelope() const;

  // Reads the records of `section` in document order (both sections when `seq` occurs twice).
  // A record with fewer fields than the section's minimum, or without its highest position,
  // is skipped and reported to `notices` (kind "registro omitido"); every other record goes
  // to `reader` with its values. A ConversionError from `reader` comes out naming the section
  // and the record ("'ABC' no es un valor entero válido (CURSOS_DEL_CENTRO, registro 2)").
  SectionStats ReadSection(Section section, const std::function<void(const Record&)>& reader,
                           NoticeSink& notices) const;

  const xml::Document& xml() const { return document_; }
  xml::Document& xml() { return document_; }
  const std::string& shown_path() const { return shown_path_; }

 private:
  ExchangeDocument(xml::Document document, std::string shown_path)
      : document_(std::move(document)), shown_path_(std::move(shown_path)) {}
  xml::Document document_;
  std::string shown_path_;
};

// Trims every character up to U+0020 (as a byte: <= 0x20) at both ends.
std::string TrimControl(std::string_view text);

}  // namespace orvida::formats

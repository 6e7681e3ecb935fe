#include "formats/exchange_document.h"

#include <algorithm>
#include <system_error>

#include "platform/os/error.h"

namespace orvida::formats {
namespace {

constexpr std::string_view kRecordField = "dato";

std::vector<SectionInfo> MakeSections() {
  // The expressions are fixed text, written out in full so that they read as the documents'
  // description gives them.
  return {
      {Section::kMaterias, "MATERIAS",
       R"(/SERVICIO/BLOQUE_DATOS/grupo_datos[@seq="MATERIAS"]/grupo_datos)", 2, 2},
      {Section::kActividades, "ACTIVIDADES",
       R"(/SERVICIO/BLOQUE_DATOS/grupo_datos[@seq="ACTIVIDADES"]/grupo_datos)", 2, 2},
      {Section::kEmpleados, "EMPLEADOS",
       R"(/SERVICIO/BLOQUE_DATOS/grupo_datos[@seq="EMPLEADOS"]/grupo_datos)", 2, 5},
      {Section::kDependencias, "DEPENDENCIAS",
       R"(/SERVICIO/BLOQUE_DATOS/grupo_datos[@seq="DEPENDENCIAS"]/grupo_datos)", 2, 1},
      {Section::kCursosDelCentro, "CURSOS_DEL_CENTRO",
       R"(/SERVICIO/BLOQUE_DATOS/grupo_datos[@seq="CURSOS_DEL_CENTRO"]/grupo_datos)", 2, 1},
      {Section::kUnidades, "UNIDADES",
       R"(/SERVICIO/BLOQUE_DATOS/grupo_datos[@seq="UNIDADES"]/grupo_datos)", 2, 2},
      {Section::kTramosHorarios, "TRAMOS_HORARIOS",
       R"(/SERVICIO/BLOQUE_DATOS/grupo_datos[@seq="TRAMOS_HORARIOS"]/grupo_datos)", 2, 3},
      {Section::kAnnoAcademico, "ANNO_ACADEMICO",
       R"(/SERVICIO/BLOQUE_DATOS/grupo_datos[@seq="ANNO_ACADEMICO"]/grupo_datos)", 1, 0},
  };
}

std::string Fields(int count) {
  return std::to_string(count) + (count == 1 ? " campo" : " campos");
}

std::string SkipMessage(int has, int needed) {
  return "el registro tiene " + Fields(has) +
         (needed == 1 ? " y se necesita 1" : " y se necesitan " + std::to_string(needed)) +
         "; se omite.";
}

}  // namespace

const std::vector<SectionInfo>& AllSections() {
  static const std::vector<SectionInfo> sections = MakeSections();
  return sections;
}

const SectionInfo& InfoOf(Section section) {
  for (const SectionInfo& info : AllSections()) {
    if (info.section == section) return info;
  }
  throw Error("Sección desconocida");
}

std::string TrimControl(std::string_view text) {
  // Every byte up to 0x20 is a whole character in UTF-8 and in Windows-1252 alike.
  auto is_control = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
  while (!text.empty() && is_control(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_control(text.back())) text.remove_suffix(1);
  return std::string(text);
}

ExchangeDocument ExchangeDocument::Load(const std::filesystem::path& file,
                                        const std::string& shown_path) {
  // Refused before parsing: a document far beyond any school's would exhaust the memory.
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(file, ec);
  if (!ec && size > kMaxDocumentBytes) {
    throw Error("El archivo " + shown_path + " mide " +
                std::to_string((size + (1u << 20) - 1) >> 20) +
                " MB; no se leen documentos de intercambio de más de " +
                std::to_string(kMaxDocumentBytes >> 20) + " MB");
  }
  return ExchangeDocument(xml::Document::Load(file, shown_path), shown_path);
}

ExchangeDocument ExchangeDocument::FromXml(xml::Document document, std::string shown_path) {
  return ExchangeDocument(std::move(document), std::move(shown_path));
}

void ExchangeDocument::RequireEnvelope() const {
  const std::string file = shown_path_.empty() ? std::string() : " (archivo " + shown_path_ + ")";
  const std::string prefix = "El documento no es un documento de intercambio: ";
  xml::Node root = document_.DocumentElement();
  if (root.IsNull()) throw Error(prefix + "no tiene elemento raíz" + file);
  if (root.Name() != "SERVICIO") {
    throw Error(prefix + "su elemento raíz es " + root.Name() + ", no SERVICIO" + file);
  }
  if (root.ChildElements("BLOQUE_DATOS").empty()) {
    throw Error(prefix + "SERVICIO no contiene BLOQUE_DATOS" + file);
  }
}

SectionStats ExchangeDocument::ReadSection(Section section,
                                           const std::function<void(const Record&)>& reader,
                                           NoticeSink& notices) const {
  const SectionInfo& info = InfoOf(section);
  // A record must hold the section's minimum of fields and every position its readers take.
  const int needed = std::max(info.min_fields, info.highest_position + 1);
  SectionStats stats;
  // One selection over the whole document gives the records of every section with this seq,
  // in document order; each record's fields are then its `dato` children, found by walking
  // the record rather than by evaluating an expression per record.
  const xml::NodeList records = document_.SelectNodes(info.expression);
  for (const xml::Node& record : records) {
    ++stats.found;
    const int position = stats.found;
    const std::vector<xml::Node> fields = record.ChildElements(kRecordField);
    const int field_count = static_cast<int>(fields.size());
    if (field_count < needed) {
      ++stats.skipped;
      notices.Report({"registro omitido", std::string(info.seq), position,
                      fields.empty() ? std::string() : TrimControl(fields.front().Text()),
                      SkipMessage(field_count, needed)});
      continue;
    }
    std::vector<AnsiString> values;
    std::vector<AnsiString> untrimmed;
    values.reserve(static_cast<std::size_t>(info.highest_position) + 1);
    untrimmed.reserve(values.capacity());
    for (int index = 0; index <= info.highest_position; ++index) {
      // Trimming after the conversion is the same as before it: the bytes up to 0x20 are whole
      // characters in both encodings and convert to themselves.
      untrimmed.push_back(os::Utf8ToAnsi(fields[static_cast<std::size_t>(index)].Text()));
      values.push_back(TrimControl(untrimmed.back()));
    }
    ++stats.used;
    try {
      reader(Record(position, std::move(values), std::move(untrimmed)));
    } catch (const ConversionError& error) {
      // A value that is not a number stops the run; the message says which record holds it.
      throw ConversionError(std::string(error.what()) + " (" + std::string(info.seq) +
                            ", registro " + std::to_string(position) + ")");
    }
  }
  return stats;
}

}  // namespace orvida::formats

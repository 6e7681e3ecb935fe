// transorvida secciones DOCUMENTO.xml: what a conversion would find in a document, section by
// section, with every record it would skip and why. Users run it before converting.
#include <iomanip>
#include <ostream>
#include <string>
#include <string_view>

#include "cli/commands.h"
#include "formats/exchange_document.h"
#include "formats/notices.h"
#include "platform/os/error.h"

namespace orvida::cli {
namespace {

constexpr std::string_view kSeccionesHelp =
    "Uso: transorvida secciones DOCUMENTO.xml\n"
    "\n"
    "Lee el documento de intercambio y muestra, para cada sección que usa la conversión\n"
    "(MATERIAS, ACTIVIDADES, EMPLEADOS, DEPENDENCIAS, CURSOS_DEL_CENTRO, UNIDADES,\n"
    "TRAMOS_HORARIOS y ANNO_ACADEMICO), cuántos registros tiene, cuántos se usarían y cuántos\n"
    "se omitirían por no tener todos los campos que se leen, con un aviso por cada registro\n"
    "omitido. No escribe nada.\n"
    "\n"
    "Sale con 0 si pudo leer el documento, 1 si no (el motivo va a la salida de errores) y 2\n"
    "si la línea de órdenes está mal.\n";

// The widest section name (CURSOS_DEL_CENTRO) sets the width of the first column.
constexpr int kNameWidth = 17;
constexpr int kCountWidth = 6;

}  // namespace

int RunSecciones(const Invocation& call) {
  std::string document_path;
  for (const std::string& arg : call.args) {
    if (arg == "--help" || arg == "-h") {
      call.out << kSeccionesHelp;
      return kExitOk;
    }
    if (arg.size() > 1 && arg[0] == '-')
      return ReportUsage(call, "opción desconocida: '" + arg + "'");
    if (!document_path.empty()) {
      return ReportUsage(call, "'secciones' lee un solo documento; sobra '" + arg + "'");
    }
    document_path = arg;
  }
  if (document_path.empty())
    return ReportUsage(call, "falta el documento: transorvida secciones DOCUMENTO.xml");

  try {
    const formats::ExchangeDocument document =
        formats::ExchangeDocument::Load(document_path, document_path);
    document.RequireEnvelope();

    call.out << "Secciones del documento " << document_path << ":\n";
    formats::SectionStats total;
    for (const formats::SectionInfo& info : formats::AllSections()) {
      formats::NoticeList notices;
      const formats::SectionStats stats = document.ReadSection(
          info.section, [](const formats::Record&) {}, notices);
      call.out << "  " << std::left << std::setw(kNameWidth) << info.seq << std::right
               << "  encontrados " << std::setw(kCountWidth) << stats.found << "  usados "
               << std::setw(kCountWidth) << stats.used << "  omitidos " << std::setw(kCountWidth)
               << stats.skipped << '\n';
      for (const formats::Notice& notice : notices.notices()) {
        call.out << "      " << formats::FormatNotice(notice) << '\n';
      }
      total.found += stats.found;
      total.used += stats.used;
      total.skipped += stats.skipped;
    }
    call.out << "  " << std::left << std::setw(kNameWidth) << "Total" << std::right
             << "  encontrados " << std::setw(kCountWidth) << total.found << "  usados "
             << std::setw(kCountWidth) << total.used << "  omitidos " << std::setw(kCountWidth)
             << total.skipped << '\n';
  } catch (const Error& error) {
    return ReportError(call, error.what());
  }
  return kExitOk;
}

}  // namespace orvida::cli

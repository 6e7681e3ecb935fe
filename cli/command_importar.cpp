// transorvida importar: the timetable run, from SOLUC and the working tables to the timetable
// document beside the input.
#include <exception>
#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>
#include <system_error>

#include "cli/commands.h"
#include "formats/notices.h"
#include "formats/working_tables.h"
#include "platform/os/error.h"
#include "platform/os/local_time.h"
#include "timetable/timetable_run.h"

namespace orvida::cli {

namespace {

constexpr std::string_view kImportarHelp =
    "Uso: transorvida importar [--carpeta DIR] [--detalle] DOCUMENTO.xml\n"
    "\n"
    "Lee el horario resuelto (SOLUC) y las tablas de trabajo y escribe el documento de horario\n"
    "junto a DOCUMENTO.xml, con el nombre \"ResultadoOrvida\" seguido del nombre del documento\n"
    "(un documento anterior con ese nombre se sustituye). Del documento solo se toma el año\n"
    "académico (sección ANNO_ACADEMICO; sin ella, el curso que contiene la fecha de hoy) y lo\n"
    "que está fuera de su elemento raíz. Las tablas de trabajo no se modifican.\n"
    "\n"
    "Opciones:\n"
    "  --carpeta DIR   Carpeta de las tablas de trabajo (por omisión C:\\KTEMP).\n"
    "  --detalle       Muestra cada aviso, no solo cuántos hay de cada clase.\n"
    "  --help          Muestra esta ayuda.\n"
    "\n"
    "Termina con 0 si el documento se escribió, 1 si falló (no se escribe nada) y 2 si la\n"
    "orden está mal escrita.\n";

struct ImportarOptions {
  std::string carpeta;
  bool detalle = false;
  std::string document;
};

}  // namespace

int RunImportar(const Invocation& call) {
  ImportarOptions options;
  bool have_document = false;
  for (std::size_t i = 0; i < call.args.size(); ++i) {
    const std::string& arg = call.args[i];
    if (arg == "--help" || arg == "-h") {
      call.out << kImportarHelp;
      return kExitOk;
    }
    if (arg == "--carpeta") {
      if (i + 1 >= call.args.size()) return ReportUsage(call, "falta la carpeta tras --carpeta");
      options.carpeta = call.args[++i];
      if (options.carpeta.empty()) return ReportUsage(call, "la carpeta de --carpeta está vacía");
    } else if (arg == "--detalle") {
      options.detalle = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return ReportUsage(call, "opción desconocida para 'importar': '" + arg + "'");
    } else if (have_document) {
      return ReportUsage(call, "'importar' lleva un solo documento; sobra '" + arg + "'");
    } else {
      options.document = arg;
      have_document = true;
    }
  }
  if (!have_document) return ReportUsage(call, "falta el documento de intercambio (DOCUMENTO.xml)");

  std::error_code ec;
  if (!std::filesystem::is_regular_file(options.document, ec)) {
    return ReportError(call, "No existe archivo: " + options.document);
  }

  try {
    const formats::WorkingFolder folder(
        WorkingFolderPath(options.carpeta, call.env),
        options.carpeta.empty() ? std::string("C:\\KTEMP") : options.carpeta);
    formats::NoticeList notices;
    const timetable::TimetableResult result = timetable::ImportarHorarios(
        options.document, options.document, folder, os::SystemClock(), notices);

    call.out << "Documento de horario: " << result.shown_output << '\n';
    call.out << "Profesores: " << result.teachers << '\n';
    call.out << "Bloques de actividad: " << result.activities << '\n';
    const auto counts = notices.CountByKind();
    if (counts.empty()) {
      call.out << "Avisos: ninguno\n";
    } else {
      call.out << "Avisos:\n";
      for (const auto& [kind, count] : counts) call.out << "  " << kind << ": " << count << '\n';
      if (options.detalle) {
        for (const formats::Notice& notice : notices.notices()) {
          call.out << "  - " << formats::FormatNotice(notice) << '\n';
        }
      } else {
        call.out << "  (use --detalle para ver cada aviso)\n";
      }
    }
    call.out << "Proceso finalizado\n";
    return kExitOk;
  } catch (const Error& error) {
    return ReportError(call, error.what());
  } catch (const std::exception& error) {
    return ReportError(call, std::string("el proceso se detuvo: ") + error.what());
  }
}

}  // namespace orvida::cli

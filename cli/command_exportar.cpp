// transorvida exportar: the conversion run from the command line, after a backup of the tables it
// rebuilds, with a report of every table written and of everything the run settled on its own;
// --simular shows that report without touching the working folder.
#include <exception>
#include <filesystem>
#include <iomanip>
#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

#include "cli/commands.h"
#include "convert/backup.h"
#include "convert/conversion_run.h"
#include "formats/exchange_document.h"
#include "formats/notices.h"
#include "formats/working_tables.h"
#include "platform/os/error.h"
#include "platform/os/local_time.h"

namespace orvida::cli {
namespace {

constexpr std::string_view kExportarHelp =
    "Uso: transorvida exportar [--carpeta DIR] [--simular] [--sin-copia] [--detalle]\n"
    "                          DOCUMENTO.xml\n"
    "\n"
    "Reconstruye las tablas de trabajo del programa de horarios (ASIGNOMT, PROFT, AULAT,\n"
    "CURSOST, GRUPOST, ASIGT, DIASHORAST y DIASHORAST2) desde el documento de intercambio,\n"
    "en siete pasos. Muestra cada tabla escrita con sus filas y, al final, los avisos: lo que\n"
    "la conversión resolvió por su cuenta (registros omitidos, materias fusionadas, códigos\n"
    "cambiados, cursos sin nivel, unidades sin curso, materias sin código o sin unidades).\n"
    "Si el documento no es XML, no es un documento de intercambio o mide más de 100 MB, no\n"
    "toca ninguna tabla.\n"
    "\n"
    "Antes de borrar la primera tabla copia las tablas de trabajo que existen (cada una con su\n"
    "índice .MDX; SOLUC no se toca ni se copia) en la carpeta copias\\AAAAMMDD-HHMMSS de la\n"
    "carpeta de trabajo, con la fecha y la hora de ese momento, y borra las copias más antiguas\n"
    "de modo que quedan las diez más recientes. Si la copia no se puede hacer (una tabla abierta\n"
    "en exclusiva por otro programa, el disco lleno ...), no se borra ninguna tabla.\n"
    "\n"
    "Opciones:\n"
    "  --carpeta DIR  Carpeta de trabajo (por omisión C:\\KTEMP, dentro de la carpeta que hace\n"
    "                 de unidad C:).\n"
    "  --simular      Hace toda la conversión en una carpeta temporal que después borra y\n"
    "                 muestra el mismo informe; la carpeta de trabajo no cambia y no se\n"
    "                 hace copia de seguridad.\n"
    "  --sin-copia    No hace la copia de seguridad de las tablas antes de reconstruirlas.\n"
    "  --detalle      Muestra cada aviso, no solo cuántos hay de cada clase.\n"
    "\n"
    "Sale con 0 si terminó (\"Proceso finalizado\"), 1 si falló (el motivo va a la salida de\n"
    "errores; las tablas de los pasos terminados quedan escritas) y 2 si la línea de órdenes\n"
    "está mal.\n";

constexpr std::string_view kDefaultFolder = "C:\\KTEMP";
constexpr int kStepWidth = 22;   // "ExportarCursosGrupos" and two blanks
constexpr int kTableWidth = 12;  // "DIASHORAST2" and a blank
constexpr int kCountWidth = 6;

// A new empty folder under the system's temporary folder, removed with everything in it when
// the object goes.
class TemporaryFolder {
 public:
  TemporaryFolder() {
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::filesystem::path candidate = base / ("transorvida-simular-" + std::to_string(random()));
      std::error_code ec;
      if (std::filesystem::create_directory(candidate, ec)) {
        path_ = candidate;
        return;
      }
    }
    throw Error("No se puede crear una carpeta temporal en " + base.string() +
                " para la simulación");
  }
  ~TemporaryFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

void PrintStep(std::ostream& out, const convert::StepResult& result) {
  out << "  " << result.number << "/7 " << std::left << std::setw(kStepWidth) << result.step
      << std::setw(kTableWidth) << result.table << std::right << std::setw(kCountWidth)
      << result.written << (result.written == 1 ? " fila" : " filas");
  if (result.written != result.rows) {
    out << " añadida" << (result.written == 1 ? "" : "s") << " (" << result.rows << " en total)";
  }
  out << std::endl;  // shown as it goes: a large document takes a moment per step
}

void PrintNotices(std::ostream& out, const formats::NoticeList& notices, bool detail) {
  const auto& all = notices.notices();
  if (all.empty()) {
    out << "Sin avisos.\n";
    return;
  }
  out << "Avisos: " << all.size() << '\n';
  for (const auto& [kind, count] : notices.CountByKind()) {
    out << "  " << kind << ": " << count << '\n';
  }
  if (detail) {
    for (const formats::Notice& notice : all) out << "  " << formats::FormatNotice(notice) << '\n';
  } else {
    out << "  (use --detalle para verlos uno a uno)\n";
  }
}

}  // namespace

int RunExportar(const Invocation& call) {
  std::string carpeta;
  std::string document_path;
  bool simulate = false;
  bool backup = true;
  bool detail = false;
  for (std::size_t i = 0; i < call.args.size(); ++i) {
    const std::string& arg = call.args[i];
    if (arg == "--help" || arg == "-h") {
      call.out << kExportarHelp;
      return kExitOk;
    }
    if (arg == "--carpeta") {
      if (i + 1 >= call.args.size() || call.args[i + 1].empty()) {
        return ReportUsage(call, "falta la carpeta después de --carpeta");
      }
      carpeta = call.args[++i];
    } else if (arg.rfind("--carpeta=", 0) == 0) {
      carpeta = arg.substr(std::string_view("--carpeta=").size());
      if (carpeta.empty()) return ReportUsage(call, "falta la carpeta después de --carpeta=");
    } else if (arg == "--simular") {
      simulate = true;
    } else if (arg == "--sin-copia") {
      backup = false;
    } else if (arg == "--detalle") {
      detail = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return ReportUsage(call, "opción desconocida: '" + arg + "'");
    } else if (!document_path.empty()) {
      return ReportUsage(call, "'exportar' lee un solo documento; sobra '" + arg + "'");
    } else {
      document_path = arg;
    }
  }
  if (document_path.empty()) {
    return ReportUsage(call, "falta el documento: transorvida exportar DOCUMENTO.xml");
  }

  formats::NoticeList notices;
  try {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(document_path, ec)) {
      return ReportError(call, "No existe archivo: " + document_path);
    }
    // Nothing is touched unless the document is an exchange document.
    const formats::ExchangeDocument document =
        formats::ExchangeDocument::Load(document_path, document_path);
    document.RequireEnvelope();

    const std::string shown = carpeta.empty() ? std::string(kDefaultFolder) : carpeta;
    const auto print_step = [&](const convert::StepResult& result) { PrintStep(call.out, result); };
    if (simulate) {
      TemporaryFolder scratch;
      call.out << "Simulación: se exporta " << document_path << " a una carpeta temporal; " << shown
               << " no cambia.\n";
      const formats::WorkingFolder folder(scratch.path(), scratch.path().string());
      convert::RunConversion(document, folder, notices, print_step);
    } else {
      const formats::WorkingFolder folder(WorkingFolderPath(carpeta, call.env), shown);
      call.out << "Exportando " << document_path << " a " << shown << '\n';
      if (!backup) {
        call.out << "Copia de seguridad: ninguna (--sin-copia)\n";
      } else {
        const convert::BackupResult copy = convert::BackupWorkingTables(folder, os::SystemClock());
        if (copy.folder.empty()) {
          call.out << "Copia de seguridad: ninguna (no hay tablas que copiar)\n";
        } else {
          call.out << "Copia de seguridad: " << copy.shown_folder << " (" << copy.tables
                   << (copy.tables == 1 ? " tabla)\n" : " tablas)\n");
        }
        for (const std::string& warning : copy.warnings) call.out << "Aviso: " << warning << '\n';
      }
      convert::RunConversion(document, folder, notices, print_step);
    }
  } catch (const Error& error) {
    if (!notices.notices().empty()) PrintNotices(call.out, notices, detail);
    call.out.flush();
    return ReportError(call, error.what());
  } catch (const std::exception& error) {
    // Not one of ours (memory exhausted ...): the run stops all the same, and says why.
    call.out.flush();
    return ReportError(call, std::string("el proceso se detuvo: ") + error.what());
  }
  PrintNotices(call.out, notices, detail);
  call.out << "Proceso finalizado\n";
  return kExitOk;
}

}  // namespace orvida::cli

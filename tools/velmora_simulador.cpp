// velmora_simulador: plays the timetabling program for demos, tests and the bench. It reads the
// working tables that exportar wrote and leaves a solved SOLUC beside them, the same for the
// same tables and seed.
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/working_tables.h"
#include "platform/os/error.h"
#include "platform/os/paths.h"
#include "tools/host_simulation.h"

namespace {

constexpr std::string_view kHelp =
    "Uso: velmora_simulador [--carpeta DIR] [--semilla N] [--filas N]\n"
    "\n"
    "Hace de programa de horarios: lee PROFT, AULAT, ASIGT y DIASHORAST de la carpeta de\n"
    "trabajo y escribe en ella un horario resuelto, SOLUC (PROF C4, DIA N, HORA N, ASIG C4,\n"
    "CODGRUPO C4, TAREA C12, AULA C4). La misma semilla da la misma tabla.\n"
    "\n"
    "Opciones:\n"
    "  --carpeta DIR   Carpeta de las tablas de trabajo (por omisión C:\\KTEMP).\n"
    "  --semilla N     Semilla del reparto (por omisión 1).\n"
    "  --filas N       Escribe exactamente N filas, repitiendo las filas de ASIGT si hace falta.\n"
    "  --help          Muestra esta ayuda.\n";

std::optional<std::string> Env(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

int Usage(const std::string& message) {
  std::cerr << "error: " << message << "\nUse 'velmora_simulador --help' para ver las opciones.\n";
  return 2;
}

bool ParseCount(const std::string& text, std::uint64_t limit, std::uint64_t& value) {
  if (text.empty() || text.size() > 19) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return value <= limit;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string carpeta;
  orvida::tools::SimulationOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kHelp;
      return 0;
    }
    const bool takes_value = arg == "--carpeta" || arg == "--semilla" || arg == "--filas";
    if (!takes_value) return Usage("opción desconocida: '" + arg + "'");
    if (i + 1 >= args.size()) return Usage("falta el valor de " + arg);
    const std::string& value = args[++i];
    std::uint64_t number = 0;
    if (arg == "--carpeta") {
      carpeta = value;
    } else if (arg == "--semilla") {
      if (!ParseCount(value, UINT64_MAX / 10, number)) {
        return Usage("'" + value + "' no es una semilla válida");
      }
      options.seed = number;
    } else {
      if (!ParseCount(value, 10'000'000, number)) {
        return Usage("'" + value + "' no es un número de filas válido (0 a 10000000)");
      }
      options.rows = static_cast<int>(number);
    }
  }

  try {
    const std::filesystem::path folder_path =
        carpeta.empty()
            ? orvida::os::MapWindowsPath(
                  "C:\\KTEMP", orvida::os::DriveCFolder(
                                   {Env("TRANSORVIDA_DRIVE_C"), Env("WINEPREFIX"), Env("HOME")}))
            : std::filesystem::path(carpeta);
    const orvida::formats::WorkingFolder folder(folder_path,
                                                carpeta.empty() ? "C:\\KTEMP" : carpeta);
    const auto report = orvida::tools::WriteSolvedSoluc(folder, options);
    std::cout << "SOLUC: " << report.soluc.string() << '\n'
              << "Filas: " << report.rows << " (" << report.placed << " colocadas, "
              << report.unplaced << " sin colocar)\n"
              << "Profesores: " << report.teachers << " (" << report.idle_teachers
              << " sin periodos)\n"
              << "Casillas del horario (días 1 a 5): " << report.grid_cells << '\n';
    return 0;
  } catch (const std::exception& error) {
    std::cerr << "error: " << error.what() << '\n';
    return 1;
  }
}

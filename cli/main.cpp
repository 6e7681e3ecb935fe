// transorvida: the batch tool. Every action of the window, plus inspection commands, for
// administrators, scripts and tests.
#include <clocale>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"

namespace {

constexpr std::string_view kHelp =
    "Uso: transorvida ORDEN [OPCIONES] ...\n"
    "\n"
    "Lleva los datos de un documento de intercambio XML del sistema de gestión a las tablas\n"
    "de trabajo del programa de horarios, y el horario resuelto de vuelta.\n"
    "\n"
    "Órdenes:\n"
    "  secciones DOCUMENTO.xml      Cuenta los registros de cada sección y muestra los avisos.\n"
    "  tabla [--carpeta DIR] NOMBRE|ARCHIVO.DBF [--csv]\n"
    "                               Muestra una tabla de trabajo.\n"
    "  exportar [--carpeta DIR] [--simular] [--sin-copia] [--detalle] DOCUMENTO.xml\n"
    "                               Reconstruye las tablas de trabajo desde el documento.\n"
    "  importar [--carpeta DIR] [--detalle] DOCUMENTO.xml\n"
    "                               Escribe el documento de horario desde SOLUC.\n"
    "\n"
    "La carpeta de trabajo es C:\\KTEMP: en Linux, dentro de la carpeta que hace de unidad C:\n"
    "($TRANSORVIDA_DRIVE_C, o si no drive_c del prefijo de Wine, $WINEPREFIX o ~/.wine).\n"
    "Use 'transorvida ORDEN --help' para ver la ayuda de cada orden.\n";

std::optional<std::string> Env(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

}  // namespace

int main(int argc, char** argv) {
  // Dates and times in the user's locale; everything else stays in the C locale's rules.
  std::setlocale(LC_TIME, "");
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "ayuda") {
    std::cout << kHelp;
    return args.empty() ? orvida::cli::kExitUsage : orvida::cli::kExitOk;
  }
  const std::string command = args[0];
  orvida::cli::Invocation call{std::vector<std::string>(args.begin() + 1, args.end()),
                               std::cout,
                               std::cerr,
                               {Env("TRANSORVIDA_DRIVE_C"), Env("WINEPREFIX"), Env("HOME")}};
  if (command == "secciones") return orvida::cli::RunSecciones(call);
  if (command == "tabla") return orvida::cli::RunTabla(call);
  if (command == "exportar") return orvida::cli::RunExportar(call);
  if (command == "importar") return orvida::cli::RunImportar(call);
  return orvida::cli::ReportUsage(call, "orden desconocida: '" + command + "'");
}

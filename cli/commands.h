#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

#include "platform/os/paths.h"

namespace orvida::cli {

// What a command needs from outside: its arguments (after the command word), where to write,
// and the environment values the path mapping uses. Tests call commands in-process.
struct Invocation {
  std::vector<std::string> args;
  std::ostream& out;
  std::ostream& err;
  os::DriveCEnvironment env;
};

// Exit codes: 0 done, 1 the action failed ("error: <message>" on err), 2 wrong command line.
inline constexpr int kExitOk = 0;
inline constexpr int kExitError = 1;
inline constexpr int kExitUsage = 2;

int RunSecciones(const Invocation& call);  // transorvida secciones DOCUMENTO.xml
int RunTabla(const Invocation& call);      // transorvida tabla [--carpeta DIR] NOMBRE [--csv]
int RunExportar(const Invocation& call);   // transorvida exportar [--carpeta DIR] ... DOCUMENTO.xml
int RunImportar(const Invocation& call);   // transorvida importar [--carpeta DIR] ... DOCUMENTO.xml

// The working folder: `carpeta` when given (--carpeta DIR), otherwise C:\KTEMP mapped onto the
// folder that stands for drive C.
std::filesystem::path WorkingFolderPath(const std::string& carpeta,
                                        const os::DriveCEnvironment& env);

// Writes "error: <message>" and returns kExitError.
int ReportError(const Invocation& call, const std::string& message);
// Writes "error: <message>" and the hint to run --help, and returns kExitUsage.
int ReportUsage(const Invocation& call, const std::string& message);

}  // namespace orvida::cli

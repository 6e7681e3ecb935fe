#include <ostream>

#include "cli/commands.h"
#include "platform/os/paths.h"

namespace orvida::cli {

std::filesystem::path WorkingFolderPath(const std::string& carpeta,
                                        const os::DriveCEnvironment& env) {
  if (!carpeta.empty()) return carpeta;
  return os::MapWindowsPath("C:\\KTEMP", os::DriveCFolder(env));
}

int ReportError(const Invocation& call, const std::string& message) {
  call.err << "error: " << message << '\n';
  return kExitError;
}

int ReportUsage(const Invocation& call, const std::string& message) {
  call.err << "error: " << message << "\nUse 'transorvida --help' para ver las órdenes.\n";
  return kExitUsage;
}

}  // namespace orvida::cli

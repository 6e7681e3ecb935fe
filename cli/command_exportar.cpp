#include "cli/commands.h"

namespace orvida::cli {

// Not built yet: refuses with a usage error until the command is written.
int RunExportar(const Invocation& call) { return ReportUsage(call, "la orden 'exportar' aún no está disponible"); }

}  // namespace orvida::cli

#include "cli/commands.h"

namespace orvida::cli {

// Not built yet: refuses with a usage error until the command is written.
int RunTabla(const Invocation& call) { return ReportUsage(call, "la orden 'tabla' aún no está disponible"); }

}  // namespace orvida::cli

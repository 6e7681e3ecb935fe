#pragma once

#include "convert/conversion_run.h"

namespace orvida::convert {

// Step 4: recreates AULAT with one row per DEPENDENCIAS record; the short code is the room's own
// code where it is free, or is made from its name.
void ExportarAulas(const StepContext& context);

}  // namespace orvida::convert

#pragma once

#include "convert/conversion_run.h"

namespace orvida::convert {

// Step 3: recreates PROFT with one row per EMPLEADOS record; the short code comes from the
// initials of the three name parts.
void ExportarProfesores(const StepContext& context);

}  // namespace orvida::convert

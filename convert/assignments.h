#pragma once

#include "convert/conversion_run.h"

namespace orvida::convert {

// Step 6: recreates ASIGT with one row per pair of a MATERIAS record and a class unit of its
// course. Reads ASIGNOMT and GRUPOST through exclusive (window) handles, so the earlier steps
// must have closed theirs.
void ExportarAsignaciones(const StepContext& context);

}  // namespace orvida::convert

#pragma once

#include <vector>

#include "convert/conversion_run.h"
#include "convert/short_codes.h"

namespace orvida::convert {

// The registries of the subjects step; the run creates them empty and drops them once the
// activities step is done.
struct SubjectRegistries {
  CodeRegistry codes;       // ASIGNOMT.COD of the subjects
  CodeRegistry long_codes;  // ASIGNOMT.CODLARGO: subjects with the same long code are merged
  std::vector<AnsiString> kept_names;  // the subject name holding each long code, by its index
};

// Step 1: recreates ASIGNOMT with one row per distinct subject of MATERIAS (the first record of
// each long code), each with a unique short code.
void ExportarMaterias(const StepContext& context, SubjectRegistries& registries);

// Step 2: appends one ASIGNOMT row per activity of ACTIVIDADES, after the subject rows; the
// activity's code is stored as the document gives it.
void ExportarActividades(const StepContext& context);

}  // namespace orvida::convert

#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "formats/working_tables.h"
#include "platform/dbase/table.h"

namespace orvida::tools {

// The layout of the SOLUC the simulated host writes: the fields the timetable run reads, with
// DIA and HORA numeric (N 11.0) and the codes as wide as the short codes they hold (TAREA as
// wide as ASIGNOMT.CODTAREA).
const std::vector<dbase::FieldDef>& SimulatedSolucFields();

struct SimulationOptions {
  std::uint64_t seed = 1;
  // Rows to write; without it, one row per weekly hour of every ASIGT row. With it, the ASIGT
  // rows are cycled (or cut short) until exactly that many rows are written.
  std::optional<int> rows;
};

struct SimulationReport {
  std::filesystem::path soluc;  // the table written
  int rows = 0;
  int placed = 0;
  int unplaced = 0;       // DIA 0
  int teachers = 0;       // PROFT rows with a distinct, non-blank ABREV
  int idle_teachers = 0;  // left without any period
  int grid_cells = 0;     // distinct (day, period) cells of days 1-5 in DIASHORAST
};

// Plays the timetabling program: reads PROFT, AULAT, ASIGT, DIASHORAST and ASIGNOMT from the
// working folder (shared) and writes a solved SOLUC there, the same for the same tables and seed.
// Every ASIGT row's HORAS are placed on distinct (day, period) cells of days 1 to 5, avoiding cells
// where the teacher or the class unit is already busy while free cells remain; about one
// teacher in ten gets no period, about 5 % of the rows stay unplaced (DIA 0), TAREA is blank in
// most rows (the others hold the code of an ASIGNOMT activity, or the row's CTAREA when there
// is none) and AULA holds a room of AULAT in about half of them.
SimulationReport WriteSolvedSoluc(const formats::WorkingFolder& folder,
                                  const SimulationOptions& options);

}  // namespace orvida::tools

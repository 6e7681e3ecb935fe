#include "tools/host_simulation.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "platform/os/error.h"
#include "platform/os/text.h"

namespace orvida::tools {

namespace {

using os::AnsiString;

// SplitMix64: a small generator whose sequence is the same on every platform and library, so
// that a seed always gives the same SOLUC (std::uniform_int_distribution is not portable).
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}

  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }

  // Uniform in [0, bound), bound > 0, without modulo bias.
  std::size_t Below(std::size_t bound) {
    const std::uint64_t limit = UINT64_MAX - UINT64_MAX % bound;
    std::uint64_t value;
    do {
      value = Next();
    } while (value >= limit);
    return static_cast<std::size_t>(value % bound);
  }

  // True with probability percent / 100.
  bool Chance(int percent) { return Below(100) < static_cast<std::size_t>(percent); }

 private:
  std::uint64_t state_;
};

struct Cell {
  int dia;
  int hora;
};

struct Assignment {
  AnsiString casig;
  AnsiString cgrup;
  AnsiString cprof;
  AnsiString ctarea;
  int horas = 0;
};

struct SolucRowOut {
  AnsiString prof;
  int dia = 0;
  int hora = 0;
  AnsiString asig;
  AnsiString codgrupo;
  AnsiString tarea;
  AnsiString aula;
};

bool ParseInt(const AnsiString& text, int& value) {
  try {
    value = os::StrToInt(text);
    return true;
  } catch (const ConversionError&) {
    return false;
  }
}

std::vector<AnsiString> DistinctCodes(dbase::Table& table, std::string_view field) {
  std::vector<AnsiString> codes;
  std::set<AnsiString> seen;
  for (table.First(); !table.Eof(); table.Next()) {
    AnsiString code = table.GetText(field);
    if (code.empty() || !seen.insert(code).second) continue;
    codes.push_back(std::move(code));
  }
  return codes;
}

// The grid of days 1 to 5: each distinct (DIA, HORA) of DIASHORAST, in table order.
std::vector<Cell> GridCells(dbase::Table& table) {
  std::vector<Cell> cells;
  std::set<std::pair<int, int>> seen;
  for (table.First(); !table.Eof(); table.Next()) {
    Cell cell{};
    if (!ParseInt(table.GetText("DIA"), cell.dia) || !ParseInt(table.GetText("HORA"), cell.hora)) {
      continue;
    }
    if (cell.dia < 1 || cell.dia > 5 || cell.hora < 1) continue;
    if (seen.insert({cell.dia, cell.hora}).second) cells.push_back(cell);
  }
  return cells;
}

std::vector<Assignment> Assignments(dbase::Table& table) {
  std::vector<Assignment> rows;
  for (table.First(); !table.Eof(); table.Next()) {
    Assignment row;
    row.casig = table.GetText("CASIG");
    row.cgrup = table.GetText("CGRUP");
    row.cprof = table.GetText("CPROF");
    row.ctarea = table.GetText("CTAREA");
    const double horas = table.GetFloat("HORAS");
    row.horas = horas > 0 && horas < 1000 ? static_cast<int>(std::ceil(horas)) : 0;
    rows.push_back(std::move(row));
  }
  return rows;
}

// The codes of the activities (ASIGNOMT rows marked ESTAREA) that a host may write in TAREA.
std::vector<AnsiString> ActivityCodes(dbase::Table& table) {
  std::vector<AnsiString> codes;
  std::set<AnsiString> seen;
  for (table.First(); !table.Eof(); table.Next()) {
    if (table.GetText("ESTAREA") != "T") continue;
    AnsiString code = table.GetText("CODTAREA");
    if (!code.empty() && seen.insert(code).second) codes.push_back(std::move(code));
  }
  return codes;
}

// Busy cells per teacher or class unit.
class Occupancy {
 public:
  explicit Occupancy(std::size_t cells) : cells_(cells) {}
  std::vector<bool>& Of(const AnsiString& who) {
    auto [it, inserted] = busy_.try_emplace(who);
    if (inserted) it->second.assign(cells_, false);
    return it->second;
  }

 private:
  std::size_t cells_;
  std::map<AnsiString, std::vector<bool>> busy_;
};

}  // namespace

const std::vector<dbase::FieldDef>& SimulatedSolucFields() {
  static const std::vector<dbase::FieldDef> fields = {
      {"PROF", dbase::FieldType::kText, 4},     {"DIA", dbase::FieldType::kInteger, 0},
      {"HORA", dbase::FieldType::kInteger, 0},  {"ASIG", dbase::FieldType::kText, 4},
      {"CODGRUPO", dbase::FieldType::kText, 4}, {"TAREA", dbase::FieldType::kText, 12},
      {"AULA", dbase::FieldType::kText, 4},
  };
  return fields;
}

SimulationReport WriteSolvedSoluc(const formats::WorkingFolder& folder,
                                  const SimulationOptions& options) {
  std::vector<AnsiString> teachers;
  std::vector<AnsiString> rooms;
  std::vector<Cell> cells;
  std::vector<Assignment> assignments;
  std::vector<AnsiString> activity_codes;
  {
    dbase::Table proft = folder.OpenRunTime("PROFT");
    teachers = DistinctCodes(proft, "ABREV");
    dbase::Table aulat = folder.OpenRunTime("AULAT");
    rooms = DistinctCodes(aulat, "ABREV");
    dbase::Table diashorast = folder.OpenRunTime("DIASHORAST");
    cells = GridCells(diashorast);
    dbase::Table asigt = folder.OpenRunTime("ASIGT");
    assignments = Assignments(asigt);
    dbase::Table asignomt = folder.OpenRunTime("ASIGNOMT");
    activity_codes = ActivityCodes(asignomt);
  }
  if (options.rows && *options.rows < 0) throw Error("El número de filas no puede ser negativo");
  if (options.rows && *options.rows > 0 && assignments.empty()) {
    throw Error("La tabla " + folder.ShownName("ASIGT") + " no tiene filas: no hay periodos que " +
                "colocar");
  }

  Random random(options.seed);
  SimulationReport report;
  report.teachers = static_cast<int>(teachers.size());
  report.grid_cells = static_cast<int>(cells.size());

  // About one teacher in ten stays idle; at least one teacher keeps periods.
  std::vector<AnsiString> shuffled = teachers;
  for (std::size_t i = shuffled.size(); i > 1; --i) {
    std::swap(shuffled[i - 1], shuffled[random.Below(i)]);
  }
  std::size_t idle = (teachers.size() + 5) / 10;
  if (!teachers.empty() && idle >= teachers.size()) idle = teachers.size() - 1;
  const std::set<AnsiString> idle_set(shuffled.begin(), shuffled.begin() + idle);
  std::vector<AnsiString> active;
  for (const AnsiString& code : teachers) {
    if (idle_set.count(code) == 0) active.push_back(code);
  }
  const std::set<AnsiString> active_set(active.begin(), active.end());
  std::vector<int> load(active.size(), 0);  // hours given to each active teacher
  report.idle_teachers = static_cast<int>(idle);

  Occupancy teacher_busy(cells.size());
  Occupancy unit_busy(cells.size());
  std::vector<SolucRowOut> out;
  const std::size_t wanted = options.rows ? static_cast<std::size_t>(*options.rows) : SIZE_MAX;

  auto place_assignment = [&](const Assignment& assignment) {
    SolucRowOut base;
    if (active_set.count(assignment.cprof) != 0) {
      base.prof = assignment.cprof;
    } else if (!active.empty()) {
      // The least loaded teacher (one of them, at random), as a timetabler shares out the work.
      std::vector<std::size_t> least;
      for (std::size_t t = 0; t < active.size(); ++t) {
        if (!least.empty() && load[t] > load[least.front()]) continue;
        if (!least.empty() && load[t] < load[least.front()]) least.clear();
        least.push_back(t);
      }
      const std::size_t chosen_teacher = least[random.Below(least.size())];
      load[chosen_teacher] += assignment.horas;
      base.prof = active[chosen_teacher];
    }
    base.asig = assignment.casig;
    base.codgrupo = assignment.cgrup;

    // Cells free for both the teacher and the class unit first, then any other cell; each
    // hour of the assignment gets a different cell.
    std::vector<bool>& teacher_cells = teacher_busy.Of(base.prof);
    std::vector<bool>& unit_cells = unit_busy.Of(base.codgrupo);
    std::vector<std::size_t> free_cells;
    std::vector<std::size_t> other_cells;
    for (std::size_t c = 0; c < cells.size(); ++c) {
      (teacher_cells[c] || unit_cells[c] ? other_cells : free_cells).push_back(c);
    }
    std::vector<std::size_t> chosen;
    for (auto* pool : {&free_cells, &other_cells}) {
      while (chosen.size() < static_cast<std::size_t>(assignment.horas) && !pool->empty()) {
        std::size_t pick = random.Below(pool->size());
        chosen.push_back((*pool)[pick]);
        (*pool)[pick] = pool->back();
        pool->pop_back();
      }
    }
    std::sort(chosen.begin(), chosen.end(), [&](std::size_t a, std::size_t b) {
      return std::pair(cells[a].dia, cells[a].hora) < std::pair(cells[b].dia, cells[b].hora);
    });

    for (int hour = 0; hour < assignment.horas && out.size() < wanted; ++hour) {
      SolucRowOut row = base;
      const bool has_cell = static_cast<std::size_t>(hour) < chosen.size();
      if (has_cell && !random.Chance(5)) {
        const std::size_t c = chosen[hour];
        row.dia = cells[c].dia;
        row.hora = cells[c].hora;
        teacher_cells[c] = true;
        unit_cells[c] = true;
      }
      if (random.Chance(15)) {
        row.tarea = !activity_codes.empty() ? activity_codes[random.Below(activity_codes.size())]
                    : !assignment.ctarea.empty() ? assignment.ctarea
                                                 : "1";
      }
      if (!rooms.empty() && random.Chance(50)) row.aula = rooms[random.Below(rooms.size())];
      out.push_back(std::move(row));
    }
  };

  if (options.rows) {
    // Cycle through the assignments; an assignment without hours still counts for nothing.
    bool any_hours = false;
    for (const Assignment& a : assignments) any_hours = any_hours || a.horas > 0;
    if (!any_hours && wanted > 0) {
      throw Error("Ninguna fila de " + folder.ShownName("ASIGT") + " tiene HORAS: no hay " +
                  "periodos que colocar");
    }
    for (std::size_t i = 0; out.size() < wanted; i = (i + 1) % assignments.size()) {
      place_assignment(assignments[i]);
    }
  } else {
    for (const Assignment& a : assignments) place_assignment(a);
  }

  report.soluc = folder.DbfPath("SOLUC");
  const std::string shown = folder.ShownName("SOLUC");
  dbase::CreateTable(report.soluc, SimulatedSolucFields(), {}, shown);
  dbase::Table soluc = dbase::Table::Open(report.soluc, dbase::OpenMode::kExclusive, shown);
  for (const SolucRowOut& row : out) {
    soluc.Append();
    soluc.SetText("PROF", row.prof);
    soluc.SetInteger("DIA", row.dia);
    soluc.SetInteger("HORA", row.hora);
    soluc.SetText("ASIG", row.asig);
    soluc.SetText("CODGRUPO", row.codgrupo);
    soluc.SetText("TAREA", row.tarea);
    soluc.SetText("AULA", row.aula);
    soluc.Post();
    ++report.rows;
    (row.dia == 0 ? report.unplaced : report.placed)++;
  }
  soluc.Close();
  return report;
}

}  // namespace orvida::tools

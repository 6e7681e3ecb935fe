#include "timetable/period_resolution.h"

#include "platform/os/error.h"

#include <functional>
#include <string>
#include <string_view>

namespace orvida::timetable {

namespace {

enum Field : std::size_t {
  kDiaSemana,
  kTramo,
  kDependencia,
  kUnidad,
  kOfertaMatrig,
  kMateriaOmg,
  kInicio,
  kFin,
  kHorIni,
  kHorFin,
  kActividad,
};

// ClockToMinutes of a slot's clock text; a text that is not a clock stops the run with the
// conversion message followed by where the text stands.
AnsiString SlotMinutes(const AnsiString& clock, std::string_view field, const AnsiString& diho) {
  try {
    return ClockToMinutes(clock);
  } catch (const ConversionError& error) {
    throw ConversionError(std::string(error.what()) + " (DIASHORAST, fila con DIHO '" +
                          os::AnsiToUtf8(diho) + "', campo " + std::string(field) + " '" +
                          os::AnsiToUtf8(clock) + "')");
  }
}

}  // namespace

bool IsBlank(std::string_view text) { return text.find_first_not_of(' ') == std::string::npos; }

std::int32_t ReadInteger(const dbase::Table& table, std::string_view field) {
  try {
    return table.GetInteger(field);
  } catch (const ConversionError& error) {
    throw ConversionError(std::string(error.what()) + " (" + table.shown_name() + ", campo " +
                          std::string(field) + ")");
  }
}

SolucRow ReadSolucRow(const dbase::Table& soluc) {
  SolucRow row;
  row.asig = soluc.GetText("ASIG");
  row.codgrupo = soluc.GetText("CODGRUPO");
  row.tarea = soluc.GetText("TAREA");
  row.dia = soluc.GetText("DIA");
  row.hora = ReadInteger(soluc, "HORA");
  row.aula = soluc.GetText("AULA");
  return row;
}

std::size_t PeriodLookups::PairHash::operator()(
    const std::pair<AnsiString, AnsiString>& key) const {
  std::size_t first = std::hash<AnsiString>()(key.first);
  std::size_t second = std::hash<AnsiString>()(key.second);
  return first ^ (second + 0x9e3779b97f4a7c15ULL + (first << 6) + (first >> 2));
}

PeriodLookups::PeriodLookups() = default;

PeriodLookups::PeriodLookups(dbase::Table& asigt, dbase::Table& asignomt, dbase::Table& diashorast,
                             dbase::Table& grupost)
    : asigt_(&asigt), asignomt_(&asignomt), diashorast_(&diashorast), grupost_(&grupost) {}

void PeriodLookups::AddAssignment(const AnsiString& casig, const AnsiString& cgrup,
                                  Assignment assignment) {
  assignments_.try_emplace({casig, cgrup}, std::move(assignment));
}

void PeriodLookups::AddActivity(const AnsiString& cod, const AnsiString& codtarea) {
  activities_.try_emplace(cod, codtarea);
}

void PeriodLookups::AddSlot(const AnsiString& diho, Slot slot) {
  slots_.try_emplace(diho, std::move(slot));
}

void PeriodLookups::AddUnit(const AnsiString& abrev, const AnsiString& clave) {
  units_.try_emplace(abrev, clave);
}

// Each loader reads its table from the first row in table order, the key fields of a row
// before the fields it takes, as a scan would; the pointer is cleared once the table is read.
void PeriodLookups::LoadAssignments() {
  dbase::Table& table = *asigt_;
  for (table.First(); !table.Eof(); table.Next()) {
    AnsiString casig = table.GetText("CASIG");
    AnsiString cgrup = table.GetText("CGRUP");
    AddAssignment(casig, cgrup, {table.GetText("CLAVE"), table.GetText("CLAVECURSO")});
  }
  asigt_ = nullptr;
}

void PeriodLookups::LoadActivities() {
  dbase::Table& table = *asignomt_;
  for (table.First(); !table.Eof(); table.Next()) {
    AnsiString cod = table.GetText("COD");
    AddActivity(cod, table.GetText("CODTAREA"));
  }
  asignomt_ = nullptr;
}

void PeriodLookups::LoadSlots() {
  dbase::Table& table = *diashorast_;
  for (table.First(); !table.Eof(); table.Next()) {
    AnsiString diho = table.GetText("DIHO");
    Slot slot;
    slot.dia = table.GetText("DIA");
    slot.coddiho = table.GetText("CODDIHO");
    slot.hora_desde = table.GetText("HORADESDE");
    slot.hora_hasta = table.GetText("HORAHASTA");
    AddSlot(diho, std::move(slot));
  }
  diashorast_ = nullptr;
}

void PeriodLookups::LoadUnits() {
  dbase::Table& table = *grupost_;
  for (table.First(); !table.Eof(); table.Next()) {
    AnsiString abrev = table.GetText("ABREV");
    AddUnit(abrev, table.GetText("CLAVE"));
  }
  grupost_ = nullptr;
}

const PeriodLookups::Assignment* PeriodLookups::FindAssignment(const AnsiString& casig,
                                                               const AnsiString& cgrup) {
  if (asigt_ != nullptr) LoadAssignments();
  auto found = assignments_.find({casig, cgrup});
  return found == assignments_.end() ? nullptr : &found->second;
}

const AnsiString* PeriodLookups::FindActivityCode(const AnsiString& cod) {
  if (asignomt_ != nullptr) LoadActivities();
  auto found = activities_.find(cod);
  return found == activities_.end() ? nullptr : &found->second;
}

const PeriodLookups::Slot* PeriodLookups::FindSlot(const AnsiString& diho) {
  if (diashorast_ != nullptr) LoadSlots();
  auto found = slots_.find(diho);
  return found == slots_.end() ? nullptr : &found->second;
}

const AnsiString* PeriodLookups::FindUnitKey(const AnsiString& abrev) {
  if (grupost_ != nullptr) LoadUnits();
  auto found = units_.find(abrev);
  return found == units_.end() ? nullptr : &found->second;
}

ResolvedPeriod ResolvePeriod(const SolucRow& row, const AnsiString& start_text,
                             const AnsiString& end_text, PeriodLookups& lookups) {
  ResolvedPeriod result;
  auto& texts = result.texts;

  // The course key is emptied like the subject key, so that a period without an assignment
  // never carries another period's course.
  if (const auto* assignment = lookups.FindAssignment(row.asig, row.codgrupo)) {
    texts[kMateriaOmg] = assignment->clave;
    texts[kOfertaMatrig] = assignment->clave_curso;
    result.assignment_found = true;
  }

  AnsiString activity = row.tarea;
  if (IsBlank(activity)) {
    if (const AnsiString* codtarea = lookups.FindActivityCode(row.asig)) activity = *codtarea;
  }

  AnsiString start_clock;
  AnsiString end_clock;
  result.slot_key = row.dia + std::to_string(row.hora);
  if (const auto* slot = lookups.FindSlot(result.slot_key)) {
    texts[kDiaSemana] = slot->dia;
    texts[kTramo] = slot->coddiho;
    start_clock = slot->hora_desde;
    end_clock = slot->hora_hasta;
    result.slot_found = true;
  }

  if (!IsBlank(row.aula)) texts[kDependencia] = row.aula;

  if (const AnsiString* unit_key = lookups.FindUnitKey(row.codgrupo)) {
    texts[kUnidad] = *unit_key;
    result.unit_found = true;
  }

  texts[kHorIni] = SlotMinutes(start_clock, "HORADESDE", result.slot_key);
  texts[kHorFin] = SlotMinutes(end_clock, "HORAHASTA", result.slot_key);

  if (IsBlank(activity)) activity = "1";
  texts[kActividad] = activity;
  texts[kInicio] = start_text;
  texts[kFin] = end_text;
  return result;
}

AnsiString ClockToMinutes(const AnsiString& clock_text) {
  AnsiString text = clock_text;
  if (text.size() < 5) text.insert(text.begin(), '0');
  std::string_view view = text;
  std::string_view hours = view.substr(0, 2);
  std::string_view minutes = view.size() < 2 ? view : view.substr(view.size() - 2);
  const std::int64_t total =
      std::int64_t{os::StrToInt(hours)} * 60 + std::int64_t{os::StrToInt(minutes)};
  return std::to_string(total);
}

}  // namespace orvida::timetable

#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "platform/dbase/table.h"
#include "platform/os/text.h"

namespace orvida::timetable {

using os::AnsiString;

// The fields of one SOLUC row that a placed period needs, as the table gives them.
struct SolucRow {
  AnsiString asig;        // ASIG, subject short code
  AnsiString codgrupo;    // CODGRUPO, class-unit short code
  AnsiString tarea;       // TAREA, activity code, may be blank
  AnsiString dia;         // DIA read as text
  std::int32_t hora = 0;  // HORA read as an integer
  AnsiString aula;        // AULA, room code, may be blank
};

// A field of the current row as an integer; a text that is not one stops the run with the
// conversion message followed by the table and the field.
std::int32_t ReadInteger(const dbase::Table& table, std::string_view field);

// Reads the current row of SOLUC in the order the resolution uses its fields, so that a missing
// field stops the run at its first read with the table engine's message.
SolucRow ReadSolucRow(const dbase::Table& soluc);

// The eleven texts of an activity block, in the order of their `nombre_dato`.
inline constexpr std::array<std::string_view, 11> kActivityFields = {
    "N_DIASEMANA", "X_TRAMO", "X_DEPENDENCIA", "X_UNIDAD", "X_OFERTAMATRIG", "X_MATERIAOMG",
    "F_INICIO",    "F_FIN",   "N_HORINI",      "N_HORFIN", "X_ACTIVIDAD"};

struct ResolvedPeriod {
  std::array<AnsiString, 11> texts;  // Windows-1252, in the order of kActivityFields
  AnsiString slot_key;               // DIA text followed by HORA, the DIASHORAST.DIHO looked up
  bool assignment_found = false;     // an ASIGT row for the subject and the class unit
  bool slot_found = false;           // a DIASHORAST row for the time-slot key
  bool unit_found = false;           // a GRUPOST row for the class unit
};

// The rows of the four tables the resolution reads, kept as maps from key to the first row in
// table order that has that key, so that each lookup gives what a forward scan from the first
// row would. Each table is read once, on its first lookup (a table that is never consulted is
// never read, and a missing field stops the run where a scan would first have read it).
class PeriodLookups {
 public:
  struct Assignment {
    AnsiString clave;        // ASIGT.CLAVE, the subject key
    AnsiString clave_curso;  // ASIGT.CLAVECURSO, the course key
  };
  struct Slot {
    AnsiString dia;         // DIASHORAST.DIA
    AnsiString coddiho;     // DIASHORAST.CODDIHO
    AnsiString hora_desde;  // DIASHORAST.HORADESDE
    AnsiString hora_hasta;  // DIASHORAST.HORAHASTA
  };

  // Lookups over rows given one by one (tests); every table counts as read.
  PeriodLookups();
  // Lookups over the window tables; they must outlive this object.
  PeriodLookups(dbase::Table& asigt, dbase::Table& asignomt, dbase::Table& diashorast,
                dbase::Table& grupost);

  // Rows in table order; a key already present keeps its earlier row.
  void AddAssignment(const AnsiString& casig, const AnsiString& cgrup, Assignment assignment);
  void AddActivity(const AnsiString& cod, const AnsiString& codtarea);
  void AddSlot(const AnsiString& diho, Slot slot);
  void AddUnit(const AnsiString& abrev, const AnsiString& clave);

  const Assignment* FindAssignment(const AnsiString& casig, const AnsiString& cgrup);
  const AnsiString* FindActivityCode(const AnsiString& cod);
  const Slot* FindSlot(const AnsiString& diho);
  const AnsiString* FindUnitKey(const AnsiString& abrev);

 private:
  struct PairHash {
    std::size_t operator()(const std::pair<AnsiString, AnsiString>& key) const;
  };
  void LoadAssignments();
  void LoadActivities();
  void LoadSlots();
  void LoadUnits();

  dbase::Table* asigt_ = nullptr;
  dbase::Table* asignomt_ = nullptr;
  dbase::Table* diashorast_ = nullptr;
  dbase::Table* grupost_ = nullptr;
  std::unordered_map<std::pair<AnsiString, AnsiString>, Assignment, PairHash> assignments_;
  std::unordered_map<AnsiString, AnsiString> activities_;
  std::unordered_map<AnsiString, Slot> slots_;
  std::unordered_map<AnsiString, AnsiString> units_;
};

// Turns one placed period of SOLUC into the eleven texts of its activity block: the day and
// the slot code of the DIASHORAST row whose DIHO is DIA followed by HORA, the room as SOLUC has
// it, the unit key of the GRUPOST row, the course and subject keys of the ASIGT row (both empty
// when no row matches), the start and end texts of the academic year, the slot's start and end
// in minutes ("0" without a slot), and the activity code (TAREA, else ASIGNOMT.CODTAREA, else
// "1"). Throws ConversionError for a clock text that is not hours and minutes: the message of
// ClockToMinutes followed by the slot and the field.
ResolvedPeriod ResolvePeriod(const SolucRow& row, const AnsiString& start_text,
                             const AnsiString& end_text, PeriodLookups& lookups);

// A clock text as minutes after midnight, in decimal: a text shorter than five characters gets
// one "0" in front; hours are its first two characters, minutes its last two (all of it when
// shorter). "08:30" and "8:30" give "510", an empty text "0". A piece that is not a decimal
// integer throws ConversionError naming that piece ("7:5" names ":5").
AnsiString ClockToMinutes(const AnsiString& clock_text);

// Empty, or made of blanks only.
bool IsBlank(std::string_view text);

}  // namespace orvida::timetable

#include "convert/time_slots.h"

#include <string>

#include "convert/step_support.h"
#include "formats/working_tables.h"

namespace orvida::convert {
namespace {

constexpr int kDaysPerWeek = 7;

// Decimal text, with a "0" in front of a single character.
std::string TwoDigits(std::int64_t value) {
  std::string text = std::to_string(value);
  if (text.size() == 1) text.insert(text.begin(), '0');
  return text;
}

}  // namespace

std::string MinutesToClock(std::int32_t minutes) {
  const std::int64_t k = minutes;
  // Hours round down, minutes keep the sign of the value: -30 is "-1:-30".
  const std::int64_t truncated = k / 60;
  const std::int64_t hours = (k % 60 != 0 && k < 0) ? truncated - 1 : truncated;
  const std::int64_t rest = k - 60 * truncated;
  return TwoDigits(hours) + ":" + TwoDigits(rest);
}

void ExportarTramos(const StepContext& context) {
  context.folder.CreateTable(formats::SpecOf("DIASHORAST"));
  context.folder.CreateTable(formats::SpecOf("DIASHORAST2"));

  // First pass: every slot in document order, seven days each, its start minute as the key.
  dbase::Table scratch = OpenForFilling(context.folder, "DIASHORAST2");
  int slot = 1;
  int scratch_rows = 0;
  context.document.ReadSection(
      formats::Section::kTramosHorarios,
      [&](const formats::Record& record) {
        const AnsiString& code = record.Value(0);
        const AnsiString& label = record.Value(1);
        // Converted before the slot's first row, start before end, so a slot with a bad number
        // leaves no row behind.
        const std::int32_t start = os::StrToInt(record.Value(2));
        const std::int32_t end = os::StrToInt(record.Value(3));
        const std::string from = MinutesToClock(start);
        const std::string to = MinutesToClock(end);
        const std::string length = std::to_string(std::int64_t{end} - std::int64_t{start});
        const std::string slot_text = std::to_string(slot);
        for (int day = 1; day <= kDaysPerWeek; ++day) {
          const std::string day_text = std::to_string(day);
          scratch.Append();
          scratch.SetText("DIHO", day_text + slot_text);
          scratch.SetText("DIA", day_text);
          scratch.SetText("HORA", slot_text);
          scratch.SetText("TEXTOHOR", label);
          scratch.SetText("CODDIHO", code);
          scratch.SetText("HORADESDE", from);
          scratch.SetText("HORAHASTA", to);
          scratch.SetText("MINUTOS", length);
          scratch.SetInteger("ORDEN", start);
          scratch.Post();
          ++scratch_rows;
        }
        ++slot;
      },
      context.notices);
  context.Written({"ExportarTramos", "DIASHORAST2", scratch_rows, 7, scratch_rows});

  // Second pass: in start-minute order (equal starts in document order); the period number
  // grows with every new start minute.
  scratch.SetIndexOrder("ORDEN");
  scratch.First();
  std::int32_t last = scratch.Eof() ? 0 : scratch.GetInteger("ORDEN");
  int period = 1;
  dbase::Table grid = OpenForFilling(context.folder, "DIASHORAST");
  int grid_rows = 0;
  for (; !scratch.Eof(); scratch.Next()) {
    const std::int32_t start = scratch.GetInteger("ORDEN");
    if (start > last) {
      ++period;
      last = start;
    }
    const AnsiString day_text = scratch.GetText("DIA");
    const std::string period_text = std::to_string(period);
    grid.Append();
    grid.SetText("DIHO", day_text + period_text);
    grid.SetText("DIA", day_text);
    grid.SetText("HORA", period_text);
    grid.SetText("TEXTOHOR", scratch.GetText("TEXTOHOR"));
    grid.SetText("CODDIHO", scratch.GetText("CODDIHO"));
    grid.SetText("HORADESDE", scratch.GetText("HORADESDE"));
    grid.SetText("HORAHASTA", scratch.GetText("HORAHASTA"));
    grid.SetText("MINUTOS", scratch.GetText("MINUTOS"));
    grid.Post();
    ++grid_rows;
  }
  scratch.Close();
  grid.Close();
  context.Written({"ExportarTramos", "DIASHORAST", grid_rows, 7, grid_rows});
}

}  // namespace orvida::convert

#include "convert/rooms.h"

#include "convert/short_codes.h"
#include "convert/step_support.h"
#include "formats/working_tables.h"

namespace orvida::convert {
namespace {

constexpr int kRoomBaseLength = 2;

}  // namespace

void ExportarAulas(const StepContext& context) {
  context.folder.CreateTable(formats::SpecOf("AULAT"));
  CodeRegistry registry;
  dbase::Table table = OpenForFilling(context.folder, "AULAT");
  int written = 0;
  context.document.ReadSection(
      formats::Section::kDependencias,
      [&](const formats::Record& record) {
        AnsiString candidate = record.Value(0);
        const AnsiString& name = record.Value(1);
        if (candidate.empty()) candidate = Head(name, kShortCodeSize);
        const AnsiString code = MakeShortCode(registry, candidate, kRoomBaseLength);
        ReportCodeChange(context, "DEPENDENCIAS", record.position(),
                         "de la dependencia " + Quoted(name), candidate, code);
        table.Append();
        table.SetText("ABREV", code);
        table.SetText("NOMBRE", name);
        table.Post();
        ++written;
      },
      context.notices);
  table.Close();
  context.Written({"ExportarAulas", "AULAT", written, 4, written});
}

}  // namespace orvida::convert

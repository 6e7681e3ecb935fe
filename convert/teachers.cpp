#include "convert/teachers.h"

#include "convert/short_codes.h"
#include "convert/step_support.h"
#include "formats/working_tables.h"

namespace orvida::convert {
namespace {

constexpr int kTeacherBaseLength = 3;

// The first character of a name part as the document gives it, before trimming; nothing for an
// empty part.
void AppendInitial(AnsiString& initials, const AnsiString& untrimmed) {
  if (!untrimmed.empty()) initials.push_back(untrimmed.front());
}

}  // namespace

void ExportarProfesores(const StepContext& context) {
  context.folder.CreateTable(formats::SpecOf("PROFT"));
  CodeRegistry registry;
  dbase::Table table = OpenForFilling(context.folder, "PROFT");
  int written = 0;
  context.document.ReadSection(
      formats::Section::kEmpleados,
      [&](const formats::Record& record) {
        const AnsiString& key = record.Value(0);
        const AnsiString& second = record.Value(1);
        AnsiString name = record.Value(3);
        AnsiString initials;
        AppendInitial(initials, record.Untrimmed(3));
        name += ' ';
        name += record.Value(4);
        AppendInitial(initials, record.Untrimmed(4));
        name += ", ";
        name += record.Value(5);
        AppendInitial(initials, record.Untrimmed(5));
        const AnsiString code = MakeShortCode(registry, initials, kTeacherBaseLength);
        ReportCodeChange(context, "EMPLEADOS", record.position(),
                         "de " + Quoted(name) + " (" + os::AnsiToUtf8(key) + ")", initials, code);
        table.Append();
        table.SetText("ABREV", code);
        table.SetText("NOMBRE", name);
        table.SetText("X_EMPLEADO", key);
        table.SetText("F_TOMAPOS", second);
        table.Post();
        ++written;
      },
      context.notices);
  table.Close();
  context.Written({"ExportarProfesores", "PROFT", written, 3, written});
}

}  // namespace orvida::convert

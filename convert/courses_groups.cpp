#include "convert/courses_groups.h"

#include <array>
#include <string>
#include <unordered_map>

#include "convert/short_codes.h"
#include "convert/step_support.h"
#include "formats/working_tables.h"

namespace orvida::convert {
namespace {

// One row of the education-level table: a key or an inclusive range of keys, the level code
// and, for some rows, the course code (empty when the row gives none).
struct LevelRow {
  std::int32_t first;
  std::int32_t last;
  std::string_view nivel;
  std::string_view curso;
};

// The education-level table. Every matching row applies, in order, so a later row overwrites an
// earlier one: this matters only where rows 8 and 9 overlap (5887 to 5906 end up "CFGM").
constexpr std::array<LevelRow, 72> kEducationLevels = {{
    {2064, 2067, "BAC", ""},          // 1
    {4624, 4677, "FPGM", ""},         // 2
    {4684, 4746, "FPGS", ""},         // 3
    {4760, 4804, "FPGM", ""},         // 4
    {4822, 4882, "FPGS", ""},         // 5
    {5126, 5168, "CFGS", ""},         // 6
    {5205, 5206, "CFGM", ""},         // 7
    {5312, 5906, "FPGM", ""},         // 8
    {5887, 5915, "CFGM", ""},         // 9
    {100304, 100306, "INF", ""},      // 10
    {100315, 100316, "ESPA", "M1"},   // 11
    {100317, 100322, "PRI", ""},      // 12
    {100323, 100326, "ESO", ""},      // 13
    {100484, 100499, "FPGS", ""},     // 14
    {100504, 100535, "FPGM", ""},     // 15
    {101681, 101681, "ESO", "4D"},    // 16
    {101929, 101929, "EBO", "1"},     // 17
    {101939, 101939, "EBO", "2"},     // 18
    {101940, 101940, "EBO", "3"},     // 19
    {101956, 101956, "PTVA", "1"},    // 20
    {101957, 101957, "PTVA", "2"},    // 21
    {101958, 101958, "PTVA", "3"},    // 22
    {110100, 110116, "ESPA", ""},     // 23
    {110125, 110125, "GES", "1"},     // 24
    {110360, 110360, "ALFA", "1"},    // 25
    {110940, 110940, "ESO", "3D"},    // 26
    {111001, 111008, "BACN", ""},     // 27
    {111020, 111020, "CCTI", "1"},    // 28
    {111396, 111396, "FTIC", "1"},    // 29
    {111398, 111398, "AMLP", "1"},    // 30
    {111405, 111407, "FPGS", "OnL"},  // 31
    {111417, 111417, "INMI", "1"},    // 32
    {111418, 111418, "ETIC", "1"},    // 33
    {111419, 111419, "GRUN", "1"},    // 34
    {111420, 111420, "PCAS", "1"},    // 35
    {111421, 111421, "PCEX", "1"},    // 36
    {111422, 111422, "PEPM", "1"},    // 37
    {111423, 111423, "FSPE", "1"},    // 38
    {111424, 111424, "FI", "1"},      // 39
    {111425, 111425, "PFIG", "1"},    // 40
    {111434, 111434, "PFGM", "1"},    // 41
    {111435, 111435, "PFGS", "1"},    // 42
    {111436, 111436, "AU", "1"},      // 43
    {111437, 111437, "LCEI", "1"},    // 44
    {111438, 111438, "IDIO", "1"},    // 45
    {111439, 111439, "COEX", "1"},    // 46
    {111440, 111440, "ESPA", "PA1"},  // 47
    {111441, 111441, "ESPA", "PA2"},  // 48
    {111442, 111442, "ESPA", "PA3"},  // 49
    {111443, 111443, "ESPA", "PA4"},  // 50
    {111444, 111444, "ESPA", "OL1"},  // 51
    {111445, 111445, "ESPA", "OL2"},  // 52
    {111446, 111446, "ESPA", "OL3"},  // 53
    {111447, 111447, "ESPA", "OL4"},  // 54
    {111448, 111448, "FPGS", "OnL"},  // 55
    {111449, 111449, "EDSA", "1"},    // 56
    {111731, 111733, "CFGM", ""},     // 57
    {111750, 111752, "ESDI", ""},     // 58
    {111761, 111793, "FPGS", ""},     // 59
    {111972, 111977, "TALL", "1"},    // 60
    {111978, 111978, "CINF", "1"},    // 61
    {111979, 111979, "CING", "1"},    // 62
    {111982, 112127, "CFGS", ""},     // 63
    {112146, 112146, "ESDI", ""},     // 64
    {112147, 112147, "CBPO", "1"},    // 65
    {112148, 112148, "CCEA", "1"},    // 66
    {112149, 112149, "CEMA", "1"},    // 67
    {112150, 112150, "TLTE", "1"},    // 68
    {112151, 112151, "CFGS", "AD"},   // 69
    {112154, 112156, "BAC", ""},      // 70
    {113001, 113001, "FPGS", ""},     // 71
    {113002, 113005, "FPGM", ""},     // 72
}};

constexpr int kUnitBaseLength = 3;
constexpr std::string_view kNoLevel = "NIV";

struct CourseCodes {
  AnsiString nivel;
  AnsiString curso;
};

}  // namespace

LevelCodes LookUpEducationLevel(std::int32_t course_key) {
  LevelCodes codes;
  for (const LevelRow& row : kEducationLevels) {
    if (course_key < row.first || course_key > row.last) continue;
    codes.nivel = row.nivel;
    if (!row.curso.empty()) codes.curso = row.curso;
  }
  return codes;
}

void ExportarCursosGrupos(const StepContext& context) {
  context.folder.CreateTable(formats::SpecOf("CURSOST"));
  context.folder.CreateTable(formats::SpecOf("GRUPOST"));
  CodeRegistry registry;

  dbase::Table courses = OpenForFilling(context.folder, "CURSOST");
  int course_rows = 0;
  context.document.ReadSection(
      formats::Section::kCursosDelCentro,
      [&](const formats::Record& record) {
        const AnsiString& key_text = record.Value(0);
        const LevelCodes codes = LookUpEducationLevel(os::StrToInt(key_text));
        AnsiString curso(codes.curso);
        if (curso.empty()) curso = Head(record.Value(1), 1);
        AnsiString nivel(codes.nivel);
        if (nivel.empty()) {
          nivel = kNoLevel;
          Report(context, "curso sin nivel", "CURSOS_DEL_CENTRO", record.position(), key_text,
                 "la clave de curso " + Quoted(key_text) + " (" + Quoted(record.Value(1)) +
                     ") no figura en la tabla de niveles; se le da el nivel NIV.");
        }
        courses.Append();
        courses.SetText("CLAVE", key_text);
        courses.SetText("NIVEL", nivel);
        courses.SetText("CURSO", curso);
        courses.Post();
        ++course_rows;
      },
      context.notices);
  context.Written({"ExportarCursosGrupos", "CURSOST", course_rows, 5, course_rows});

  // Each class unit takes the first course row whose key, as stored, equals its course key;
  // the map holds exactly those first matches.
  std::unordered_map<AnsiString, CourseCodes> course_by_key;
  for (courses.First(); !courses.Eof(); courses.Next()) {
    course_by_key.try_emplace(courses.GetText("CLAVE"),
                              CourseCodes{courses.GetText("NIVEL"), courses.GetText("CURSO")});
  }

  dbase::Table units = OpenForFilling(context.folder, "GRUPOST");
  int unit_rows = 0;
  context.document.ReadSection(
      formats::Section::kUnidades,
      [&](const formats::Record& record) {
        const AnsiString& key = record.Value(0);
        const AnsiString& name = record.Value(1);
        const AnsiString& course_key = record.Value(2);
        CourseCodes course;
        auto found = course_by_key.find(course_key);
        if (found != course_by_key.end()) {
          course = found->second;
        } else {
          Report(context, "unidad sin curso", "UNIDADES", record.position(), key,
                 "la unidad " + Quoted(name) + " pertenece al curso " + Quoted(course_key) +
                     ", que no está en CURSOS_DEL_CENTRO; queda sin nivel ni curso.");
        }
        const AnsiString grupo = name.empty() ? AnsiString() : AnsiString(1, name.back());
        const AnsiString candidate = formats::TrimControl(Head(name, kShortCodeSize));
        const AnsiString code = MakeShortCode(registry, candidate, kUnitBaseLength);
        ReportCodeChange(context, "UNIDADES", record.position(), "de la unidad " + Quoted(name),
                         candidate, code);
        units.Append();
        units.SetText("ABREV", code);
        units.SetText("TURNO", "");
        units.SetText("NIVEL", course.nivel);
        units.SetText("CURSO", course.curso);
        units.SetText("GRUPO", grupo);
        units.SetText("CLAVE", key);
        units.SetText("CLAVECURSO", course_key);
        units.Post();
        ++unit_rows;
      },
      context.notices);
  units.Close();
  courses.Close();
  context.Written({"ExportarCursosGrupos", "GRUPOST", unit_rows, 5, unit_rows});
}

}  // namespace orvida::convert

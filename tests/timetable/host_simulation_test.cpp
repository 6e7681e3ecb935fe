#include "tools/host_simulation.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "formats/notices.h"
#include "platform/os/error.h"
#include "tests/timetable/school_fixture.h"
#include "timetable/timetable_run.h"

namespace orvida::tools {
namespace {

using timetable::testing::FixedClock;
using timetable::testing::ReadBytes;
using timetable::testing::Row;
using timetable::testing::TempFolder;
using timetable::testing::WriteBytes;
using timetable::testing::WriteTable;

struct SolucRead {
  std::string prof;
  int dia, hora;
  std::string asig, codgrupo, tarea, aula;
};

// A school of 20 teachers, 6 rooms, 60 assignments of 4 hours and a grid of 6 periods on all
// seven days (days 6 and 7 must stay unused).
class HostSimulationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    working_ = std::make_unique<formats::WorkingFolder>(folder_.path(), "C:\\KTEMP");
    std::vector<Row> teachers;
    for (int i = 1; i <= 20; ++i) {
      teachers.push_back(
          {{"ABREV", "P" + std::to_string(i)}, {"X_EMPLEADO", std::to_string(5000 + i)}});
    }
    WriteTable(*working_, "PROFT", teachers);
    std::vector<Row> rooms;
    for (int i = 1; i <= 6; ++i) rooms.push_back({{"ABREV", "AU" + std::to_string(i)}});
    WriteTable(*working_, "AULAT", rooms);
    std::vector<Row> slots;
    for (int hora = 1; hora <= 6; ++hora) {
      for (int dia = 1; dia <= 7; ++dia) {
        const std::string clock = "0" + std::to_string(hora + 7) + ":00";
        slots.push_back({{"DIHO", std::to_string(dia) + std::to_string(hora)},
                         {"CODDIHO", "T" + std::to_string(hora)},
                         {"DIA", std::to_string(dia)},
                         {"HORA", std::to_string(hora)},
                         {"HORADESDE", clock.substr(clock.size() - 5)},
                         {"HORAHASTA", clock.substr(clock.size() - 5)}});
      }
    }
    WriteTable(*working_, "DIASHORAST", slots);
    std::vector<Row> assignments;
    std::vector<Row> units;
    std::vector<Row> subjects;
    for (int g = 1; g <= 10; ++g) {
      units.push_back({{"ABREV", "G" + std::to_string(g)}, {"CLAVE", "U" + std::to_string(g)}});
      for (int s = 1; s <= 6; ++s) {
        assignments.push_back({{"CASIG", "S" + std::to_string(s)},
                               {"CGRUP", "G" + std::to_string(g)},
                               {"CLAVE", "M" + std::to_string(s)},
                               {"CLAVECURSO", "C1"},
                               {"HORAS", "4.0"},
                               {"CTAREA", "1"}});
      }
    }
    for (int s = 1; s <= 6; ++s) {
      subjects.push_back({{"COD", "S" + std::to_string(s)}, {"CODTAREA", "1"}});
    }
    WriteTable(*working_, "ASIGT", assignments);
    WriteTable(*working_, "GRUPOST", units);
    WriteTable(*working_, "ASIGNOMT", subjects);
    WriteTable(*working_, "CURSOST", {});
  }

  std::vector<SolucRead> ReadSoluc() {
    dbase::Table table = working_->OpenRunTime("SOLUC");
    std::vector<SolucRead> rows;
    for (table.First(); !table.Eof(); table.Next()) {
      rows.push_back({table.GetText("PROF"), table.GetInteger("DIA"), table.GetInteger("HORA"),
                      table.GetText("ASIG"), table.GetText("CODGRUPO"), table.GetText("TAREA"),
                      table.GetText("AULA")});
    }
    return rows;
  }

  TempFolder folder_;
  std::unique_ptr<formats::WorkingFolder> working_;
};

TEST_F(HostSimulationTest, PlacesEveryHourOnDistinctCellsOfTheWeek) {
  const SimulationReport report = WriteSolvedSoluc(*working_, {7, std::nullopt});
  const std::vector<SolucRead> rows = ReadSoluc();
  ASSERT_EQ(rows.size(), 240u);
  EXPECT_EQ(report.rows, 240);
  EXPECT_EQ(report.grid_cells, 30);
  EXPECT_EQ(report.idle_teachers, 2);

  std::map<std::pair<std::string, std::string>, std::vector<const SolucRead*>> by_assignment;
  std::set<std::string> teachers_used;
  int unplaced = 0, blank_tarea = 0, with_room = 0;
  for (const SolucRead& row : rows) {
    by_assignment[{row.asig, row.codgrupo}].push_back(&row);
    teachers_used.insert(row.prof);
    if (row.dia == 0) {
      ++unplaced;
      EXPECT_EQ(row.hora, 0);
    } else {
      EXPECT_GE(row.dia, 1);
      EXPECT_LE(row.dia, 5);
      EXPECT_GE(row.hora, 1);
      EXPECT_LE(row.hora, 6);
    }
    if (row.tarea.empty()) ++blank_tarea;
    if (!row.aula.empty()) {
      ++with_room;
      EXPECT_EQ(row.aula.substr(0, 2), "AU");
    }
  }
  ASSERT_EQ(by_assignment.size(), 60u);
  for (const auto& [key, hours] : by_assignment) {
    EXPECT_EQ(hours.size(), 4u) << key.first << "/" << key.second;
    std::set<std::pair<int, int>> cells;
    for (const SolucRead* row : hours) {
      if (row->dia != 0) {
        EXPECT_TRUE(cells.insert({row->dia, row->hora}).second)
            << key.first << "/" << key.second << " twice on " << row->dia << "/" << row->hora;
      }
      EXPECT_EQ(row->prof, hours.front()->prof) << "one teacher per assignment";
    }
  }
  EXPECT_EQ(teachers_used.size(), 18u);
  for (const std::string& prof : teachers_used) EXPECT_EQ(prof[0], 'P');
  EXPECT_EQ(unplaced, report.unplaced);
  EXPECT_GT(unplaced, 2);  // about 5 % of 240
  EXPECT_LT(unplaced, 30);
  EXPECT_GT(blank_tarea, 170);  // most rows
  EXPECT_GT(with_room, 70);     // about half
  EXPECT_LT(with_room, 170);

  // What importar makes of it: every placed period resolves, and the two idle teachers are
  // reported.
  WriteBytes(folder_ / "horario.xml", "<SERVICIO><BLOQUE_DATOS/></SERVICIO>");
  formats::NoticeList notices;
  const auto result = timetable::ImportarHorarios(folder_ / "horario.xml", "horario.xml", *working_,
                                                  FixedClock(2024, 1, 10, 9, 0, 0), notices);
  EXPECT_EQ(result.activities, 240 - unplaced);
  for (const auto& [kind, count] : notices.CountByKind()) {
    if (kind == "profesor sin periodos") {
      EXPECT_EQ(count, 2);
    } else {
      EXPECT_EQ(kind, "año académico supuesto") << count;
    }
  }
}

TEST_F(HostSimulationTest, TheSameSeedGivesTheSameTable) {
  auto table_bytes = [&](std::uint64_t seed, std::optional<int> rows) {
    WriteSolvedSoluc(*working_, {seed, rows});
    std::string bytes = ReadBytes(working_->DbfPath("SOLUC"));
    bytes.replace(1, 3, "\0\0\0", 3);  // the date of the last update
    return bytes;
  };
  const std::string first = table_bytes(3, std::nullopt);
  EXPECT_EQ(table_bytes(3, std::nullopt), first);
  EXPECT_NE(table_bytes(4, std::nullopt), first);

  // --filas: exactly that many rows, cycling through the assignments.
  WriteSolvedSoluc(*working_, {3, 1000});
  EXPECT_EQ(ReadSoluc().size(), 1000u);
  WriteSolvedSoluc(*working_, {3, 10});
  EXPECT_EQ(ReadSoluc().size(), 10u);
}

TEST_F(HostSimulationTest, RefusesToInventRowsWithoutAssignments) {
  WriteTable(*working_, "ASIGT", {});
  EXPECT_THROW(WriteSolvedSoluc(*working_, {1, 100}), Error);
  EXPECT_EQ(WriteSolvedSoluc(*working_, {1, std::nullopt}).rows, 0);
}

}  // namespace
}  // namespace orvida::tools

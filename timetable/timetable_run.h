#pragma once

#include <filesystem>
#include <string>

#include "formats/notices.h"
#include "formats/working_tables.h"
#include "platform/os/local_time.h"

namespace orvida::timetable {

struct TimetableResult {
  std::filesystem::path output;  // where the timetable document was saved
  std::string shown_output;      // the same, as messages name it
  int teachers = 0;              // teacher blocks written
  int activities = 0;            // activity blocks written
};

// The timetable run (importar): reads SOLUC and the working tables and saves the timetable
// document "ResultadoOrvida" + the input's file name beside the input. `shown_path` is the
// input's path as the user gave it (it names files in messages). Nothing is written and every
// table is closed when it stops on an error.
TimetableResult ImportarHorarios(const std::filesystem::path& document_path,
                                 const std::string& shown_path,
                                 const formats::WorkingFolder& folder, const os::Clock& clock,
                                 formats::NoticeSink& notices);

// Where the timetable document of an input goes: its folder, then "ResultadoOrvida", then its
// file name ("C:\datos\horario.xml" gives "C:\datos\ResultadoOrvidahorario.xml").
std::filesystem::path OutputPathFor(const std::filesystem::path& document_path);
// The same for the input's path as the user gave it (a Windows or a POSIX path).
std::string ShownOutputPathFor(const std::string& shown_path);

}  // namespace orvida::timetable

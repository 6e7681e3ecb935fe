#include "app/action_runs.h"

#include "convert/backup.h"
#include "convert/conversion_run.h"
#include "formats/notices.h"
#include "timetable/timetable_run.h"

namespace orvida::app {

formats::ExchangeDocument ActionRuns::LoadDocument(const std::filesystem::path& file,
                                                   const std::string& shown_path) {
  formats::ExchangeDocument document = formats::ExchangeDocument::Load(file, shown_path);
  document.RequireEnvelope();
  return document;
}

void ActionRuns::Convert(const formats::ExchangeDocument& document,
                         const formats::WorkingFolder& folder) {
  // The window reports only the end of the run; the backup folder, what it skipped or settled
  // are the batch tool's report. A backup that fails stops the action before any table goes.
  convert::BackupWorkingTables(folder, clock_);
  formats::NullNoticeSink notices;
  convert::RunConversion(document, folder, notices);
}

void ActionRuns::ImportTimetable(const std::filesystem::path& file, const std::string& shown_path,
                                 const formats::WorkingFolder& folder) {
  formats::NullNoticeSink notices;
  timetable::ImportarHorarios(file, shown_path, folder, clock_, notices);
}

}  // namespace orvida::app

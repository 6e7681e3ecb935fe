#pragma once

#include <filesystem>
#include <string>

#include "formats/exchange_document.h"
#include "formats/working_tables.h"
#include "platform/os/local_time.h"

namespace orvida::app {

// The work of the two actions once their frame has a document: the window calls these, and
// tests may wrap them to see what the window shows while each one runs.
class ActionRuns {
 public:
  explicit ActionRuns(os::Clock clock) : clock_(std::move(clock)) {}
  virtual ~ActionRuns() = default;

  // exportar, before the wait cursor: loads the exchange document and checks its envelope.
  virtual formats::ExchangeDocument LoadDocument(const std::filesystem::path& file,
                                                 const std::string& shown_path);
  // exportar, under the wait cursor: a backup of the working tables (copias\AAAAMMDD-HHMMSS),
  // then the conversion run into them.
  virtual void Convert(const formats::ExchangeDocument& document,
                       const formats::WorkingFolder& folder);
  // importar, under the wait cursor: the timetable run, which writes the timetable document
  // beside `file`.
  virtual void ImportTimetable(const std::filesystem::path& file, const std::string& shown_path,
                               const formats::WorkingFolder& folder);

 private:
  os::Clock clock_;
};

}  // namespace orvida::app

#pragma once

#include <functional>
#include <string>
#include <vector>

#include "formats/exchange_document.h"
#include "formats/notices.h"
#include "formats/working_tables.h"

namespace orvida::convert {

// What one step left behind: the table it wrote and the rows it holds now.
struct StepResult {
  std::string step;   // "ExportarMaterias" ...
  std::string table;  // "ASIGNOMT" ...
  int rows = 0;
  int number = 0;   // the step's place in the run, 1 to 7
  int written = 0;  // rows this step added (differs from `rows` for ExportarActividades)
};

using StepObserver = std::function<void(const StepResult&)>;

// The conversion run (exportar): the seven steps in their order over a loaded exchange
// document and a working folder. The document must already have passed RequireEnvelope.
// An error stops the run where it happens (tables of finished steps stay rebuilt; the failing
// step's table keeps the rows posted before the error); every handle is closed on the way out.
// `on_step` is told after each table is written.
void RunConversion(const formats::ExchangeDocument& document, const formats::WorkingFolder& folder,
                   formats::NoticeSink& notices, const StepObserver& on_step = {});

// What every step works with: the loaded document, the working folder, where notices go and
// who is told when a table is written.
struct StepContext {
  const formats::ExchangeDocument& document;
  const formats::WorkingFolder& folder;
  formats::NoticeSink& notices;
  StepObserver on_step;
  // When set, the subjects step keeps here the records of MATERIAS it read and the
  // subject-assignments step takes them from here instead of reading the section again (the
  // document does not change during a run). Steps called one by one read the section each time.
  std::vector<formats::Record>* materias = nullptr;

  void Written(const StepResult& result) const {
    if (on_step) on_step(result);
  }
};

}  // namespace orvida::convert

#include "convert/conversion_run.h"

#include "convert/assignments.h"
#include "convert/courses_groups.h"
#include "convert/rooms.h"
#include "convert/subjects.h"
#include "convert/teachers.h"
#include "convert/time_slots.h"

namespace orvida::convert {

void RunConversion(const formats::ExchangeDocument& document, const formats::WorkingFolder& folder,
                   formats::NoticeSink& notices, const StepObserver& on_step) {
  std::vector<formats::Record> materias;
  const StepContext context{document, folder, notices, on_step, &materias};
  {
    // The subject registries live for the first two steps only; every run starts them empty,
    // so two runs on one document hand out the same codes.
    SubjectRegistries subject_registries;
    ExportarMaterias(context, subject_registries);
    ExportarActividades(context);
  }
  ExportarProfesores(context);
  ExportarAulas(context);
  ExportarCursosGrupos(context);
  ExportarAsignaciones(context);
  ExportarTramos(context);
}

}  // namespace orvida::convert

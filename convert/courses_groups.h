#pragma once

#include <cstdint>
#include <string_view>

#include "convert/conversion_run.h"

namespace orvida::convert {

// The level and course codes the education-level table gives a course key; empty texts when no
// row matches (the caller then falls back to "NIV" and the course name's first character).
struct LevelCodes {
  std::string_view nivel;
  std::string_view curso;
};
LevelCodes LookUpEducationLevel(std::int32_t course_key);

// Step 5: recreates CURSOST (one row per course of CURSOS_DEL_CENTRO) and GRUPOST (one row per
// class unit of UNIDADES, with the level and course codes of its course).
void ExportarCursosGrupos(const StepContext& context);

}  // namespace orvida::convert

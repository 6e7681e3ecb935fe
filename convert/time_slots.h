#pragma once

#include <cstdint>
#include <string>

#include "convert/conversion_run.h"

namespace orvida::convert {

// Step 7: recreates DIASHORAST2 (the first pass: every slot in document order, days 1 to 7,
// with its start minute in ORDEN) and DIASHORAST (the same rows in start-minute order, periods
// renumbered so that slots starting at the same minute share one).
void ExportarTramos(const StepContext& context);

// Minutes after midnight as clock text, hours and minutes padded to two digits:
// 545 -> "09:05"; hours are not reduced modulo 24 (1500 -> "25:00"); the minutes keep the sign
// of the value (-30 -> "-1:-30").
std::string MinutesToClock(std::int32_t minutes);

}  // namespace orvida::convert

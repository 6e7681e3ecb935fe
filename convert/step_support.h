#pragma once

// Helpers the steps share: notices with table text converted for messages.

#include <string>
#include <string_view>

#include "convert/conversion_run.h"
#include "formats/working_tables.h"
#include "platform/dbase/table.h"
#include "platform/os/text.h"

namespace orvida::convert {

using os::AnsiString;

// Table text (Windows-1252) quoted for a message: 'Lengua'.
inline std::string Quoted(std::string_view ansi) { return "'" + os::AnsiToUtf8(ansi) + "'"; }

// Rows a step's table keeps in memory before writing them together.
inline constexpr int kRowsWrittenTogether = 512;

// The step's own handle for filling a table. Exclusive, so that the engine may write the rows in
// batches instead of one by one: the step has just created (or, for the activities, just
// written) the table, and nobody else has any use for it until the step is done. Every row
// posted is on disk once the handle is closed or dropped, also when an error stops the step.
inline dbase::Table OpenForFilling(const formats::WorkingFolder& folder, std::string_view table) {
  dbase::Table handle = folder.OpenWindow(table);
  handle.SetWriteBehind(kRowsWrittenTogether);
  return handle;
}

inline void Report(const StepContext& context, std::string kind, std::string_view where,
                   int position, std::string_view ansi_key, std::string message) {
  formats::Notice notice;
  notice.kind = std::move(kind);
  notice.where = std::string(where);
  notice.position = position;
  notice.key = os::AnsiToUtf8(ansi_key);
  notice.message = std::move(message);
  context.notices.Report(std::move(notice));
}

// Tells when a short code differs from the candidate it was made from.
inline void ReportCodeChange(const StepContext& context, std::string_view where, int position,
                             std::string_view what, std::string_view candidate,
                             std::string_view code) {
  if (candidate == code) return;
  const std::string_view head = candidate.substr(0, 4);
  std::string reason;
  if (code == head) {
    reason = "no cabe en cuatro caracteres";
  } else if (head != candidate) {
    reason = "ya está en uso en sus cuatro primeros caracteres, " + Quoted(head);
  } else {
    reason = "ya está en uso";
  }
  Report(context, "código cambiado", where, position, candidate,
         "el código " + Quoted(candidate) + " " + std::string(what) + " " + reason + "; queda " +
             Quoted(code) + ".");
}

}  // namespace orvida::convert

#pragma once

// Helpers the steps share: notices with table text converted for messages.

#include <string>
#include <string_view>

#include "convert/conversion_run.h"
#include "platform/os/text.h"

namespace orvida::convert {

using os::AnsiString;

// Table text (Windows-1252) quoted for a message: 'Lengua'.
inline std::string Quoted(std::string_view ansi) { return "'" + os::AnsiToUtf8(ansi) + "'"; }

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

#pragma once

// What the exchange-document fuzz target does with an input, shared with the tests that replay
// the corpus and the inputs that once broke the reader: the bytes are parsed, the envelope
// checked and every section read, every value touched. Returns when the reader accepted the
// input or refused it with orvida::Error; anything else escapes.
#include <optional>
#include <string>
#include <string_view>

#include "formats/exchange_document.h"
#include "formats/notices.h"
#include "fuzz/fuzz_support.h"
#include "platform/os/error.h"
#include "platform/xml/xml_document.h"

namespace orvida::fuzz {

inline void ReadExchangeDocumentInput(std::string_view bytes) {
  using orvida::formats::ExchangeDocument;
  const std::string shown_path = "C:\\datos\\fuzz.xml";

  std::optional<ExchangeDocument> document;
  try {
    document.emplace(
        ExchangeDocument::FromXml(orvida::xml::Document::Parse(bytes, shown_path), shown_path));
  } catch (const orvida::Error& error) {
    Consume(error.what());  // a refusal is a valid outcome
    return;
  }
  // The section readers run whatever the envelope says: a document that fails the check must
  // still not break them.
  try {
    document->RequireEnvelope();
  } catch (const orvida::Error& error) {
    Consume(error.what());
  }

  orvida::formats::NullNoticeSink notices;
  for (const orvida::formats::SectionInfo& info : orvida::formats::AllSections()) {
    try {
      const orvida::formats::SectionStats stats = document->ReadSection(
          info.section,
          [](const orvida::formats::Record& record) {
            for (int i = 0; i < record.field_count(); ++i) {
              Consume(record.Value(i));
              Consume(record.Untrimmed(i));
            }
            Consume(record.position());
          },
          notices);
      Require(stats.found == stats.used + stats.skipped, "every record found is used or skipped");
    } catch (const orvida::Error& error) {
      Consume(error.what());
    }
  }
}

}  // namespace orvida::fuzz

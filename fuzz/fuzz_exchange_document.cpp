// libFuzzer target: an exchange document as any system or colleague might hand it over. The
// bytes are parsed, the envelope checked and every section read, every value touched.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "formats/exchange_document.h"
#include "formats/notices.h"
#include "fuzz/fuzz_support.h"
#include "platform/os/error.h"
#include "platform/xml/xml_document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using orvida::formats::ExchangeDocument;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string shown_path = "C:\\datos\\fuzz.xml";

  std::optional<ExchangeDocument> document;
  try {
    document.emplace(
        ExchangeDocument::FromXml(orvida::xml::Document::Parse(bytes, shown_path), shown_path));
  } catch (const orvida::Error& error) {
    orvida::fuzz::Consume(error.what());  // a refusal is a valid outcome
    return 0;
  }
  // The section readers run whatever the envelope says: a document that fails the check must
  // still not break them.
  try {
    document->RequireEnvelope();
  } catch (const orvida::Error& error) {
    orvida::fuzz::Consume(error.what());
  }

  orvida::formats::NullNoticeSink notices;
  for (const orvida::formats::SectionInfo& info : orvida::formats::AllSections()) {
    try {
      const orvida::formats::SectionStats stats = document->ReadSection(
          info.section,
          [](const orvida::formats::Record& record) {
            for (int i = 0; i < record.field_count(); ++i) {
              orvida::fuzz::Consume(record.Value(i));
              orvida::fuzz::Consume(record.Untrimmed(i));
            }
            orvida::fuzz::Consume(record.position());
          },
          notices);
      if (stats.found != stats.used + stats.skipped) __builtin_trap();
    } catch (const orvida::Error& error) {
      orvida::fuzz::Consume(error.what());
    }
  }
  return 0;
}

// libFuzzer target: the production index (.MDX) reader on its own. The bytes are a whole .MDX
// file: its header and tag table are parsed, and the tree of every tag walked, every key read.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "platform/dbase/decimal.h"
#include "platform/dbase/mdx.h"
#include "platform/os/error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace internal = orvida::dbase::internal;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string shown_name = "C:\\KTEMP\\FUZZ.MDX";

  internal::MdxFile file;
  try {
    file = internal::ParseMdx(bytes, shown_name);
  } catch (const orvida::Error& error) {
    orvida::fuzz::Consume(error.what());
    return 0;
  }
  for (const internal::MdxTag& tag : file.tags) {
    orvida::fuzz::Consume(tag.name);
    orvida::fuzz::Consume(tag.expression);
    try {
      for (const auto& [key, record] : internal::ReadTagEntries(bytes, file, tag, shown_name)) {
        if (key.size() != static_cast<std::size_t>(tag.key_length)) __builtin_trap();
        orvida::fuzz::Consume(key);
        orvida::fuzz::Consume(static_cast<double>(record));
        // A numeric key is decoded as the engine would compare it.
        if (tag.key_type == 'N' && key.size() == 12) {
          internal::NumericKey packed{};
          std::copy(key.begin(), key.end(), packed.begin());
          if (const auto value = internal::DecodeNumericKey(packed)) {
            orvida::fuzz::Consume(value->ToText());
          }
        }
      }
    } catch (const orvida::Error& error) {
      orvida::fuzz::Consume(error.what());
    }
  }
  return 0;
}

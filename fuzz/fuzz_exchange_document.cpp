// libFuzzer target: an exchange document as any system or colleague might hand it over (see
// ReadExchangeDocumentInput).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/document_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  orvida::fuzz::ReadExchangeDocumentInput(
      std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}

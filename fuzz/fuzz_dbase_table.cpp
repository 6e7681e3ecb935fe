// libFuzzer target: the dBase table reader, through the same calls the runs make (see
// ReadTableInput for the layout of an input and what is read).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/dbase_readers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  orvida::fuzz::ReadTableInput(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}

// libFuzzer target: the production index (.MDX) reader on its own; an input is a whole .MDX
// file (see ReadMdxInput).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/dbase_readers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  orvida::fuzz::ReadMdxInput(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}

// The exchange-document fuzz target's inputs read again by the same routine: every seed of its
// corpus and every document that once broke the reader (tests/data/fuzz/fuzz_exchange_document/)
// is read or refused with orvida::Error, never crashes, never trips a sanitizer and never throws
// anything else.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz/document_reader.h"

namespace orvida::formats {
namespace {

namespace fs = std::filesystem;

TEST(ExchangeDocumentFuzzRegressionsTest, DocumentsAreReadOrRefused) {
  int count = 0;
  for (const fs::path& folder :
       {fs::path(ORVIDA_SOURCE_DIR) / "fuzz" / "corpus" / "fuzz_exchange_document",
        fs::path(ORVIDA_TEST_DATA) / "fuzz" / "fuzz_exchange_document"}) {
    if (!fs::is_directory(folder)) continue;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
      SCOPED_TRACE(entry.path().string());
      std::ifstream in(entry.path(), std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
      EXPECT_NO_THROW(fuzz::ReadExchangeDocumentInput(bytes));
      ++count;
    }
  }
  EXPECT_GE(count, 5);
}

}  // namespace
}  // namespace orvida::formats

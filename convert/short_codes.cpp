#include "convert/short_codes.h"

#include <algorithm>
#include <array>

#include "platform/os/error.h"

namespace orvida::convert {
namespace {

// For every byte, the smallest byte the platform's comparison takes for the same letter. The
// comparison works byte by byte, so two texts are equal ignoring case exactly when their bytes
// map to the same representatives.
const std::array<unsigned char, 256>& Representatives() {
  static const std::array<unsigned char, 256> table = [] {
    std::array<unsigned char, 256> rep{};
    for (int b = 0; b < 256; ++b) {
      rep[b] = static_cast<unsigned char>(b);
      const char cb = static_cast<char>(b);
      for (int a = 0; a < b; ++a) {
        const char ca = static_cast<char>(a);
        if (os::SameTextIgnoreCase(std::string_view(&ca, 1), std::string_view(&cb, 1))) {
          rep[b] = rep[a];
          break;
        }
      }
    }
    return rep;
  }();
  return table;
}

std::string FoldKey(std::string_view code) {
  const auto& rep = Representatives();
  std::string key(code);
  for (char& c : key) c = static_cast<char>(rep[static_cast<unsigned char>(c)]);
  return key;
}

// Larger counters would leave no room for the base in four characters.
constexpr int kLastCounter = 9999;

}  // namespace

int CodeRegistry::Find(std::string_view code) const {
  auto it = first_by_key_.find(FoldKey(code));
  if (it == first_by_key_.end()) return -1;
  // The key only narrows the search; the platform's comparison decides.
  return os::SameTextIgnoreCase(entries_[it->second], code) ? it->second : -1;
}

void CodeRegistry::Add(std::string_view code) {
  first_by_key_.emplace(FoldKey(code), static_cast<int>(entries_.size()));
  entries_.emplace_back(code);
}

AnsiString MakeShortCode(CodeRegistry& registry, std::string_view candidate, int base_length) {
  AnsiString code = Head(candidate, kShortCodeSize);
  if (registry.Contains(code)) {
    // Every code tried below is the candidate's first `base_length` characters, or fewer,
    // followed by the counter, so those characters decide the whole sequence.
    const auto full_base = static_cast<std::size_t>(base_length);
    int& next = registry.next_counter_
                    .try_emplace(
                        FoldKey(Head(candidate, full_base)) + '\0' + std::to_string(base_length), 1)
                    .first->second;
    bool found = false;
    for (; next <= kLastCounter && !found; ++next) {
      const std::string digits = std::to_string(next);
      code = Head(candidate, std::min(full_base, std::size_t{kShortCodeSize} - digits.size())) +
             digits;
      found = !registry.Contains(code);
    }
    if (!found) {
      throw Error("No quedan códigos cortos libres para '" + os::AnsiToUtf8(candidate) + "'");
    }
  }
  registry.Add(code);
  return code;
}

}  // namespace orvida::convert

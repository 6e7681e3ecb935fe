#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/os/text.h"

namespace orvida::convert {

using os::AnsiString;

// The codes handed out so far for one kind of entity within one conversion run. Entries keep
// the order and letter case in which they were added; membership ignores letter case through
// the one case-insensitive comparison of the platform ('MATE' and 'Mate' are the same code).
class CodeRegistry {
 public:
  // The index of the first entry equal to `code` ignoring case, or -1.
  int Find(std::string_view code) const;
  bool Contains(std::string_view code) const { return Find(code) >= 0; }
  // Adds `code` (even when an equal one is there: the registry never refuses an entry).
  void Add(std::string_view code);

  const std::vector<AnsiString>& entries() const { return entries_; }
  int size() const { return static_cast<int>(entries_.size()); }

 private:
  friend AnsiString MakeShortCode(CodeRegistry&, std::string_view, int);

  std::vector<AnsiString> entries_;
  // For each base (case-folded, with its base length): every counter below this one is known
  // to make a taken code. Codes are never removed, so the search for a free code can start
  // there and a base with many collisions stays cheap.
  std::unordered_map<std::string, int> next_counter_;
  // Case-folded entry -> index of its first entry, so that a membership test does not scan
  // every code handed out so far.
  std::unordered_map<std::string, int> first_by_key_;
};

// The longest short code the working tables can hold.
inline constexpr int kShortCodeSize = 4;

// The short code for `candidate`, added to `registry`: its first four characters when they are
// free; otherwise the first free code made of the first min(base_length, 4 - digits) characters
// of the candidate followed by 1, 2, 3 ... in decimal. Every code is at most four characters, so
// the tables keep the codes unique. Throws Error when the counter runs out (no code is free).
AnsiString MakeShortCode(CodeRegistry& registry, std::string_view candidate, int base_length);

// The first `count` characters of `text` (all of it when shorter).
inline AnsiString Head(std::string_view text, std::size_t count) {
  return AnsiString(text.substr(0, count));
}

}  // namespace orvida::convert

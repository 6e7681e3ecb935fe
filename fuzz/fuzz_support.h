#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>

// What the fuzz targets and the tests that replay their inputs share: a folder of their own for the
// files a reader must open by path, and a sink that keeps the compiler from dropping the values a
// target reads.
namespace orvida::fuzz {

// The process's scratch folder, made at the first call under the system's temporary folder and
// removed when the process exits normally. Every input reuses it, so a run of millions of inputs
// creates one folder, not millions.
inline const std::filesystem::path& ScratchFolder() {
  // Never destroyed: the exit handler that removes the folder runs after static destructors
  // registered later, and must still find its name.
  static const std::filesystem::path* const folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvida-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    const auto* made = new std::filesystem::path(pattern);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(ScratchFolder(), ec);
    });
    return made;
  }();
  return *folder;
}

// Replaces `path` with exactly `bytes`; a failure here is the harness's, not the reader's.
inline void WriteScratchFile(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::perror(path.c_str());
    std::abort();
  }
}

inline void RemoveScratchFile(const std::filesystem::path& path) {
  std::error_code ec;
  std::filesystem::remove(path, ec);
}

// An invariant of the reader that an input broke: reported and aborted, which libFuzzer
// records as a crash and a test as a failure.
inline void Require(bool holds, const char* what) {
  if (!holds) {
    std::fprintf(stderr, "invariante roto: %s\n", what);
    std::abort();
  }
}

// Folds what a target read into a value the optimiser must keep.
inline volatile std::uint64_t& Sink() {
  static volatile std::uint64_t sink = 0;
  return sink;
}

inline void Consume(std::string_view text) {
  std::uint64_t hash = Sink();
  for (char c : text) hash = hash * 131 + static_cast<unsigned char>(c);
  Sink() = hash + text.size();
}

inline void Consume(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  Sink() = Sink() * 31 + bits;
}

}  // namespace orvida::fuzz

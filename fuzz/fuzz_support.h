// Shared pieces of the fuzz targets: a byte reader that never runs past the input, a
// check that stops the run with a message, and the quiet stand-ins for sound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sound.h"

namespace sonavi::fuzz {

// Aborts the run (libFuzzer then saves the input) when an expectation does not hold.
#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size)
      : bytes_(reinterpret_cast<const char*>(data), size) {}
  bool empty() const { return bytes_.empty(); }
  size_t remaining() const { return bytes_.size(); }
  // One byte, or 0 when the input is used up.
  uint8_t Byte() {
    if (bytes_.empty()) return 0;
    const uint8_t b = static_cast<uint8_t>(bytes_[0]);
    bytes_.remove_prefix(1);
    return b;
  }
  uint32_t U32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | Byte();
    return v;
  }
  // The next n bytes, or as many as are left.
  std::string_view Take(size_t n) {
    std::string_view piece = bytes_.substr(0, n);
    bytes_.remove_prefix(piece.size());
    return piece;
  }
  // The bytes up to the next separator (which is consumed), or the rest of the input.
  std::string_view Until(char separator) {
    const size_t at = bytes_.find(separator);
    std::string_view piece = bytes_.substr(0, at);
    bytes_.remove_prefix(at == std::string_view::npos ? bytes_.size() : at + 1);
    return piece;
  }
  std::string_view Rest() {
    std::string_view rest = bytes_;
    bytes_ = std::string_view();
    return rest;
  }

 private:
  std::string_view bytes_;
};

// Every segment of the input between separators, the empty ones included.
inline std::vector<std::string_view> Segments(std::string_view bytes, char separator) {
  std::vector<std::string_view> out;
  while (true) {
    const size_t at = bytes.find(separator);
    out.push_back(bytes.substr(0, at));
    if (at == std::string_view::npos) break;
    bytes.remove_prefix(at + 1);
  }
  return out;
}

class CountingSound : public Sound {
 public:
  void PlayRing() override { ++rings; }
  int rings = 0;
};

}  // namespace sonavi::fuzz

// The committed sound and pictures have the forms the program and Windows expect.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace sonavi {
namespace {

std::string ReadResource(const std::string& name) {
  std::ifstream in(std::string(SONAVI_RESOURCE_DIR) + "/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t Le(const std::string& bytes, std::size_t at, int size) {
  std::uint32_t v = 0;
  for (int i = size - 1; i >= 0; --i) {
    v = (v << 8) | static_cast<unsigned char>(bytes.at(at + static_cast<std::size_t>(i)));
  }
  return v;
}

struct Wave {
  std::uint32_t format = 0, channels = 0, rate = 0, byte_rate = 0, block = 0, bits = 0;
  std::string data;
  bool has_format = false, has_data = false;
};

// Walks the RIFF chunks, wherever "fmt " and "data" are and whatever else lies between.
::testing::AssertionResult ParseWave(const std::string& file, Wave* wave) {
  if (file.size() < 12 || file.compare(0, 4, "RIFF") != 0 || file.compare(8, 4, "WAVE") != 0) {
    return ::testing::AssertionFailure() << "not a RIFF/WAVE file";
  }
  if (Le(file, 4, 4) + 8 != file.size()) {
    return ::testing::AssertionFailure()
           << "RIFF size " << Le(file, 4, 4) << " for a file of " << file.size() << " bytes";
  }
  for (std::size_t at = 12; at < file.size();) {
    if (at + 8 > file.size()) return ::testing::AssertionFailure() << "truncated chunk header";
    const std::string id = file.substr(at, 4);
    const std::uint32_t size = Le(file, at + 4, 4);
    if (at + 8 + size > file.size()) return ::testing::AssertionFailure() << id << " overruns";
    if (id == "fmt ") {
      if (size < 16) return ::testing::AssertionFailure() << "short fmt chunk";
      wave->format = Le(file, at + 8, 2);
      wave->channels = Le(file, at + 10, 2);
      wave->rate = Le(file, at + 12, 4);
      wave->byte_rate = Le(file, at + 16, 4);
      wave->block = Le(file, at + 20, 2);
      wave->bits = Le(file, at + 22, 2);
      wave->has_format = true;
    } else if (id == "data") {
      wave->data = file.substr(at + 8, size);
      wave->has_data = true;
    }
    at += 8 + size + (size & 1);
  }
  if (!wave->has_format || !wave->has_data) {
    return ::testing::AssertionFailure() << "fmt or data chunk missing";
  }
  return ::testing::AssertionSuccess();
}

TEST(RingSound, IsPcmMono22050Hz16BitAndAboutOnePointSevenSeconds) {
  Wave wave;
  ASSERT_TRUE(ParseWave(ReadResource("ring.wav"), &wave));
  EXPECT_EQ(wave.format, 1u);  // PCM
  EXPECT_EQ(wave.channels, 1u);
  EXPECT_EQ(wave.rate, 22050u);
  EXPECT_EQ(wave.bits, 16u);
  EXPECT_EQ(wave.block, 2u);
  EXPECT_EQ(wave.byte_rate, 44100u);
  ASSERT_EQ(wave.data.size() % 2, 0u);
  const double seconds = static_cast<double>(wave.data.size()) / 2 / 22050;
  EXPECT_GE(seconds, 1.5);
  EXPECT_LE(seconds, 1.9);
}

TEST(RingSound, IsAudibleWithoutClippingAndStartsAndEndsQuietly) {
  Wave wave;
  ASSERT_TRUE(ParseWave(ReadResource("ring.wav"), &wave));
  const std::size_t samples = wave.data.size() / 2;
  ASSERT_GT(samples, 100u);
  auto sample = [&](std::size_t i) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(Le(wave.data, 2 * i, 2)));
  };
  int peak = 0;
  for (std::size_t i = 0; i < samples; ++i) peak = std::max(peak, std::abs(int{sample(i)}));
  EXPECT_GT(peak, 32767 / 8);  // loud enough to hear
  EXPECT_LT(peak, 32767);      // never clipped
  // Soft edges: no click at either end.
  EXPECT_LT(std::abs(int{sample(0)}), 200);
  EXPECT_LT(std::abs(int{sample(samples - 1)}), 200);
}

struct IconEntry {
  unsigned width, height, bits;
};

// The directory of an .ico file, each entry checked to point at a 32-bit image of its size.
::testing::AssertionResult ParseIcon(const std::string& file, std::vector<IconEntry>* entries) {
  if (file.size() < 6 || Le(file, 0, 2) != 0 || Le(file, 2, 2) != 1) {
    return ::testing::AssertionFailure() << "not an icon file";
  }
  const std::uint32_t count = Le(file, 4, 2);
  if (file.size() < 6 + 16 * count) return ::testing::AssertionFailure() << "short directory";
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t at = 6 + 16 * i;
    IconEntry entry{Le(file, at, 1), Le(file, at + 1, 1), Le(file, at + 6, 2)};
    const std::uint32_t size = Le(file, at + 8, 4), offset = Le(file, at + 12, 4);
    if (offset + size > file.size() || size < 40) {
      return ::testing::AssertionFailure() << "image " << i << " lies outside the file";
    }
    // A PNG picture (the 256-pixel image, whose width and height read 0).
    if (file.compare(offset, 8, "\x89PNG\r\n\x1a\n") == 0 && entry.width == 0) {
      entries->push_back({256, 256, entry.bits});
      continue;
    }
    // BITMAPINFOHEADER: width, height counted twice (colours and mask), bit depth.
    if (Le(file, offset, 4) != 40 || Le(file, offset + 4, 4) != entry.width ||
        Le(file, offset + 8, 4) != 2 * entry.height || Le(file, offset + 14, 2) != entry.bits) {
      return ::testing::AssertionFailure() << "image " << i << " header disagrees";
    }
    const std::size_t colours = entry.width * entry.height * entry.bits / 8;
    const std::size_t mask = ((entry.width + 31) / 32) * 4 * entry.height;
    if (size != 40 + colours + mask) {
      return ::testing::AssertionFailure() << "image " << i << " has " << size << " bytes";
    }
    entries->push_back(entry);
  }
  return ::testing::AssertionSuccess();
}

bool Holds(const std::vector<IconEntry>& entries, unsigned size) {
  for (const IconEntry& e : entries) {
    if (e.width == size && e.height == size) return true;
  }
  return false;
}

// The small icon and the tray at 100, 125, 150 and 200 %, the large icon at 100 and 150 %,
// and Explorer's largest view.
TEST(Icons, EachHasEverySizeWindowsAsksFor) {
  for (const char* name : {"sonavi.ico", "tray_not_ready.ico", "tray_caller_id.ico"}) {
    std::vector<IconEntry> entries;
    ASSERT_TRUE(ParseIcon(ReadResource(name), &entries)) << name;
    for (unsigned size : {16, 20, 24, 32, 48, 256})
      EXPECT_TRUE(Holds(entries, size)) << name << size;
  }
}

}  // namespace
}  // namespace sonavi

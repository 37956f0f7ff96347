#include "about/filever.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "about/about_window.h"

namespace sonavi {
namespace {

class ScriptedVersionResource : public VersionResource {
 public:
  explicit ScriptedVersionResource(std::optional<std::string> block) : block_(std::move(block)) {}
  std::optional<std::string> RootBlock() const override { return block_; }

 private:
  std::optional<std::string> block_;
};

void PutDword(std::string& bytes, size_t offset, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A fixed file information record of the given size with the given file and product
// versions.
std::string FixedFileInfo(uint32_t file_ms, uint32_t file_ls, size_t size = 52,
                          uint32_t product_ms = 0x00090008, uint32_t product_ls = 0x00070006) {
  std::string bytes(size, '\0');
  PutDword(bytes, 0, 0xFEEF04BD);
  PutDword(bytes, 4, 0x00010000);
  if (size >= 16) {
    PutDword(bytes, 8, file_ms);
    PutDword(bytes, 12, file_ls);
  }
  if (size >= 24) {
    PutDword(bytes, 16, product_ms);
    PutDword(bytes, 20, product_ls);
  }
  return bytes;
}

TEST(FileVersion, TakesTheFileVersionWordsInOrder) {
  const ScriptedVersionResource resource(FixedFileInfo(0x00010000, 0x00020075));
  EXPECT_EQ(FullFileVersion(resource), "1.0.2.117");
  EXPECT_EQ(ShortFileVersion(resource), "1.0");
}

TEST(FileVersion, ReadsTheFileVersionNotTheProductVersion) {
  const ScriptedVersionResource resource(
      FixedFileInfo(0x00030004, 0x00050006, 52, 0x00010001, 0x00010001));
  EXPECT_EQ(FullFileVersion(resource), "3.4.5.6");
  EXPECT_EQ(ShortFileVersion(resource), "3.4");
}

TEST(FileVersion, WordsAreUnsignedUpToTheirLargestValue) {
  const ScriptedVersionResource resource(FixedFileInfo(0xFFFF8000, 0x0000FFFF, 60));
  EXPECT_EQ(FullFileVersion(resource), "65535.32768.0.65535");
  EXPECT_EQ(ShortFileVersion(resource), "65535.32768");
}

TEST(FileVersion, EmptyWithoutAResourceOrWithATooShortBlock) {
  const ScriptedVersionResource none(std::nullopt);
  EXPECT_EQ(FullFileVersion(none), "");
  EXPECT_EQ(ShortFileVersion(none), "");
  const ScriptedVersionResource empty(std::string{});
  EXPECT_EQ(FullFileVersion(empty), "");
  const ScriptedVersionResource short_block(FixedFileInfo(0x00010000, 0x00020075, 51));
  EXPECT_EQ(FullFileVersion(short_block), "");
  EXPECT_EQ(ShortFileVersion(short_block), "");
}

TEST(VersionLabel, FillsTheLayoutText) {
  EXPECT_EQ(VersionLabelText("Version %s", "1.0", "1.0.2.117"), "Version 1.0   (1.0.2.117)");
}

TEST(VersionLabel, WithoutAVersionLeavesFourBlanksAndEmptyParentheses) {
  EXPECT_EQ(VersionLabelText("Version %s", "", ""), "Version    ()");
}

TEST(VersionLabel, OnlyTheFirstPlaceholderIsFilled) {
  EXPECT_EQ(VersionLabelText("%s %s 100%%", "1.0", "1.0.2.117"), "1.0   (1.0.2.117) %s 100%");
  EXPECT_EQ(VersionLabelText("Vers\xE3o", "1.0", "1.0.2.117"), "Vers\xE3o");
  EXPECT_EQ(VersionLabelText("50%", "1.0", "1.0.2.117"), "50%");
}

}  // namespace
}  // namespace sonavi

#include "about/filever.h"

#include <cstdint>
#include <cstdio>

namespace sonavi {

namespace {

// A fixed file information record is 13 double words; the file version is in the
// third (most significant half) and fourth (least significant half).
constexpr size_t kFixedFileInfoSize = 52;
constexpr size_t kFileVersionMsOffset = 8;
constexpr size_t kFileVersionLsOffset = 12;

struct FileVersion {
  unsigned major, minor, release, build;
};

uint32_t ReadDword(const std::string& bytes, size_t offset) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) {
    value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
  }
  return value;
}

std::optional<FileVersion> ReadFileVersion(const VersionResource& resource) {
  const std::optional<std::string> block = resource.RootBlock();
  if (!block || block->size() < kFixedFileInfoSize) return std::nullopt;
  const uint32_t ms = ReadDword(*block, kFileVersionMsOffset);
  const uint32_t ls = ReadDword(*block, kFileVersionLsOffset);
  return FileVersion{ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF};
}

}  // namespace

std::string FullFileVersion(const VersionResource& resource) {
  const std::optional<FileVersion> v = ReadFileVersion(resource);
  if (!v) return std::string();
  char text[48];
  std::snprintf(text, sizeof(text), "%u.%u.%u.%u", v->major, v->minor, v->release, v->build);
  return text;
}

std::string ShortFileVersion(const VersionResource& resource) {
  const std::optional<FileVersion> v = ReadFileVersion(resource);
  if (!v) return std::string();
  char text[24];
  std::snprintf(text, sizeof(text), "%u.%u", v->major, v->minor);
  return text;
}

}  // namespace sonavi

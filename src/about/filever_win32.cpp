// The running executable's version resource.
#include <windows.h>

#include <vector>

#include "about/filever.h"

namespace sonavi {

namespace {

class ExecutableVersionResource : public VersionResource {
 public:
  std::optional<std::string> RootBlock() const override {
    char path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::nullopt;
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (size == 0) return std::nullopt;
    std::vector<char> info(size);
    if (!GetFileVersionInfoA(path, 0, size, info.data())) return std::nullopt;
    void* block = nullptr;
    UINT block_size = 0;
    char root[] = "\\";
    if (!VerQueryValueA(info.data(), root, &block, &block_size) || !block) return std::nullopt;
    return std::string(static_cast<const char*>(block), block_size);
  }
};

}  // namespace

std::string FullFileVersion() { return FullFileVersion(ExecutableVersionResource()); }

std::string ShortFileVersion() { return ShortFileVersion(ExecutableVersionResource()); }

}  // namespace sonavi

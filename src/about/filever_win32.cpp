// The running executable's version resource.
#include <windows.h>

#include <vector>

#include "about/filever.h"
#include "platform/files.h"

namespace sonavi {

namespace {

class ExecutableVersionResource : public VersionResource {
 public:
  std::optional<std::string> RootBlock() const override {
    const FilePath path = ExecutablePath();
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0) return std::nullopt;
    std::vector<char> info(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, info.data())) return std::nullopt;
    void* block = nullptr;
    UINT block_size = 0;
    if (!VerQueryValueW(info.data(), L"\\", &block, &block_size) || !block) return std::nullopt;
    return std::string(static_cast<const char*>(block), block_size);
  }
};

}  // namespace

std::string FullFileVersion() { return FullFileVersion(ExecutableVersionResource()); }

std::string ShortFileVersion() { return ShortFileVersion(ExecutableVersionResource()); }

}  // namespace sonavi

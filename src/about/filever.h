// The version texts of the program, read from the fixed file information of the
// executable's own version resource.
#pragma once

#include <optional>
#include <string>

namespace sonavi {

// Where the fixed file information comes from.
class VersionResource {
 public:
  virtual ~VersionResource() = default;
  // The bytes of the version resource's root block "\" (a VS_FIXEDFILEINFO record), or
  // nothing when the module has no readable version resource.
  virtual std::optional<std::string> RootBlock() const = 0;
};

// "major.minor.release.build" of the file version, or the empty text.
std::string FullFileVersion(const VersionResource& resource);
// "major.minor" of the file version, or the empty text.
std::string ShortFileVersion(const VersionResource& resource);

// The same for the running executable (Windows build only).
std::string FullFileVersion();
std::string ShortFileVersion();

}  // namespace sonavi

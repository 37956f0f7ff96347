// The part of the registry the program reads and writes, behind an interface so the
// settings and the port list are tested with an in-memory registry.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sonavi {

enum class RegRoot { CurrentUser, LocalMachine };

// Registry value types, with the Windows REG_* numbers.
enum RegType : uint32_t {
  kRegNone = 0,
  kRegSz = 1,
  kRegExpandSz = 2,
  kRegBinary = 3,
  kRegDword = 4,
  kRegMultiSz = 7,
};

struct RegValue {
  uint32_t type = kRegNone;
  std::string data;  // raw bytes as stored (strings include their terminating NUL if stored so)
};

class RegKey {
 public:
  virtual ~RegKey() = default;
  // Names in the order the registry lists them.
  virtual std::vector<std::string> ValueNames() = 0;
  virtual std::vector<std::string> SubKeyNames() = 0;
  // False when the value does not exist or cannot be read.
  virtual bool QueryValue(const std::string& name, RegValue* value) = 0;
  // Stores a REG_SZ value; false when the write failed.
  virtual bool SetString(const std::string& name, const std::string& text) = 0;
};

class Registry {
 public:
  virtual ~Registry() = default;
  // Opens root\path (a leading backslash is ignored). With create, a missing key is
  // created and opened for writing; otherwise it is opened read-only. Null on failure.
  virtual std::unique_ptr<RegKey> OpenKey(RegRoot root, const std::string& path, bool create) = 0;
};

Registry& SystemRegistry();

}  // namespace sonavi

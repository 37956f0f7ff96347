// An in-memory registry: keys by path (case-insensitive, as Windows), values in the
// order they were set, writes that can be made to fail.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/registry.h"

namespace sonavi {

class FakeRegistry : public Registry {
 public:
  struct Key {
    std::vector<std::pair<std::string, RegValue>> values;
    std::vector<std::string> subkeys;  // names, in listing order
  };

  std::unique_ptr<RegKey> OpenKey(RegRoot root, const std::string& path, bool create) override;

  // Test set-up: creates the key (and its parents) and sets a value.
  void SetValue(RegRoot root, const std::string& path, const std::string& name, uint32_t type,
                const std::string& data);
  void SetString(RegRoot root, const std::string& path, const std::string& name,
                 const std::string& text) {
    SetValue(root, path, name, kRegSz, text + std::string(1, '\0'));
  }
  void CreateKey(RegRoot root, const std::string& path);
  bool HasKey(RegRoot root, const std::string& path) const;
  // The value's data as stored, or nullptr.
  const RegValue* Value(RegRoot root, const std::string& path, const std::string& name) const;

  void FailWritesOf(const std::string& value_name) { failing_writes_.insert(value_name); }
  void FailCreate(bool fail) { fail_create_ = fail; }
  int open_keys() const { return open_keys_; }

 private:
  friend class FakeRegKey;
  static std::string Normalize(RegRoot root, const std::string& path);
  Key* Find(const std::string& normalized);

  std::map<std::string, Key> keys_;
  std::map<std::string, std::string> display_names_;
  std::set<std::string> failing_writes_;
  bool fail_create_ = false;
  int open_keys_ = 0;
};

}  // namespace sonavi

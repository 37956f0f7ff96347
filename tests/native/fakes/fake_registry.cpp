#include "fakes/fake_registry.h"

#include <algorithm>
#include <cctype>

namespace sonavi {

namespace {

std::string Lowered(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string Strip(const std::string& path) {
  size_t begin = 0;
  while (begin < path.size() && path[begin] == '\\') ++begin;
  size_t end = path.size();
  while (end > begin && path[end - 1] == '\\') --end;
  return path.substr(begin, end - begin);
}

}  // namespace

class FakeRegKey : public RegKey {
 public:
  FakeRegKey(FakeRegistry* registry, std::string normalized, bool writable)
      : registry_(registry), normalized_(std::move(normalized)), writable_(writable) {
    ++registry_->open_keys_;
  }
  ~FakeRegKey() override { --registry_->open_keys_; }

  std::vector<std::string> ValueNames() override {
    std::vector<std::string> names;
    if (auto* key = registry_->Find(normalized_)) {
      for (const auto& [name, value] : key->values) names.push_back(name);
    }
    return names;
  }
  std::vector<std::string> SubKeyNames() override {
    if (auto* key = registry_->Find(normalized_)) return key->subkeys;
    return {};
  }
  bool QueryValue(const std::string& name, RegValue* value) override {
    auto* key = registry_->Find(normalized_);
    if (!key) return false;
    for (const auto& [n, v] : key->values) {
      if (Lowered(n) == Lowered(name)) {
        *value = v;
        return true;
      }
    }
    return false;
  }
  bool SetString(const std::string& name, const std::string& text) override {
    if (!writable_ || registry_->failing_writes_.count(name)) return false;
    auto* key = registry_->Find(normalized_);
    if (!key) return false;
    RegValue value{kRegSz, text + std::string(1, '\0')};
    for (auto& [n, v] : key->values) {
      if (Lowered(n) == Lowered(name)) {
        v = value;
        return true;
      }
    }
    key->values.emplace_back(name, value);
    return true;
  }

 private:
  FakeRegistry* registry_;
  std::string normalized_;
  bool writable_;
};

std::string FakeRegistry::Normalize(RegRoot root, const std::string& path) {
  return (root == RegRoot::CurrentUser ? "hkcu\\" : "hklm\\") + Lowered(Strip(path));
}

FakeRegistry::Key* FakeRegistry::Find(const std::string& normalized) {
  auto it = keys_.find(normalized);
  return it == keys_.end() ? nullptr : &it->second;
}

void FakeRegistry::CreateKey(RegRoot root, const std::string& path) {
  const std::string stripped = Strip(path);
  std::string so_far;
  size_t start = 0;
  while (true) {
    const size_t slash = stripped.find('\\', start);
    const std::string part =
        stripped.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    const std::string parent = Normalize(root, so_far);
    so_far = so_far.empty() ? part : so_far + "\\" + part;
    const std::string child = Normalize(root, so_far);
    if (!keys_.count(child)) {
      keys_[child];
      keys_[parent].subkeys.push_back(part);
    }
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
}

bool FakeRegistry::HasKey(RegRoot root, const std::string& path) const {
  return keys_.count(Normalize(root, path)) != 0;
}

void FakeRegistry::SetValue(RegRoot root, const std::string& path, const std::string& name,
                            uint32_t type, const std::string& data) {
  CreateKey(root, path);
  Key& key = keys_[Normalize(root, path)];
  for (auto& [n, v] : key.values) {
    if (Lowered(n) == Lowered(name)) {
      v = RegValue{type, data};
      return;
    }
  }
  key.values.emplace_back(name, RegValue{type, data});
}

const RegValue* FakeRegistry::Value(RegRoot root, const std::string& path,
                                    const std::string& name) const {
  auto it = keys_.find(Normalize(root, path));
  if (it == keys_.end()) return nullptr;
  for (const auto& [n, v] : it->second.values) {
    if (Lowered(n) == Lowered(name)) return &v;
  }
  return nullptr;
}

std::unique_ptr<RegKey> FakeRegistry::OpenKey(RegRoot root, const std::string& path, bool create) {
  const std::string normalized = Normalize(root, path);
  if (!keys_.count(normalized)) {
    if (!create || fail_create_) return nullptr;
    CreateKey(root, path);
  }
  return std::make_unique<FakeRegKey>(this, normalized, create);
}

}  // namespace sonavi

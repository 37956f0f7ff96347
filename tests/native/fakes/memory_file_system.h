// Files held in memory, with failures the test can switch on per path.
#pragma once

#include <map>
#include <set>
#include <string>

#include "platform/files.h"

namespace sonavi {

class MemoryFileSystem : public FileSystem {
 public:
  bool Exists(const std::string& path) override { return files_.count(path) != 0; }
  Status ReadAll(const std::string& path, std::string* contents) override {
    if (failing_.count(path)) return Status::Error(kFailure);
    auto it = files_.find(path);
    if (it == files_.end()) return Status::Error("O sistema não conseguiu localizar o ficheiro.");
    *contents = it->second;
    return Status::Ok();
  }
  Status Append(const std::string& path, const std::string& bytes) override {
    if (failing_.count(path)) return Status::Error(kFailure);
    files_[path] += bytes;
    return Status::Ok();
  }
  Status ReplaceAll(const std::string& path, const std::string& bytes) override {
    if (failing_.count(path)) return Status::Error(kFailure);
    files_[path] = bytes;
    return Status::Ok();
  }
  bool Remove(const std::string& path) override { return files_.erase(path) != 0; }

  void Set(const std::string& path, const std::string& bytes) { files_[path] = bytes; }
  std::string Get(const std::string& path) const {
    auto it = files_.find(path);
    return it == files_.end() ? std::string() : it->second;
  }
  // Every operation on the path fails (the file keeps its contents).
  void Fail(const std::string& path, bool fail = true) {
    if (fail) {
      failing_.insert(path);
    } else {
      failing_.erase(path);
    }
  }

  static constexpr const char kFailure[] = "Acesso negado.";

 private:
  std::map<std::string, std::string> files_;
  std::set<std::string> failing_;
};

}  // namespace sonavi

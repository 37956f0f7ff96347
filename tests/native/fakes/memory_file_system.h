// Files held in memory, with failures the test can switch on per path.
#pragma once

#include <map>
#include <set>
#include <string>

#include "platform/files.h"

namespace sonavi {

class MemoryFileSystem : public FileSystem {
 public:
  bool Exists(const FilePath& path) override { return files_.count(path) != 0; }
  Status ReadAll(const FilePath& path, std::string* contents) override {
    if (failing_.count(path)) return Status::Error(kFailure);
    auto it = files_.find(path);
    if (it == files_.end()) return Status::Error("O sistema não conseguiu localizar o ficheiro.");
    *contents = it->second;
    return Status::Ok();
  }
  Status Append(const FilePath& path, const std::string& bytes) override {
    if (failing_.count(path)) return Status::Error(kFailure);
    files_[path] += bytes;
    return Status::Ok();
  }
  Status ReplaceAll(const FilePath& path, const std::string& bytes) override {
    if (failing_.count(path)) return Status::Error(kFailure);
    files_[path] = bytes;
    return Status::Ok();
  }
  bool Remove(const FilePath& path) override { return files_.erase(path) != 0; }

  void Set(const FilePath& path, const std::string& bytes) { files_[path] = bytes; }
  std::string Get(const FilePath& path) const {
    auto it = files_.find(path);
    return it == files_.end() ? std::string() : it->second;
  }
  // Every operation on the path fails (the file keeps its contents).
  void Fail(const FilePath& path, bool fail = true) {
    if (fail) {
      failing_.insert(path);
    } else {
      failing_.erase(path);
    }
  }

  static constexpr const char kFailure[] = "Acesso negado.";

 private:
  std::map<FilePath, std::string> files_;
  std::set<FilePath> failing_;
};

}  // namespace sonavi

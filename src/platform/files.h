// Whole-file operations on the program's two data files. Errors come back as the
// system's text for the failure, never as exceptions.
#pragma once

#include <string>

#include "platform/status.h"

namespace sonavi {

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual bool Exists(const std::string& path) = 0;
  // Reads the whole file into *contents.
  virtual Status ReadAll(const std::string& path, std::string* contents) = 0;
  // Appends bytes, creating the file if it does not exist.
  virtual Status Append(const std::string& path, const std::string& bytes) = 0;
  // Replaces the file's contents: the bytes go to a temporary file beside it, which
  // replaces the old file only once it is completely written. On failure the old file
  // is left whole.
  virtual Status ReplaceAll(const std::string& path, const std::string& bytes) = 0;
  // Deletes the file; a failure (e.g. no such file) is ignored by the callers.
  virtual bool Remove(const std::string& path) = 0;
};

FileSystem& SystemFileSystem();

// A data file beside the program: the directory of the executable's full path, without
// a trailing backslash, then "\" and the file's name.
std::string DataFilePath(const std::string& exe_path, const std::string& name);

// The running executable's full path.
std::string ExecutablePath();

}  // namespace sonavi

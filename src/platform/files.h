// Whole-file operations on the program's two data files. Errors come back as the
// system's text for the failure, never as exceptions.
#pragma once

#include <string>
#include <string_view>

#include "platform/status.h"

namespace sonavi {

// A file's path: wide text (UTF-16 on Windows), never the program's single-byte text, so
// that a folder named in any script is reached. Files' contents stay single-byte.
using FilePath = std::wstring;

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual bool Exists(const FilePath& path) = 0;
  // Reads the whole file into *contents.
  virtual Status ReadAll(const FilePath& path, std::string* contents) = 0;
  // Appends bytes, creating the file if it does not exist.
  virtual Status Append(const FilePath& path, const std::string& bytes) = 0;
  // Replaces the file's contents: the bytes go to a temporary file beside it, which
  // replaces the old file only once it is completely written. On failure the old file
  // is left whole.
  virtual Status ReplaceAll(const FilePath& path, const std::string& bytes) = 0;
  // Deletes the file; a failure (e.g. no such file) is ignored by the callers.
  virtual bool Remove(const FilePath& path) = 0;
};

FileSystem& SystemFileSystem();

// A data file beside the program: the directory of the executable's full path, without
// a trailing backslash, then "\" and the file's name.
FilePath DataFilePath(const FilePath& exe_path, std::wstring_view name);

// The running executable's full path, however long.
FilePath ExecutablePath();

}  // namespace sonavi

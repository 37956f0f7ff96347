#include "platform/files.h"

namespace sonavi {

FilePath DataFilePath(const FilePath& exe_path, std::wstring_view name) {
  const size_t slash = exe_path.find_last_of(L"\\/");
  FilePath path = slash == FilePath::npos ? FilePath() : exe_path.substr(0, slash);
  path += L'\\';
  path += name;
  return path;
}

}  // namespace sonavi

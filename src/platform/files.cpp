#include "platform/files.h"

namespace sonavi {

std::string DataFilePath(const std::string& exe_path, const std::string& name) {
  const size_t slash = exe_path.find_last_of("\\/");
  const std::string directory = slash == std::string::npos ? "" : exe_path.substr(0, slash);
  return directory + "\\" + name;
}

}  // namespace sonavi

// The built exe carries its Portuguese texts as Windows-1252 bytes.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string ReadExe() {
  std::ifstream in(SONAVI_EXE_PATH, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(ExeBytes, AlreadyRunningMessageIsWindows1252) {
  const std::string exe = ReadExe();
  ASSERT_FALSE(exe.empty()) << SONAVI_EXE_PATH;
  EXPECT_NE(exe.find("Este programa j\xE1 se encontra em execu\xE7\xE3o."), std::string::npos);
}

}  // namespace

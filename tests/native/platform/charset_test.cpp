// The program's texts are Windows-1252 bytes in the binary, whatever the source encoding.
#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Charset, PortugueseLiteralsAreWindows1252) {
  const std::string opcoes = "Opções";
  EXPECT_EQ(opcoes, std::string("\x4F\x70\xE7\xF5\x65\x73"));
  const std::string running = "Este programa já se encontra em execução.";
  EXPECT_EQ(running, std::string("Este programa j\xE1 se encontra em execu\xE7\xE3o."));
  EXPECT_EQ(running.size(), 41u);
}

}  // namespace

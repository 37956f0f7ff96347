// The simulated modem on a real pseudo-terminal, driven step by step from the test.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fakemodem/modem_server.h"

namespace sonavi::fakemodem {
namespace {

namespace fs = std::filesystem;

ControlCommand Command(ControlCommand::Kind kind) {
  ControlCommand command;
  command.kind = kind;
  return command;
}

class FakeModemPty : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/fakemodem_test_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    if (port_ >= 0) ::close(port_);
    server_.reset();
    fs::remove_all(dir_);
  }

  void StartServer(ServerOptions options) {
    options.read_stdin = false;
    options.log = (dir_ / "log").string();
    options.link = (dir_ / "modem").string();
    server_ = std::make_unique<ModemServer>(options, paths_);
    std::string error;
    ASSERT_TRUE(server_->Start(&error)) << error;
    port_ = ::open(server_->slave_path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(port_, 0);
  }

  void Send(const std::string& bytes) {
    ASSERT_EQ(::write(port_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  // Runs the modem until as many bytes as `expected` holds came out of the port, or until a
  // 5 s bound passes (only a broken modem gets there). Returns what was read.
  std::string ReadLike(const std::string& expected) {
    std::string got;
    for (int round = 0; round < 100 && got.size() < expected.size(); ++round) {
      server_->Step(50);
      pollfd fd{port_, POLLIN, 0};
      if (::poll(&fd, 1, 0) > 0 && (fd.revents & POLLIN)) {
        char buffer[256];
        const ssize_t n = ::read(port_, buffer, sizeof buffer);
        if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
      }
    }
    return got;
  }

  std::string LogText() {
    std::ifstream in(dir_ / "log");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  fs::path dir_;
  std::ostringstream paths_;
  std::unique_ptr<ModemServer> server_;
  int port_ = -1;
};

TEST_F(FakeModemPty, AnswersAtWithEchoAndOkAndLogsTheCommand) {
  StartServer({});
  EXPECT_EQ(paths_.str(), server_->slave_path() + "\n");
  EXPECT_EQ(fs::read_symlink(dir_ / "modem"), server_->slave_path());

  Send("AT\r");
  EXPECT_EQ(ReadLike("AT\r\r\nOK\r\n"), "AT\r\r\nOK\r\n");
  const std::string log = LogText();
  ASSERT_FALSE(log.empty());
  std::istringstream line(log);
  long long ms = -1;
  std::string command;
  line >> ms >> command;
  EXPECT_GE(ms, 0);
  EXPECT_EQ(command, "AT");
}

TEST_F(FakeModemPty, ControlCommandsRingAndReplugTheDevice) {
  StartServer({});
  server_->Control(Command(ControlCommand::Kind::kRing));
  EXPECT_EQ(ReadLike("\r\nRING\r\n"), "\r\nRING\r\n");

  const std::string first = server_->slave_path();
  server_->Control(Command(ControlCommand::Kind::kClose));
  EXPECT_FALSE(server_->open());
  EXPECT_FALSE(fs::is_symlink(dir_ / "modem"));
  // The unplugged device's end sees a hang-up.
  pollfd fd{port_, POLLIN, 0};
  ASSERT_EQ(::poll(&fd, 1, 0), 1);
  EXPECT_TRUE(fd.revents & POLLHUP);
  ::close(port_);

  server_->Control(Command(ControlCommand::Kind::kReopen));
  ASSERT_TRUE(server_->open());
  EXPECT_EQ(paths_.str(), first + "\n" + server_->slave_path() + "\n");
  EXPECT_EQ(fs::read_symlink(dir_ / "modem"), server_->slave_path());
  port_ = ::open(server_->slave_path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(port_, 0);
  Send("AT#CID?\r");
  EXPECT_EQ(ReadLike("AT#CID?\r\r\n0\r\n\r\nOK\r\n"), "AT#CID?\r\r\n0\r\n\r\nOK\r\n");
}

TEST_F(FakeModemPty, StalledDeviceTakesNoMoreWritesAndANewOneTakesItsPlace) {
  StartServer({});
  const std::string first = server_->slave_path();
  server_->Control(Command(ControlCommand::Kind::kStall));
  ASSERT_TRUE(server_->open());
  EXPECT_NE(server_->slave_path(), first);
  EXPECT_EQ(fs::read_symlink(dir_ / "modem"), server_->slave_path());
  // The stalled end neither hangs up nor takes a byte.
  EXPECT_EQ(::write(port_, "AT\r", 3), -1);
  EXPECT_EQ(errno, EAGAIN);
  pollfd fd{port_, POLLIN, 0};
  EXPECT_EQ(::poll(&fd, 1, 0), 0);
  ::close(port_);
  port_ = ::open(server_->slave_path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(port_, 0);
  Send("AT\r");
  EXPECT_EQ(ReadLike("AT\r\r\nOK\r\n"), "AT\r\r\nOK\r\n");
}

TEST_F(FakeModemPty, LargeSendLeavesWholeAsTheFarEndReads) {
  ServerOptions options;
  options.log_sent = (dir_ / "sent").string();
  StartServer(options);
  // Far more than the pty holds: the rest waits until the far end has read.
  std::string big(300000, 'A');
  for (std::size_t i = 0; i < big.size(); i += 97) big[i] = static_cast<char>(i % 256);
  ControlCommand send = Command(ControlCommand::Kind::kSend);
  send.text = big;
  server_->Control(send);
  server_->Control(Command(ControlCommand::Kind::kRing));
  const std::string expected = big + "\r\nRING\r\n";
  std::string got;
  for (int round = 0; round < 2000 && got.size() < expected.size(); ++round) {
    server_->Step(5);
    char buffer[65536];
    const ssize_t n = ::read(port_, buffer, sizeof buffer);
    if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
  }
  EXPECT_TRUE(got == expected) << got.size() << " of " << expected.size() << " bytes";

  // One line per piece, once its last byte has left, in order.
  std::ifstream in(dir_ / "sent");
  std::string line;
  std::vector<std::string> pieces;
  long long previous = 0;
  while (std::getline(in, line)) {
    const std::size_t blank = line.find(' ');
    ASSERT_NE(blank, std::string::npos);
    const long long us = std::stoll(line.substr(0, blank));
    EXPECT_GE(us, previous);
    previous = us;
    pieces.push_back(line.substr(blank + 1));
  }
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(pieces[0], Printable(big));
  EXPECT_EQ(pieces[1], "\\x0D\\x0ARING\\x0D\\x0A");
}

TEST_F(FakeModemPty, UnplugDropsOutputNotYetSent) {
  StartServer({});
  ControlCommand send = Command(ControlCommand::Kind::kSend);
  send.text = std::string(300000, 'B');
  server_->Control(send);
  server_->Control(Command(ControlCommand::Kind::kClose));
  ::close(port_);
  server_->Control(Command(ControlCommand::Kind::kReopen));
  port_ = ::open(server_->slave_path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(port_, 0);
  server_->Control(Command(ControlCommand::Kind::kRing));
  EXPECT_EQ(ReadLike("\r\nRING\r\n"), "\r\nRING\r\n");
}

TEST_F(FakeModemPty, ScriptDrivesTheTimelineUntilQuit) {
  const fs::path script = dir_ / "script";
  std::ofstream(script) << "0 send NMBR = P\\r\\n\n0 quit\n";
  ServerOptions options;
  options.script = script.string();
  StartServer(options);
  EXPECT_FALSE(server_->Step(0));
  char buffer[64];
  const ssize_t n = ::read(port_, buffer, sizeof buffer);
  ASSERT_GT(n, 0);
  EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(n)), "NMBR = P\r\n");
}

TEST_F(FakeModemPty, BadScriptStopsTheStart) {
  const fs::path script = dir_ / "script";
  std::ofstream(script) << "later ring\n";
  ServerOptions options;
  options.script = script.string();
  ModemServer server(options, paths_);
  std::string error;
  EXPECT_FALSE(server.Start(&error));
  EXPECT_NE(error.find("line 1"), std::string::npos);
}

}  // namespace
}  // namespace sonavi::fakemodem

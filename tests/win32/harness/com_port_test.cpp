// A simulated modem mapped to a COM port answers through the Win32 serial calls. Runs only
// when a scenario script names the port in SONAVI_TEST_COM (tests/wine/fakemodem_smoke.sh).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

class SimulatedModemPort : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* port = std::getenv("SONAVI_TEST_COM");
    if (port == nullptr || *port == '\0') GTEST_SKIP() << "SONAVI_TEST_COM is not set";
    const std::string path = std::string("\\\\.\\") + port;
    handle_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(handle_, INVALID_HANDLE_VALUE) << path << " error " << GetLastError();
    event_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event_, nullptr);

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(handle_, &dcb)) << GetLastError();
    dcb.BaudRate = CBR_115200;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    ASSERT_TRUE(SetCommState(handle_, &dcb)) << GetLastError();
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    ASSERT_TRUE(SetCommTimeouts(handle_, &timeouts)) << GetLastError();
    PurgeComm(handle_, PURGE_RXCLEAR | PURGE_TXCLEAR);
  }

  void TearDown() override {
    if (event_ != nullptr) CloseHandle(event_);
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }

  void Write(const std::string& text) {
    OVERLAPPED ov{};
    ov.hEvent = event_;
    DWORD done = 0;
    if (!WriteFile(handle_, text.data(), static_cast<DWORD>(text.size()), &done, &ov)) {
      ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
      ASSERT_TRUE(GetOverlappedResult(handle_, &ov, &done, TRUE)) << GetLastError();
    }
    EXPECT_EQ(done, text.size());
  }

  // Reads what the port holds until `until` has come, or 5 s have passed. A read is only
  // started when bytes wait: on a pseudo-terminal an empty read would stay pending.
  std::string ReadUntil(const std::string& until) {
    std::string got;
    const DWORD start = GetTickCount();
    while (got.find(until) == std::string::npos && GetTickCount() - start < 5000) {
      DWORD errors = 0;
      COMSTAT stat{};
      if (!ClearCommError(handle_, &errors, &stat)) {
        ADD_FAILURE() << "ClearCommError " << GetLastError();
        break;
      }
      if (stat.cbInQue == 0) {
        Sleep(20);
        continue;
      }
      std::string buffer(stat.cbInQue, '\0');
      OVERLAPPED ov{};
      ov.hEvent = event_;
      DWORD done = 0;
      if (!ReadFile(handle_, buffer.data(), stat.cbInQue, &done, &ov)) {
        if (GetLastError() != ERROR_IO_PENDING || !GetOverlappedResult(handle_, &ov, &done, TRUE)) {
          ADD_FAILURE() << "ReadFile " << GetLastError();
          break;
        }
      }
      got.append(buffer.data(), done);
    }
    return got;
  }

  HANDLE handle_ = INVALID_HANDLE_VALUE;
  HANDLE event_ = nullptr;
};

TEST_F(SimulatedModemPort, EchoesAtAndAnswersOk) {
  Write("AT\r");
  EXPECT_EQ(ReadUntil("OK\r\n"), "AT\r\r\nOK\r\n");
}

TEST_F(SimulatedModemPort, ReportsTheCallerIdModeAfterSwitchingItOn) {
  Write("AT#CID=1\r");
  EXPECT_EQ(ReadUntil("OK\r\n"), "AT#CID=1\r\r\nOK\r\n");
  Write("AT#CID?\r");
  EXPECT_EQ(ReadUntil("OK\r\n"), "AT#CID?\r\r\n1\r\n\r\nOK\r\n");
}

}  // namespace

// The system calls the serial port component and its worker make, in the shape of the
// Windows communications API: handles, DCB, COMMTIMEOUTS, COMSTAT and OVERLAPPED records,
// events and waits, the last-error value and the tick count. The Windows build plugs in
// kernel32 (comm_api_win32.cpp); tests plug in a scripted driver.
#pragma once

#include <cstdint>
#include <string>

namespace sonavi {

using CommHandle = uintptr_t;
inline constexpr CommHandle kInvalidCommHandle = ~CommHandle{0};

// Laid out like the Windows DCB; Flags is its bit-field word (fBinary is bit 0).
struct CommDcb {
  uint32_t DCBlength = 0;
  uint32_t BaudRate = 0;
  uint32_t Flags = 0;
  uint16_t wReserved = 0;
  uint16_t XonLim = 0;
  uint16_t XoffLim = 0;
  uint8_t ByteSize = 0;
  uint8_t Parity = 0;
  uint8_t StopBits = 0;
  char XonChar = 0;
  char XoffChar = 0;
  char ErrorChar = 0;
  char EofChar = 0;
  char EvtChar = 0;
  uint16_t wReserved1 = 0;
};

struct CommTimeouts {
  uint32_t ReadIntervalTimeout = 0;
  uint32_t ReadTotalTimeoutMultiplier = 0;
  uint32_t ReadTotalTimeoutConstant = 0;
  uint32_t WriteTotalTimeoutMultiplier = 0;
  uint32_t WriteTotalTimeoutConstant = 0;
};

// Laid out like COMSTAT; Flags holds fCtsHold (bit 0) .. fTxim (bit 6).
struct CommStat {
  uint32_t Flags = 0;
  uint32_t cbInQue = 0;
  uint32_t cbOutQue = 0;
};

// Laid out like OVERLAPPED. A record passed to an operation that goes pending must stay
// where it is until the operation has ended.
struct CommOverlapped {
  uintptr_t Internal = 0;
  uintptr_t InternalHigh = 0;
  uint32_t Offset = 0;
  uint32_t OffsetHigh = 0;
  CommHandle hEvent = 0;
};

// Values of the Windows API that the component uses.
namespace comm {
inline constexpr uint32_t kGenericRead = 0x80000000u;
inline constexpr uint32_t kGenericWrite = 0x40000000u;
inline constexpr uint32_t kOpenExisting = 3;
inline constexpr uint32_t kFileFlagOverlapped = 0x40000000u;
inline constexpr uint32_t kMaxDword = 0xFFFFFFFFu;

inline constexpr uint32_t kErrorInvalidFunction = 1;
inline constexpr uint32_t kErrorFileNotFound = 2;
inline constexpr uint32_t kErrorAccessDenied = 5;
inline constexpr uint32_t kErrorInvalidHandle = 6;
inline constexpr uint32_t kErrorBadCommand = 22;
inline constexpr uint32_t kErrorNotReady = 21;
inline constexpr uint32_t kErrorGenFailure = 31;
inline constexpr uint32_t kErrorNotSupported = 50;
inline constexpr uint32_t kErrorInvalidParameter = 87;
inline constexpr uint32_t kErrorAlreadyExists = 183;
inline constexpr uint32_t kErrorOperationAborted = 995;
inline constexpr uint32_t kErrorIoIncomplete = 996;
inline constexpr uint32_t kErrorIoPending = 997;
inline constexpr uint32_t kErrorDeviceNotConnected = 1167;

inline constexpr uint32_t kWaitObject0 = 0;
inline constexpr uint32_t kWaitTimeout = 258;
inline constexpr uint32_t kWaitFailed = 0xFFFFFFFFu;

inline constexpr uint32_t kEvRxChar = 0x0001;
inline constexpr uint32_t kEvRxFlag = 0x0002;
inline constexpr uint32_t kEvTxEmpty = 0x0004;
inline constexpr uint32_t kEvCts = 0x0008;
inline constexpr uint32_t kEvDsr = 0x0010;
inline constexpr uint32_t kEvRlsd = 0x0020;
inline constexpr uint32_t kEvBreak = 0x0040;
inline constexpr uint32_t kEvErr = 0x0080;
inline constexpr uint32_t kEvRing = 0x0100;
inline constexpr uint32_t kAllEvents = 0x01FF;

inline constexpr uint32_t kMsCtsOn = 0x10;
inline constexpr uint32_t kMsDsrOn = 0x20;
inline constexpr uint32_t kMsRingOn = 0x40;
inline constexpr uint32_t kMsRlsdOn = 0x80;

inline constexpr uint32_t kCeRxOver = 0x0001;
inline constexpr uint32_t kCeOverrun = 0x0002;
inline constexpr uint32_t kCeRxParity = 0x0004;
inline constexpr uint32_t kCeFrame = 0x0008;
inline constexpr uint32_t kCeBreak = 0x0010;

inline constexpr uint32_t kSetRts = 3;
inline constexpr uint32_t kClrRts = 4;
inline constexpr uint32_t kSetDtr = 5;
inline constexpr uint32_t kClrDtr = 6;

inline constexpr uint32_t kPurgeTxAbort = 0x01;
inline constexpr uint32_t kPurgeAll = 0x0F;  // TXABORT | RXABORT | TXCLEAR | RXCLEAR

inline constexpr uint32_t kDcbBinary = 0x0001;
inline constexpr uint32_t kDcbParity = 0x0002;
inline constexpr uint32_t kDcbErrorChar = 0x0400;
inline constexpr uint32_t kDcbNull = 0x0800;
}  // namespace comm

// Every call behaves as its Windows namesake: false (or 0, or kInvalidCommHandle) means
// failure, and GetLastError then tells why. Output pointers are written only on success,
// except that a pending WaitCommEvent writes its mask when it completes.
class CommApi {
 public:
  virtual ~CommApi() = default;

  virtual CommHandle CreateFile(const std::string& name, uint32_t access, uint32_t share_mode,
                                uint32_t creation, uint32_t flags) = 0;
  virtual bool SetupComm(CommHandle h, uint32_t in_queue, uint32_t out_queue) = 0;
  virtual bool GetCommState(CommHandle h, CommDcb* dcb) = 0;
  virtual bool SetCommState(CommHandle h, const CommDcb& dcb) = 0;
  virtual bool GetCommTimeouts(CommHandle h, CommTimeouts* timeouts) = 0;
  virtual bool SetCommTimeouts(CommHandle h, const CommTimeouts& timeouts) = 0;
  virtual bool SetCommMask(CommHandle h, uint32_t mask) = 0;
  virtual bool WaitCommEvent(CommHandle h, uint32_t* mask, CommOverlapped* ov) = 0;
  virtual bool ReadFile(CommHandle h, void* buffer, uint32_t count, uint32_t* read,
                        CommOverlapped* ov) = 0;
  virtual bool WriteFile(CommHandle h, const void* buffer, uint32_t count, uint32_t* written,
                         CommOverlapped* ov) = 0;
  virtual bool GetOverlappedResult(CommHandle h, CommOverlapped* ov, uint32_t* transferred,
                                   bool wait) = 0;
  virtual bool ClearCommError(CommHandle h, uint32_t* errors, CommStat* stat) = 0;
  virtual bool GetCommModemStatus(CommHandle h, uint32_t* status) = 0;
  virtual bool EscapeCommFunction(CommHandle h, uint32_t function) = 0;
  virtual bool SetCommBreak(CommHandle h) = 0;
  virtual bool ClearCommBreak(CommHandle h) = 0;
  virtual bool PurgeComm(CommHandle h, uint32_t flags) = 0;
  // Cancels the operation started on ov, whichever thread started it.
  virtual bool CancelIoEx(CommHandle h, CommOverlapped* ov) = 0;
  virtual bool CloseHandle(CommHandle h) = 0;

  // An unnamed event; 0 on failure. GetLastError is ERROR_ALREADY_EXISTS if it existed.
  virtual CommHandle CreateEvent(bool manual_reset, bool initial_state) = 0;
  virtual bool SetEvent(CommHandle event) = 0;
  virtual bool ResetEvent(CommHandle event) = 0;
  virtual uint32_t WaitForSingleObject(CommHandle h, uint32_t timeout_ms) = 0;
  virtual uint32_t WaitForMultipleObjects(uint32_t count, const CommHandle* handles, bool wait_all,
                                          uint32_t timeout_ms) = 0;

  virtual uint32_t GetLastError() = 0;
  virtual uint32_t GetTickCount() = 0;
  virtual void Sleep(uint32_t ms) = 0;
  // dwPlatformId of GetVersionExA (1 = the Windows 9x family).
  virtual bool GetVersionEx(int32_t* platform_id) = 0;
};

// The system's communications API (kernel32 on Windows).
CommApi& SystemCommApi();

}  // namespace sonavi

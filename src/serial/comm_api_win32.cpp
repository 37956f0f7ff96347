#include <windows.h>

#include <cstddef>
#include <cstring>

#include "serial/comm_api.h"

namespace sonavi {

namespace {

// The records are passed to kernel32 as they are, so they must match its layouts.
static_assert(sizeof(CommDcb) == sizeof(DCB));
static_assert(offsetof(CommDcb, BaudRate) == offsetof(DCB, BaudRate));
static_assert(offsetof(CommDcb, Flags) == offsetof(DCB, BaudRate) + sizeof(DWORD));
static_assert(offsetof(CommDcb, XonLim) == offsetof(DCB, XonLim));
static_assert(offsetof(CommDcb, XoffLim) == offsetof(DCB, XoffLim));
static_assert(offsetof(CommDcb, ByteSize) == offsetof(DCB, ByteSize));
static_assert(offsetof(CommDcb, EvtChar) == offsetof(DCB, EvtChar));
static_assert(offsetof(CommDcb, wReserved1) == offsetof(DCB, wReserved1));
static_assert(sizeof(CommTimeouts) == sizeof(COMMTIMEOUTS));
static_assert(sizeof(CommStat) == sizeof(COMSTAT));
static_assert(offsetof(CommStat, cbInQue) == offsetof(COMSTAT, cbInQue));
static_assert(sizeof(CommOverlapped) == sizeof(OVERLAPPED));
static_assert(offsetof(CommOverlapped, hEvent) == offsetof(OVERLAPPED, hEvent));
static_assert(sizeof(DWORD) == sizeof(uint32_t));

HANDLE H(CommHandle h) { return reinterpret_cast<HANDLE>(h); }
CommHandle C(HANDLE h) { return reinterpret_cast<CommHandle>(h); }
OVERLAPPED* O(CommOverlapped* ov) { return reinterpret_cast<OVERLAPPED*>(ov); }

class Kernel32CommApi : public CommApi {
 public:
  CommHandle CreateFile(const std::string& name, uint32_t access, uint32_t share_mode,
                        uint32_t creation, uint32_t flags) override {
    return C(::CreateFileA(name.c_str(), access, share_mode, nullptr, creation, flags, nullptr));
  }
  bool SetupComm(CommHandle h, uint32_t in_queue, uint32_t out_queue) override {
    return ::SetupComm(H(h), in_queue, out_queue) != FALSE;
  }
  bool GetCommState(CommHandle h, CommDcb* dcb) override {
    DCB d;
    std::memset(&d, 0, sizeof d);
    d.DCBlength = sizeof d;
    if (!::GetCommState(H(h), &d)) return false;
    std::memcpy(static_cast<void*>(dcb), &d, sizeof d);
    return true;
  }
  bool SetCommState(CommHandle h, const CommDcb& dcb) override {
    DCB d;
    std::memcpy(&d, &dcb, sizeof d);
    return ::SetCommState(H(h), &d) != FALSE;
  }
  bool GetCommTimeouts(CommHandle h, CommTimeouts* timeouts) override {
    COMMTIMEOUTS t;
    if (!::GetCommTimeouts(H(h), &t)) return false;
    std::memcpy(static_cast<void*>(timeouts), &t, sizeof t);
    return true;
  }
  bool SetCommTimeouts(CommHandle h, const CommTimeouts& timeouts) override {
    COMMTIMEOUTS t;
    std::memcpy(&t, &timeouts, sizeof t);
    return ::SetCommTimeouts(H(h), &t) != FALSE;
  }
  bool SetCommMask(CommHandle h, uint32_t mask) override {
    return ::SetCommMask(H(h), mask) != FALSE;
  }
  bool WaitCommEvent(CommHandle h, uint32_t* mask, CommOverlapped* ov) override {
    // The driver writes the mask when a pending wait completes.
    return ::WaitCommEvent(H(h), reinterpret_cast<DWORD*>(mask), O(ov)) != FALSE;
  }
  bool ReadFile(CommHandle h, void* buffer, uint32_t count, uint32_t* read,
                CommOverlapped* ov) override {
    DWORD n = 0;
    if (!::ReadFile(H(h), buffer, count, &n, O(ov))) return false;
    *read = n;
    return true;
  }
  bool WriteFile(CommHandle h, const void* buffer, uint32_t count, uint32_t* written,
                 CommOverlapped* ov) override {
    DWORD n = 0;
    if (!::WriteFile(H(h), buffer, count, &n, O(ov))) return false;
    *written = n;
    return true;
  }
  bool GetOverlappedResult(CommHandle h, CommOverlapped* ov, uint32_t* transferred,
                           bool wait) override {
    DWORD n = 0;
    if (!::GetOverlappedResult(H(h), O(ov), &n, wait ? TRUE : FALSE)) return false;
    *transferred = n;
    return true;
  }
  bool ClearCommError(CommHandle h, uint32_t* errors, CommStat* stat) override {
    DWORD e = 0;
    COMSTAT s;
    std::memset(&s, 0, sizeof s);
    if (!::ClearCommError(H(h), &e, &s)) return false;
    *errors = e;
    std::memcpy(static_cast<void*>(stat), &s, sizeof s);
    return true;
  }
  bool GetCommModemStatus(CommHandle h, uint32_t* status) override {
    DWORD s = 0;
    if (!::GetCommModemStatus(H(h), &s)) return false;
    *status = s;
    return true;
  }
  bool EscapeCommFunction(CommHandle h, uint32_t function) override {
    return ::EscapeCommFunction(H(h), function) != FALSE;
  }
  bool SetCommBreak(CommHandle h) override { return ::SetCommBreak(H(h)) != FALSE; }
  bool ClearCommBreak(CommHandle h) override { return ::ClearCommBreak(H(h)) != FALSE; }
  bool PurgeComm(CommHandle h, uint32_t flags) override {
    return ::PurgeComm(H(h), flags) != FALSE;
  }
  bool CancelIoEx(CommHandle h, CommOverlapped* ov) override {
    return ::CancelIoEx(H(h), O(ov)) != FALSE;
  }
  bool CloseHandle(CommHandle h) override { return ::CloseHandle(H(h)) != FALSE; }
  CommHandle CreateEvent(bool manual_reset, bool initial_state) override {
    // So that a stale ERROR_ALREADY_EXISTS is not taken for this event's.
    ::SetLastError(ERROR_SUCCESS);
    return C(::CreateEventA(nullptr, manual_reset, initial_state, nullptr));
  }
  bool SetEvent(CommHandle event) override { return ::SetEvent(H(event)) != FALSE; }
  bool ResetEvent(CommHandle event) override { return ::ResetEvent(H(event)) != FALSE; }
  uint32_t WaitForSingleObject(CommHandle h, uint32_t timeout_ms) override {
    return ::WaitForSingleObject(H(h), timeout_ms);
  }
  uint32_t WaitForMultipleObjects(uint32_t count, const CommHandle* handles, bool wait_all,
                                  uint32_t timeout_ms) override {
    HANDLE list[MAXIMUM_WAIT_OBJECTS];
    if (count > MAXIMUM_WAIT_OBJECTS) {
      ::SetLastError(ERROR_INVALID_PARAMETER);
      return WAIT_FAILED;
    }
    for (uint32_t i = 0; i < count; ++i) list[i] = H(handles[i]);
    return ::WaitForMultipleObjects(count, list, wait_all, timeout_ms);
  }
  uint32_t GetLastError() override { return ::GetLastError(); }
  uint32_t GetTickCount() override { return ::GetTickCount(); }
  void Sleep(uint32_t ms) override { ::Sleep(ms); }
  bool GetVersionEx(int32_t* platform_id) override {
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    if (!::GetVersionExA(&info)) return false;
    *platform_id = static_cast<int32_t>(info.dwPlatformId);
    return true;
  }
};

}  // namespace

CommApi& SystemCommApi() {
  static Kernel32CommApi api;
  return api;
}

}  // namespace sonavi

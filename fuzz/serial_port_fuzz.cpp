// One serial port component, its worker stepped pass by pass, against the scripted driver
// with every answer taken from the input: main-thread operations interleaved with worker
// passes and fake time, and each driver call behaving as scripted, going pending (to end
// later with any byte count or error) or failing with an error the worker meets; a driver
// that lets go of what it is told to end late or only when told (across closing and
// reopening), and sends it never ends. Checked:
// - every read the driver delivers is taken by the main thread, whole, in order and once:
//   at the end of the run all of them (the only ones forgiven are those the driver
//   delivers while the component is destroyed, and one it delivered that the worker had
//   not yet finished when destruction began); bytes purged before any read took them are
//   never delivered;
// - at the end of the run, once every send's limit has passed, no send is in progress and
//   the driver holds no write;
// - no operation starts on a record the driver still holds, and a send's bytes stay as
//   they were while the driver holds them (a buffer freed too early shows as a use
//   after free when the driver lets go of it);
// - after destruction the port (unless closing it failed) and every event are closed and
//   nothing is outstanding;
// - once the input is used up and the driver answers plainly, passes do not spin.
//
// Input: the operations, then 0x1E, then the driver's answers. Each driver call takes one
// answer byte (none left: as scripted): below 0xC0 as scripted, otherwise it fails with
// kErrors[byte % 16], where ERROR_IO_PENDING makes ReadFile, WriteFile and WaitCommEvent go
// pending; closing the port fails only on 0xFF. Each operation is a byte, op % 10 choosing
// it and op / 10 its argument, and may take further bytes:
//   0 worker passes (1 + arg % 8)             5 SendText of (byte + 256 * (arg % 2)) bytes
//   1 fake time goes by (byte * 8 ms)         6 take clusters (1 + arg % 4)
//   2 Active := arg % 2                       7 the modem sends byte bytes, after byte ms
//   3 CommPort := one of four names           8 the driver: ends, status, counters, modes
//   4 a setting: byte chooses, byte is value  9 the component is destroyed and made anew
// In 2, 3 and 9 bit 1 of arg has the worker run a pass whenever the component sleeps.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "fakes/fake_timers.h"
#include "fuzz_support.h"
#include "serial/fake_comm.h"
#include "serial/serial_port.h"

namespace sonavi::fuzz {
namespace {

using testing::FakeComm;

constexpr uint32_t kErrors[] = {2,   5,   6,   22,  31,  50,   87,   995,
                                996, 997, 998, 997, 997, 1117, 1167, 21};
const char* const kPorts[] = {"COM1", "COM2", "COM5", "COM7"};

class Session {
 public:
  explicit Session(ByteReader& answers) : answers_(answers) {
    fake_.answer = [this](const char* call) -> uint32_t {
      const uint8_t b = answers_.Byte();
      if (std::strcmp(call, "CloseHandle") == 0) {
        if (b != 0xFF) return 0;
        close_failed_ = true;
      }
      return b < 0xC0 ? 0 : kErrors[b % std::size(kErrors)];
    };
    fake_.after_call = [this](const std::string& call) {
      if (call.rfind("Sleep", 0) != 0) return;
      if (worker_runs_in_sleeps_) live_->Worker().RunPass();
      // While the component is destroyed its worker's thread ends (or, stepped, is as good
      // as ended), and the system ends the I/O that thread started.
      if (destroying_ && (!worker_runs_in_sleeps_ || live_->Worker().Finished())) {
        fake_.EndPending(FakeComm::Op::kRead, 995);
        fake_.EndPending(FakeComm::Op::kWait, 995);
      }
    };
    Make();
  }

  ~Session() { Destroy(true); }

  void Run(ByteReader& ops) {
    while (!ops.empty()) Step(ops);
    QuietTail();
  }

 private:
  void Make() {
    port_ = std::make_unique<TSerialPort>(fake_, &dispatcher_, TSerialPort::WorkerMode::kStepped);
    live_ = port_.get();
    port_->OnProcessError = [](TSerialPort&, uint32_t, uint32_t, const std::string&, uint8_t) {};
    port_->OnRxClusterEvent = [this](TSerialPort&) { TakeClusters(1); };
  }

  void Destroy(bool worker_runs) {
    if (!port_) return;
    TakeClusters(1 << 20);
    const size_t delivered = fake_.ReadsDelivered().size();
    FUZZ_CHECK(taken_ == delivered ||
               (taken_ + 1 == delivered && port_->Worker().ReadHeld() && !fake_.ReadIsPending()));
    // The driver lets go of what it is told to end, sooner or later, and of everything on a
    // handle that failed to close once the process's handles are closed. (One that never
    // does is left allocated after 2 s, which the unit tests check.)
    if (lag_ == FakeComm::kHold) fake_.SetLetGoLag(lag_ = 1000);
    if (close_failed_) fake_.EndAll(1000);
    worker_runs_in_sleeps_ = worker_runs;
    destroying_ = true;
    port_.reset();  // the worker passes run meanwhile reach it through live_
    destroying_ = false;
    worker_runs_in_sleeps_ = false;
    FUZZ_CHECK(!fake_.PortOpen() || close_failed_);
    FUZZ_CHECK(!fake_.ReadIsPending() && !fake_.WriteIsPending() && !fake_.EventWaitIsPending());
    FUZZ_CHECK(fake_.OpenEventCount() == 0);
    FUZZ_CHECK(fake_.RecordReuses() == 0);
    // Reads the driver delivered while the component was destroyed went with it.
    taken_ = fake_.ReadsDelivered().size();
  }

  // Clusters come out exactly as the driver's reads delivered them, in order.
  void TakeClusters(int n) {
    const std::vector<std::string> delivered = fake_.ReadsDelivered();
    for (int i = 0; i < n; ++i) {
      const int32_t size = port_->PeekClusterSize();
      if (size < 0) {
        FUZZ_CHECK(port_->ReadClusterText().empty());
        return;
      }
      FUZZ_CHECK(taken_ < delivered.size());
      FUZZ_CHECK(static_cast<size_t>(size) == delivered[taken_].size());
      FUZZ_CHECK(port_->ReadClusterText() == delivered[taken_]);
      ++taken_;
    }
  }

  void MainThread(uint32_t arg, void (*op)(TSerialPort&, uint32_t)) {
    worker_runs_in_sleeps_ = (arg & 2) != 0;
    op(*port_, arg);
    worker_runs_in_sleeps_ = false;
  }

  void Step(ByteReader& ops) {
    const uint8_t op = ops.Byte();
    const uint32_t arg = op / 10;
    switch (op % 10) {
      case 0:
        for (uint32_t i = 0; i <= arg % 8; ++i) port_->Worker().RunPass();
        break;
      case 1:
        fake_.Advance(ops.Byte() * 8u);
        break;
      case 2:
        MainThread(arg, [](TSerialPort& p, uint32_t a) { p.SetActive(a & 1); });
        break;
      case 3:
        MainThread(arg, [](TSerialPort& p, uint32_t a) { p.SetCommPort(kPorts[(a >> 2) % 4]); });
        break;
      case 4:
        Setting(ops.Byte(), ops.Byte());
        break;
      case 5: {
        const size_t size = ops.Byte() + 256u * (arg % 2);
        std::string text(ops.Take(size));
        text.resize(size, 'x');
        const TSerialPort& p = *port_;
        longest_send_limit_ = std::max(
            longest_send_limit_,
            static_cast<uint32_t>(size) * p.WTOCharDelayTime() / 1000 + p.WTOExtraDelayTime());
        port_->SendText(text);
        break;
      }
      case 6:
        TakeClusters(1 + arg % 4);
        break;
      case 7: {
        const std::string bytes(ops.Take(ops.Byte()));
        fake_.ModemSends(bytes, arg % 2 ? 115200 : 9600, ops.Byte());
        break;
      }
      case 8:
        Driver(arg, ops);
        break;
      case 9:
        Destroy((arg & 2) != 0);
        Make();
        break;
    }
  }

  void Setting(uint8_t which, uint8_t value) {
    TSerialPort& p = *port_;
    switch (which % 16) {
      case 0:
        p.SetBaudRate(value * 1000u);
        break;
      case 1:
        p.SetParityType(value % 6);
        break;
      case 2:
        p.SetStopBits(value % 4);
        break;
      case 3:
        p.SetDataBits(value % 10);
        break;
      case 4:
        p.SetXONLimDiv(value);
        break;
      case 5:
        p.SetFlowControl(value);
        break;
      case 6:
        p.SetRxQueueSize(static_cast<uint16_t>(value * 64));
        break;
      case 7:
        p.SetTxQueueSize(static_cast<uint16_t>(value * 64));
        break;
      case 8:
        p.SetXTOAuto(value & 1);
        break;
      case 9:
        p.SetRTSState(value & 1);
        p.SetDTRState(value & 2);
        p.SetBREAKState(value & 4);
        break;
      case 10:
        p.SetClusterSize(static_cast<uint16_t>(value * 16));
        break;
      case 11:
        p.SetReadRequest(value & 1);
        break;
      case 12:
        p.SetThreadQuietMode(value & 1);
        break;
      case 13:
        p.SetRTOExtraDelayTime(value);
        p.SetRTOCharDelayTime(value * 100u);
        break;
      case 14:
        p.SetWTOExtraDelayTime(value);
        p.SetWTOCharDelayTime(value * 100u);
        break;
      case 15:
        p.SetStripNullChars(value & 1);
        p.SetEventChar(static_cast<char>(value));
        break;
    }
  }

  void Driver(uint32_t arg, ByteReader& ops) {
    const uint8_t value = ops.Byte();
    switch (arg % 8) {
      case 0:
        fake_.CompleteRead(value == 255 ? ~0u : value);
        break;
      case 1:
        fake_.CompleteWrite(value == 255 ? ~0u : value);
        break;
      case 2: {
        // An operation that ends does not end "still running".
        const uint32_t error = kErrors[(value >> 2) % 16];
        fake_.EndPending(static_cast<FakeComm::Op>(value % 3),
                         error == 996 || error == 997 ? 995 : error);
        break;
      }
      case 3:
        fake_.SetModemStatus(value & 0xF0);
        break;
      case 4:
        fake_.RaiseLineErrors(value & 0x1F);
        break;
      case 5:
        fake_.SetComStatNoise(static_cast<int8_t>(value), ops.Byte() & 0x7F);
        break;
      case 6: {
        using Mode = FakeComm::WriteMode;
        static constexpr Mode kModes[] = {Mode::kImmediate, Mode::kPending, Mode::kStuck,
                                          Mode::kImmediate};
        static constexpr uint32_t kLags[] = {0, 30, 400, FakeComm::kHold};
        fake_.SetReadsPend(value & 1);
        fake_.SetWriteMode(kModes[(value >> 1) % 4]);
        lag_ = kLags[(value >> 3) % 4];
        fake_.SetLetGoLag(lag_);
        break;
      }
      case 7:
        fake_.SetWinePty(value & 1);
        break;
    }
  }

  // The driver answers plainly and lets go at once from here on, and the modem has sent
  // everything. Once the longest limit of any send and two waits have gone by: passes that
  // find nothing new take time, every delivered read is taken, no send is in progress, and
  // the driver holds no write (unless closing the port failed, which leaves it open).
  void QuietTail() {
    answers_.Rest();
    fake_.SetLetGoLag(lag_ = 0);
    fake_.Advance(std::max(5000u, longest_send_limit_ + 2 * kWorkerWaitMs + 1));
    int instant = 0;
    for (int i = 0; i < 32; ++i) {
      const uint32_t before = fake_.Now();
      port_->Worker().RunPass();
      if (fake_.Now() == before) ++instant;
    }
    FUZZ_CHECK(instant <= 8);
    TakeClusters(1 << 20);
    FUZZ_CHECK(taken_ == fake_.ReadsDelivered().size());
    FUZZ_CHECK(!port_->SendInProgress());
    FUZZ_CHECK(!fake_.WriteIsPending() || (fake_.PortOpen() && !port_->Active()));
  }

  ByteReader& answers_;
  FakeComm fake_;
  InlineDispatcher dispatcher_;
  std::unique_ptr<TSerialPort> port_;
  TSerialPort* live_ = nullptr;
  bool worker_runs_in_sleeps_ = false;
  bool destroying_ = false;
  bool close_failed_ = false;        // the port's handle stays open
  uint32_t lag_ = 0;                 // how long the driver takes to let go of what it must end
  size_t taken_ = 0;                 // delivered reads taken out as clusters
  uint32_t longest_send_limit_ = 0;  // ms
};

}  // namespace
}  // namespace sonavi::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace sonavi::fuzz;
  ByteReader input(data, size);
  const std::string_view ops_bytes = input.Until('\x1e');
  ByteReader ops(reinterpret_cast<const uint8_t*>(ops_bytes.data()), ops_bytes.size());
  Session session(input);
  session.Run(ops);
  return 0;
}

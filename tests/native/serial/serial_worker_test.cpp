// The worker, pass by pass: forming clusters, the queue, closing with operations pending,
// deliveries to the main thread, modem lines, and the pty-like driver without events.
#include <algorithm>
#include <functional>
#include <string>

#include "serial/serial_fixture.h"

namespace sonavi::testing {
namespace {

class SerialWorkerTest : public SerialPortTest {
 protected:
  // Runs passes until fake time `ms` has gone by.
  void PassFor(uint32_t ms) {
    const uint32_t end = fake.Now() + ms;
    for (int i = 0; i < 100000 && static_cast<int32_t>(end - fake.Now()) > 0; ++i) Passes(1);
  }
};

TEST_F(SerialWorkerTest, IdlePassSleeps200AndNoticesTheOpenPort) {
  const uint32_t start = fake.Now();
  Passes(1);
  EXPECT_EQ(fake.Now() - start, 200u);
  EXPECT_FALSE(port->ThreadBusy());
  port->SetActive(true);
  Passes(1);
  EXPECT_TRUE(port->Worker().ServingPort());
  Passes(1);
  EXPECT_TRUE(port->ThreadBusy());
}

TEST_F(SerialWorkerTest, BurstBecomesOneClusterAbout250msAfterItEnds) {
  OpenServing();
  Passes(3);
  const uint32_t start = fake.Now();
  fake.ModemSends("RING\r\n", 9600);
  const uint32_t burst_end = start + 6 * 10000 / 9600;
  // The limit counts from the pass that last saw the queue empty, at most one wait
  // (75 ms) before the burst began.
  PassFor(burst_end + 160 - fake.Now());
  EXPECT_EQ(port->PeekClusterSize(), -1);
  ASSERT_TRUE(PassUntilCluster());
  const uint32_t queued_at = fake.Now();
  EXPECT_GE(queued_at - burst_end, 250u - 75u);
  EXPECT_LE(queued_at - burst_end, 250u + 75u + 7u);
  EXPECT_EQ(port->PeekClusterSize(), 6);
  EXPECT_EQ(port->PeekClusterSize(), 6);  // peeking removes nothing
  EXPECT_EQ(port->ReadClusterText(), "RING\r\n");
  EXPECT_EQ(port->PeekClusterSize(), -1);
  EXPECT_EQ(port->ReadClusterText(), "");
  EXPECT_EQ(fake.CountCalls("ReadFile"), 1);
}

TEST_F(SerialWorkerTest, RingThenCallerLineTwoSecondsLaterMakeTwoClusters) {
  OpenServing();
  fake.ModemSends("\r\nRING\r\n");
  fake.ModemSends("\r\nNMBR = 219876543\r\n", 9600, 2000);
  PassFor(3000);
  EXPECT_EQ(port->ReadClusterText(), "\r\nRING\r\n");
  EXPECT_EQ(port->ReadClusterText(), "\r\nNMBR = 219876543\r\n");
  EXPECT_EQ(port->PeekClusterSize(), -1);
}

TEST_F(SerialWorkerTest, LongStreamIsCutAtClusterSize) {
  OpenServing();
  std::string data;
  for (int i = 0; i < 5000; ++i) data.push_back(static_cast<char>('A' + i % 26));
  const uint32_t start = fake.Now();
  fake.ModemSends(data, 9600);
  ASSERT_TRUE(PassUntilCluster(20000));
  // Forced while bytes still arrive (5000 bytes take over 5 s).
  EXPECT_LT(fake.Now() - start, 3300u);
  const int32_t first = port->PeekClusterSize();
  EXPECT_GE(first, 3072);
  EXPECT_LE(first, 3080);

  PassFor(6000);
  std::string received;
  int clusters = 0;
  while (port->PeekClusterSize() >= 0) {
    received += port->ReadClusterText();
    ++clusters;
  }
  EXPECT_EQ(received, data);
  EXPECT_GE(clusters, 2);
}

TEST_F(SerialWorkerTest, ZeroBytesStayInTheCluster) {
  OpenServing();
  const std::string data("A\0B\0\0C", 6);
  fake.ModemSends(data);
  ASSERT_TRUE(PassUntilCluster());
  EXPECT_EQ(port->PeekClusterSize(), 6);
  EXPECT_EQ(port->ReadClusterText(), data);
}

TEST_F(SerialWorkerTest, ReadOfNoBytesQueuesAnEmptyCluster) {
  OpenServing();
  fake.ReturnZeroBytesOnNextRead();
  fake.ModemSends("OK\r\n");
  ASSERT_TRUE(PassUntilCluster());
  EXPECT_EQ(port->PeekClusterSize(), 0);
  EXPECT_EQ(port->ReadClusterText(), "");
  // The bytes are still waiting and come in the next cluster.
  ASSERT_TRUE(PassUntilCluster());
  EXPECT_EQ(port->ReadClusterText(), "OK\r\n");
}

TEST_F(SerialWorkerTest, ReadRequestReadsAtTheNextPass) {
  OpenServing();
  Passes(3);  // the queue has been seen empty lately
  fake.ModemSends("AT");
  Passes(3);
  EXPECT_EQ(port->PeekClusterSize(), -1);
  port->SetReadRequest(true);
  Passes(1);
  EXPECT_EQ(port->ReadClusterText(), "AT");
  EXPECT_FALSE(port->ReadRequest());
}

TEST_F(SerialWorkerTest, ClosingWithReadAndEventWaitPending) {
  int comm_events = 0;
  int clusters_signalled = 0;
  port->OnCommEvent = [&](TSerialPort&) { ++comm_events; };
  port->OnRxClusterEvent = [&](TSerialPort&) { ++clusters_signalled; };
  OpenServing();
  fake.ModemSends("OK\r\n");
  ASSERT_TRUE(PassUntilCluster());
  EXPECT_EQ(clusters_signalled, 1);

  fake.SetReadsPend(true);
  fake.ModemSends("RING\r\n");
  for (int i = 0; i < 100 && !(fake.ReadIsPending() && fake.EventWaitIsPending()); ++i) Passes(1);
  ASSERT_TRUE(fake.ReadIsPending());
  ASSERT_TRUE(fake.EventWaitIsPending());
  ASSERT_TRUE(port->Worker().ReadPending());
  ASSERT_TRUE(port->Worker().EventWaitPending());

  comm_events = 0;
  reports->clear();
  RunWorkerDuringSleeps();
  port->SetActive(false);

  const PortReport* aborted = FindReport(9907, "Error read aborted");
  ASSERT_NE(aborted, nullptr);
  EXPECT_EQ(aborted->code, 995u);
  EXPECT_EQ(comm_events, 0);
  EXPECT_EQ(CountReports(104, "Warning ThreadIsRunning"), 0);
  EXPECT_FALSE(port->ThreadBusy());
  EXPECT_FALSE(port->Worker().ServingPort());
  EXPECT_FALSE(port->Worker().ReadPending());
  EXPECT_FALSE(port->Worker().EventWaitPending());
  EXPECT_EQ(clusters_signalled, 1);
  EXPECT_EQ(port->ReadClusterText(), "OK\r\n");
  EXPECT_EQ(port->PeekClusterSize(), -1);
}

TEST_F(SerialWorkerTest, QuietModeDeliversNothing) {
  int handlers = 0;
  port->OnRxClusterEvent = [&](TSerialPort&) { ++handlers; };
  port->OnCommEvent = [&](TSerialPort&) { ++handlers; };
  port->OnCommStat = [&](TSerialPort&) { ++handlers; };
  port->SetThreadQuietMode(true);
  fake.FailCall("GetCommModemStatus", 31);
  OpenServing();
  reports->clear();
  fake.ModemSends("RING\r\n");
  ASSERT_TRUE(PassUntilCluster());
  EXPECT_EQ(port->ReadClusterText(), "RING\r\n");
  EXPECT_EQ(handlers, 0);
  EXPECT_EQ(dispatcher.calls, 0);
  EXPECT_TRUE(reports->empty());  // the worker's 9905 reports stay on the worker
}

TEST_F(SerialWorkerTest, EachClusterIsSignalledOnceOnTheMainThread) {
  int clusters = 0;
  port->OnRxClusterEvent = [&](TSerialPort&) { ++clusters; };
  OpenServing();
  fake.ModemSends("OK\r\n");
  fake.ModemSends("RING\r\n", 9600, 1000);
  PassFor(2000);
  EXPECT_EQ(clusters, 2);
}

TEST_F(SerialWorkerTest, WorkerReportsReachTheHandler) {
  fake.FailCall("GetCommModemStatus", 31, 1);
  OpenServing();
  Passes(1);
  const PortReport* r = FindReport(9905, "Error getting ModemStatus");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->code, 31u);
  EXPECT_EQ(r->noise, 0);
}

TEST_F(SerialWorkerTest, CommEventsAreDispatchedInOrder) {
  std::vector<std::string> seen;
  port->OnCTSEvent = [&](TSerialPort&) { seen.push_back("cts"); };
  port->OnDSREvent = [&](TSerialPort&) { seen.push_back("dsr"); };
  port->OnRLSDEvent = [&](TSerialPort&) { seen.push_back("rlsd"); };
  port->OnRingEvent = [&](TSerialPort&) { seen.push_back("ring"); };
  port->OnRIEvent = [&](TSerialPort&) { seen.push_back("ri"); };
  port->OnCommEvent = [&](TSerialPort& p) {
    seen.push_back("comm " + std::to_string(p.CommEvent()));
  };
  OpenServing();
  Passes(2);
  seen.clear();
  fake.SetModemStatus(comm::kMsCtsOn | comm::kMsDsrOn | comm::kMsRlsdOn | comm::kMsRingOn);
  Passes(1);
  EXPECT_EQ(seen, (std::vector<std::string>{"ri", "cts", "dsr", "ring", "rlsd", "comm 312"}));
  EXPECT_TRUE(port->CTSState());
  EXPECT_TRUE(port->DSRState());
  EXPECT_TRUE(port->RLSDState());
  EXPECT_TRUE(port->RingState());
}

TEST_F(SerialWorkerTest, FallingRingIndicatorIsARingOnWindows9x) {
  fake.SetPlatformId(1);
  Make();
  int rings = 0;
  port->OnRingEvent = [&](TSerialPort&) { ++rings; };
  OpenServing();
  fake.SetModemStatus(comm::kMsRingOn);
  Passes(2);
  EXPECT_TRUE(port->RingState());
  rings = 0;
  fake.SetModemStatus(0);
  Passes(2);
  EXPECT_EQ(rings, 1);
  EXPECT_FALSE(port->RingState());
  EXPECT_EQ(port->CommEvent(), comm::kEvRing);
}

TEST_F(SerialWorkerTest, PtyWithoutCommEventsStillFormsClusters) {
  fake.SetWinePty(true);
  port->SetThreadQuietMode(true);
  OpenServing();
  PassFor(1000);
  EXPECT_EQ(fake.CountCalls("ReadFile"), 0);  // nothing waits: no read is issued
  fake.ModemSends("OK\r\n");
  ASSERT_TRUE(PassUntilCluster());
  EXPECT_EQ(port->ReadClusterText(), "OK\r\n");
  EXPECT_EQ(fake.CountCalls("ReadFile"), 1);
  EXPECT_FALSE(port->Worker().ReadPending());
}

TEST_F(SerialWorkerTest, PassWithNothingPendingWaits75ms) {
  fake.SetWinePty(true);
  OpenServing();
  Passes(1);
  const uint32_t start = fake.Now();
  Passes(40);
  EXPECT_EQ(fake.Now() - start, 40u * 75u);
  EXPECT_FALSE(port->Worker().ReadPending());
  EXPECT_FALSE(port->Worker().EventWaitPending());
}

// A driver that fails each operation as soon as it has gone pending: the passes pause, and
// they count as failed.
TEST_F(SerialWorkerTest, OperationsTheDriverFailsAtOnceDoNotMakeThePassesSpin) {
  for (const FakeComm::Op op : {FakeComm::Op::kWait, FakeComm::Op::kRead}) {
    const bool wait = op == FakeComm::Op::kWait;
    fake.SetReadsPend(!wait);
    fake.after_call = [&](const std::string& call) {
      if (call.rfind(wait ? "WaitCommEvent" : "ReadFile", 0) == 0) fake.EndPending(op, 1617);
    };
    OpenServing();
    if (!wait) fake.ModemSends("RING\r\n", 9600, 500);  // read at every pass from then on
    PassFor(1000);
    const uint32_t start = fake.Now();
    Passes(kFailedPassesForGone);
    EXPECT_GE(fake.Now() - start, kFailedPassesForGone * kWorkerWaitMs) << wait;
    EXPECT_TRUE(port->DeviceGone()) << wait;
    fake.after_call = nullptr;
    Make();
  }
}

TEST_F(SerialWorkerTest, PtyBlockIsReadWhenDueNotAtTheNextPause) {
  fake.SetWinePty(true);
  port->SetThreadQuietMode(true);
  OpenServing();
  Passes(3);
  const uint32_t arrived = fake.Now();
  fake.ModemSends("\r\nNMBR = 219876543\r\n");  // 22 bytes: due 250 + 24.2 ms after the
                                                // queue was last seen empty
  ASSERT_TRUE(PassUntilCluster());
  // Not up to one 75 ms pause late: read at most 2 ms after the limit ran out.
  EXPECT_LE(fake.Now(), arrived + 274 + 2);
  EXPECT_EQ(port->ReadClusterText(), "\r\nNMBR = 219876543\r\n");
}

TEST_F(SerialWorkerTest, ClosingAPtyPort) {
  fake.SetWinePty(true);
  RunWorkerDuringSleeps();
  OpenServing();
  fake.ModemSends("OK\r\n");
  ASSERT_TRUE(PassUntilCluster());
  reports->clear();
  port->SetActive(false);
  EXPECT_FALSE(port->ThreadBusy());
  EXPECT_EQ(CountReports(104, "Warning ThreadIsRunning"), 0);
  EXPECT_EQ(FindReport(602, "Error clearing DTR")->code, 50u);
  EXPECT_EQ(port->ReadClusterText(), "OK\r\n");
}

TEST_F(SerialWorkerTest, FailedWaitForgetsThePendingOperation) {
  fake.SetWinePty(true);  // no WaitCommEvent: the read is all there is to wait on
  fake.SetReadsPend(true);
  OpenServing();
  fake.ModemSends("RING\r\n");
  fake.Advance(10);
  port->SetReadRequest(true);
  Passes(1);
  ASSERT_TRUE(port->Worker().ReadPending());
  fake.FailCall("WaitForSingleObject", 6);  // every wait fails from now on
  Passes(3);
  EXPECT_EQ(FindReport(9912, "Error getting Overlappedresult")->code, comm::kWaitFailed);
  EXPECT_FALSE(port->Worker().ReadPending());
  // The driver still holds the buffer and the record: no other read may start meanwhile.
  EXPECT_EQ(fake.CountCalls("ReadFile"), 1);
  fake.CompleteRead();  // the driver lets go, writing into the buffer
  Passes(1);
  EXPECT_EQ(port->ReadClusterText(), "RING\r\n");
  EXPECT_EQ(fake.RecordReuses(), 0);
}

TEST_F(SerialWorkerTest, ImmediateFailuresAreReported) {
  fake.FailCall("WaitCommEvent", 87, 1);
  OpenServing();
  Passes(1);
  EXPECT_EQ(FindReport(9907, "Error calling WaitCommEvent")->code, 87u);

  fake.FailCall("ReadFile", 22, 1);
  port->SetReadRequest(true);
  fake.ModemSends("x");
  Passes(2);
  EXPECT_EQ(FindReport(9804, "Error reading Data")->code, 22u);
  EXPECT_FALSE(port->ReadRequest());
}

TEST_F(SerialWorkerTest, CommStatTracksTheDriverCounters) {
  int stats = 0;
  std::vector<uint32_t> errors_seen;
  port->OnCommStat = [&](TSerialPort& p) {
    ++stats;
    errors_seen.push_back(p.CommError());
  };
  OpenServing();
  Passes(3);  // the queue has been seen empty lately
  fake.ModemSends("abc");
  PassFor(100);
  EXPECT_EQ(port->CommStateInQueue(), 3u);
  EXPECT_GE(stats, 1);
  fake.RaiseLineErrors(comm::kCeOverrun);
  Passes(1);
  // Seen once: reading cleared it, and the next reading brings it back to 0.
  EXPECT_EQ(std::count(errors_seen.begin(), errors_seen.end(), comm::kCeOverrun), 1);
  EXPECT_EQ(port->CommError(), 0u);
}

TEST_F(SerialWorkerTest, KnownCodesMarkTheDeviceGoneAtOnce) {
  OpenServing();
  fake.FailCall("ClearCommError", comm::kErrorNotSupported, 1);
  Passes(1);
  EXPECT_FALSE(port->DeviceGone());  // not a device failure
  reports->clear();
  // ERROR_NOT_READY: what every call on the handle gives under Wine once the
  // pseudo-terminal has closed.
  fake.FailCall("ClearCommError", comm::kErrorNotReady, 1);
  Passes(1);
  EXPECT_TRUE(port->DeviceGone());
  EXPECT_EQ(FindReport(9803, "Error ClearCommError")->code, 21u);

  RunWorkerDuringSleeps();
  port->SetActive(false);
  EXPECT_TRUE(port->DeviceGone());
  port->SetActive(true);
  EXPECT_FALSE(port->DeviceGone());
  fake.FailCall("ReadFile", comm::kErrorDeviceNotConnected, 1);
  fake.ModemSends("x");
  PassFor(500);
  EXPECT_TRUE(port->DeviceGone());
}

// USB-serial drivers differ in what they answer once the device has gone.
TEST_F(SerialWorkerTest, StatusOrReadsFailingForAWhileMarkTheDeviceGoneWhateverTheCode) {
  for (const uint32_t code : {1617u, 433u, 995u}) {
    OpenServing();
    fake.FailCall("ClearCommError", code);
    Passes(kFailedPassesForGone - 1);
    fake.FailCall("ClearCommError", 0, 0);
    Passes(1);  // a pass that does not fail starts the count again
    fake.FailCall("ClearCommError", code);
    Passes(kFailedPassesForGone - 1);
    EXPECT_FALSE(port->DeviceGone()) << code;
    Passes(1);
    EXPECT_TRUE(port->DeviceGone()) << code;
    fake.FailCall("ClearCommError", 0, 0);
    Make();
  }
  // Reads that keep failing: the bytes waiting are asked for at every pass.
  OpenServing();
  fake.FailCall("ReadFile", 433);
  fake.ModemSends("RING\r\n");
  for (int i = 0; i < 100 && FindReport(9804, "Error reading Data") == nullptr; ++i) Passes(1);
  Passes(kFailedPassesForGone - 2);
  EXPECT_FALSE(port->DeviceGone());
  Passes(1);
  EXPECT_TRUE(port->DeviceGone());
}

// A send nothing answers marks the device gone only when the port failed within the bound.
class UnansweredSendTest : public SerialWorkerTest, public ::testing::WithParamInterface<int> {};

TEST_P(UnansweredSendTest, MarksTheDeviceGoneOnlyOnAPortFailingMeanwhile) {
  const struct {
    const char* name;
    bool gone;
    std::function<void()> run;
  } cases[] = {
      {"a send the port does not get through", true,
       [this] {
         fake.SetWriteMode(FakeComm::WriteMode::kPending);  // cut short by its time-out
         OpenServing();
         port->SendText("AT\r");
         PassFor(kUnansweredSendMs + 200);
       }},
      {"the status failing once, 500 ms after the send", true,
       [this] {
         OpenServing();
         port->SendText("AT\r");
         PassFor(500);
         fake.FailCall("ClearCommError", 1617, 1);
         PassFor(kUnansweredSendMs);
       }},
      {"a send refused while the driver holds a long one given up after the 2 s", true,
       [this] {
         fake.SetWriteMode(FakeComm::WriteMode::kStuck);
         fake.SetLetGoLag(FakeComm::kHold);
         OpenServing();
         port->SendText(std::string(2000, 'x'));  // given up after 2.5 s
         PassFor(3000);
         ASSERT_FALSE(port->DeviceGone());
         port->SendText("AT\r");
         PassFor(kUnansweredSendMs + 200);
       }},
      {"a silent modem on a sound port", false,
       [this] {
         OpenServing();
         port->SendText("AT\r");
         PassFor(5000);
       }},
      {"a failure long after the send", false,
       [this] {
         OpenServing();
         port->SendText("AT\r");
         PassFor(kUnansweredSendMs + 1000);
         fake.FailCall("ClearCommError", 1617, 1);
         PassFor(1000);
       }},
      {"a dial answered after 20 s, on a driver that offers no WaitCommEvent", false,
       [this] {
         fake.FailCall("WaitCommEvent", comm::kErrorInvalidFunction);
         OpenServing();
         port->SendText("ATDT219876543;\r");
         fake.ModemSends("\r\nOK\r\n", 9600, 20000);
         PassFor(25000);
       }},
      {"the closed handle's read ending after the port was reopened", false,
       [this] {
         fake.SetReadsPend(true);
         OpenServing();
         fake.ModemSends("RING\r\n");
         PassFor(500);
         fake.SetLetGoLag(FakeComm::kHold);
         RunWorkerDuringSleeps();
         port->SetActive(false);
         port->SetActive(true);
         fake.after_call = nullptr;
         port->SendText("AT\r");
         fake.EndPending(FakeComm::Op::kRead, comm::kErrorOperationAborted);
         PassFor(5000);
       }},
  };
  const auto& c = cases[GetParam()];
  c.run();
  EXPECT_EQ(port->DeviceGone(), c.gone) << c.name;
  fake.SetLetGoLag(0);
}

INSTANTIATE_TEST_SUITE_P(Cases, UnansweredSendTest, ::testing::Range(0, 7));

// Closing did not end the WaitCommEvent (SetCommMask(0) failed, and the driver holds what
// it was told to end): it must not be started again on the record the driver holds.
TEST_F(SerialWorkerTest, EventWaitTheDriverStillHoldsIsAskedForNotAssumedOver) {
  int comm_events = 0;
  port->OnCommEvent = [&](TSerialPort&) { ++comm_events; };
  OpenServing();
  Passes(1);
  ASSERT_TRUE(port->Worker().EventWaitPending());
  fake.SetLetGoLag(FakeComm::kHold);
  fake.FailCall("SetCommMask", 31);
  RunWorkerDuringSleeps();
  port->SetActive(false);
  fake.FailCall("SetCommMask", 0, 0);
  ASSERT_TRUE(fake.EventWaitIsPending());
  // Only the component's: the worker leaves the mask alone, the handle may be a new port's.
  EXPECT_EQ(fake.CountCalls("SetCommMask 0"), 1);
  port->SetActive(true);
  Passes(5);
  EXPECT_EQ(fake.RecordReuses(), 0);
  EXPECT_EQ(fake.CountCalls("WaitCommEvent"), 1);
  fake.SetLetGoLag(0);  // the driver lets go at last
  Passes(2);
  EXPECT_EQ(fake.CountCalls("WaitCommEvent"), 2);
  EXPECT_EQ(comm_events, 0);  // the old wait's end is not dispatched
  fake.SetModemStatus(comm::kMsCtsOn);
  Passes(1);
  EXPECT_EQ(comm_events, 1);
}

TEST_F(SerialWorkerTest, WorkerEndsOnlyOnceThePortIsClosed) {
  OpenServing();
  port->Worker().Terminate();
  EXPECT_TRUE(port->Worker().RunPass());  // still serving the open port
  RunWorkerDuringSleeps();
  port->SetActive(false);
  EXPECT_TRUE(port->Worker().Finished());
  EXPECT_FALSE(port->Worker().RunPass());
}

}  // namespace
}  // namespace sonavi::testing

// The component's own operations: opening, closing, settings, lines, sending, reports.
#include <cstring>

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif

#include "serial/serial_fixture.h"

namespace sonavi::testing {
namespace {

using Calls = std::vector<std::string>;

TEST_F(SerialPortTest, StartsClosedWithItsInitialValues) {
  EXPECT_FALSE(port->Active());
  EXPECT_EQ(port->ComHandle(), kInvalidCommHandle);
  EXPECT_EQ(port->CommPort(), "COM2");
  EXPECT_EQ(port->BaudRate(), 9600u);
  EXPECT_EQ(port->DataBits(), 8);
  EXPECT_EQ(port->XONChar(), 17);
  EXPECT_EQ(port->XOFFChar(), 19);
  EXPECT_EQ(port->XONLimDiv(), 33);
  EXPECT_EQ(port->RTOCharDelayTime(), 1100u);
  EXPECT_EQ(port->RTOExtraDelayTime(), 250);
  EXPECT_EQ(port->ClusterSize(), 3072);
  EXPECT_EQ(port->RxQueueSize(), 4096);
  EXPECT_TRUE(port->XTOAuto());
  EXPECT_TRUE(port->RTSState());
  EXPECT_TRUE(port->DTRState());
  EXPECT_EQ(port->ErrorNoise(), 255);
  EXPECT_FALSE(port->ThreadQuietMode());
  EXPECT_EQ(port->PlatformId(), 2);
  EXPECT_EQ(fake.OpenEventCount(), 3);
  EXPECT_EQ(port->PeekClusterSize(), -1);
  EXPECT_EQ(port->ReadClusterText(), "");
}

TEST_F(SerialPortTest, UnknownPlatformIsMinusOne) {
  fake.FailCall("GetVersionEx", 1);
  Make();
  EXPECT_EQ(port->PlatformId(), -1);
}

TEST_F(SerialPortTest, DestructionReleasesTheEvents) {
  port.reset();
  EXPECT_EQ(fake.OpenEventCount(), 0);
}

TEST_F(SerialPortTest, OpeningConfiguresThePortAndRaisesTheLines) {
  fake.ClearCalls();
  port->SetActive(true);
  EXPECT_TRUE(port->Active());
  EXPECT_NE(port->ComHandle(), kInvalidCommHandle);
  EXPECT_EQ(fake.Calls(),
            (Calls{"CreateFile \\\\.\\COM2", "SetupComm 4096 4096", "GetCommState",
                   "GetCommTimeouts", "SetCommTimeouts 0", "SetCommState", "EscapeCommFunction 5",
                   "EscapeCommFunction 3", "SetCommMask 511"}));
  ASSERT_EQ(reports->size(), 1u);
  EXPECT_EQ((*reports)[0].place, 110u);
  EXPECT_EQ((*reports)[0].noise, 2);
  EXPECT_EQ((*reports)[0].msg, "Msg start reactivating Port");

  const CommTimeouts t = fake.Timeouts();
  EXPECT_EQ(t.ReadIntervalTimeout, 0xFFFFFFFFu);
  EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 0u);
  EXPECT_EQ(t.ReadTotalTimeoutConstant, 0u);
  EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 0u);
  EXPECT_EQ(t.WriteTotalTimeoutConstant, 0u);
}

TEST_F(SerialPortTest, DcbIsRebuiltFromScratch) {
  port->SetActive(true);
  CommDcb dcb = fake.Dcb();
  EXPECT_EQ(dcb.Flags, 0x0001u);  // only fBinary: the driver's 0x7FFF is discarded
  EXPECT_EQ(dcb.BaudRate, 9600u);
  EXPECT_EQ(dcb.XonLim, 1351);
  EXPECT_EQ(dcb.XoffLim, 1351);
  EXPECT_EQ(dcb.ByteSize, 8);
  EXPECT_EQ(dcb.Parity, 0);
  EXPECT_EQ(dcb.StopBits, 0);
  EXPECT_EQ(dcb.XonChar, 17);
  EXPECT_EQ(dcb.XoffChar, 19);
  EXPECT_EQ(dcb.EofChar, 0);
  EXPECT_EQ(dcb.DCBlength, 28u);  // kept as the driver gave it

  port->SetParityType(2);
  port->SetParityErrorReplacement(true);
  port->SetStripNullChars(true);
  port->SetFlowControl(0x0010);
  port->SetXONLimDiv(50);
  port->SetXOFFLimDiv(10);
  port->SetStopBits(2);
  port->SetEventChar('\r');
  dcb = fake.Dcb();
  EXPECT_EQ(dcb.Flags, 0x0001u | 0x0002u | 0x0400u | 0x0800u | 0x0010u);
  EXPECT_EQ(dcb.Parity, 2);
  EXPECT_EQ(dcb.StopBits, 2);
  EXPECT_EQ(dcb.EvtChar, '\r');
  EXPECT_EQ(dcb.XonLim, 2048);
  EXPECT_EQ(dcb.XoffLim, 409);

  port->SetParityType(0);
  EXPECT_EQ(fake.Dcb().Flags & 0x0002u, 0u);
}

TEST_F(SerialPortTest, UnchangedSettingIsNotReapplied) {
  port->SetActive(true);
  fake.ClearCalls();
  port->SetDataBits(8);
  port->SetBaudRate(9600);
  EXPECT_EQ(fake.CountCalls("SetCommState"), 0);
  port->SetDataBits(7);
  EXPECT_EQ(fake.CountCalls("SetCommState"), 1);
  EXPECT_EQ(fake.Dcb().ByteSize, 7);
}

TEST_F(SerialPortTest, OpeningTwiceOpensOnce) {
  port->SetActive(true);
  port->SetActive(true);
  EXPECT_EQ(fake.CountCalls("CreateFile"), 1);
  EXPECT_EQ(reports->size(), 1u);
}

TEST_F(SerialPortTest, ClosingAClosedPortDoesNothing) {
  fake.ClearCalls();
  port->SetActive(false);
  EXPECT_TRUE(reports->empty());
  EXPECT_TRUE(fake.Calls().empty());
}

TEST_F(SerialPortTest, ClosingDisablesEventsPurgesLowersLinesAndCloses) {
  RunWorkerDuringSleeps();
  OpenServing();
  reports->clear();
  fake.ClearCalls();
  port->SetActive(false);

  EXPECT_FALSE(port->Active());
  EXPECT_EQ(port->ComHandle(), kInvalidCommHandle);
  EXPECT_FALSE(fake.PortOpen());
  EXPECT_FALSE(port->DTRState());
  EXPECT_FALSE(port->RTSState());
  EXPECT_FALSE(port->ThreadBusy());
  ASSERT_GE(reports->size(), 1u);
  EXPECT_EQ((*reports)[0].place, 100u);
  EXPECT_EQ((*reports)[0].msg, "Msg start deactivating Port");
  EXPECT_EQ(CountReports(104, "Warning ThreadIsRunning"), 0);

  std::vector<std::string> port_calls;
  for (const std::string& c : fake.Calls()) {
    if (c == "SetCommMask 0" || c.rfind("PurgeComm", 0) == 0 ||
        c.rfind("EscapeCommFunction", 0) == 0 || c == "CloseHandle") {
      port_calls.push_back(c);
    }
  }
  EXPECT_EQ(port_calls,
            (std::vector<std::string>{"SetCommMask 0", "PurgeComm 15", "EscapeCommFunction 6",
                                      "EscapeCommFunction 4", "CloseHandle"}));
}

TEST_F(SerialPortTest, ClosingWarnsWhenTheWorkerStaysBusy) {
  OpenServing();
  Passes(1);  // serving: ThreadBusy is set, and nobody runs the worker while closing
  ASSERT_TRUE(port->ThreadBusy());
  const uint32_t before = fake.Now();
  port->SetActive(false);
  EXPECT_EQ(fake.Now() - before, 15u * 75u);
  const PortReport* r = FindReport(104, "Warning ThreadIsRunning");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->noise, 1);
  EXPECT_FALSE(fake.PortOpen());  // closes anyway
}

TEST_F(SerialPortTest, MissingPortFailsToOpen) {
  port->SetCommPort("COM9");
  port->SetActive(true);
  EXPECT_FALSE(port->Active());
  EXPECT_EQ(port->ComHandle(), kInvalidCommHandle);
  const PortReport* r = FindReport(112, "Error reopening Port");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->code, 2u);
  EXPECT_EQ(r->noise, 0);
  EXPECT_EQ(fake.CountCalls("SetupComm"), 0);
}

TEST_F(SerialPortTest, PortHeldElsewhereFailsWithTheSystemCode) {
  fake.HoldPort("COM2");
  port->SetActive(true);
  EXPECT_FALSE(port->Active());
  const PortReport* r = FindReport(112, "Error reopening Port");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->code, 5u);
}

TEST_F(SerialPortTest, ChangingCommPortWhileOpenReopensOnTheNewDevice) {
  RunWorkerDuringSleeps();
  OpenServing();
  reports->clear();
  port->SetCommPort("COM5");
  EXPECT_TRUE(port->Active());
  EXPECT_EQ(fake.OpenedName(), "\\\\.\\COM5");
  ASSERT_EQ(reports->size(), 2u);
  EXPECT_EQ((*reports)[0].place, 100u);
  EXPECT_EQ((*reports)[1].place, 110u);

  // The same name again changes nothing; another case is another name.
  fake.ClearCalls();
  port->SetCommPort("COM5");
  EXPECT_EQ(fake.CountCalls("CloseHandle"), 0);
  port->SetCommPort("com5");
  EXPECT_FALSE(port->Active());
  EXPECT_NE(FindReport(112, "Error reopening Port"), nullptr);
}

TEST_F(SerialPortTest, ChangingCommPortWhileClosedOnlyStoresIt) {
  port->SetCommPort("COM5");
  EXPECT_EQ(port->CommPort(), "COM5");
  EXPECT_FALSE(port->Active());
  EXPECT_EQ(fake.CountCalls("CreateFile"), 0);
  EXPECT_TRUE(reports->empty());
}

TEST_F(SerialPortTest, DeviceNameKeeps79CharactersOfThePort) {
  port->SetCommPort(std::string(300, 'X'));
  EXPECT_EQ(port->CommPort(), std::string(255, 'X'));
  port->SetActive(true);
  EXPECT_EQ(fake.Calls().front(), "CreateFile \\\\.\\" + std::string(79, 'X'));
}

TEST_F(SerialPortTest, OpeningReportsFailuresAndGoesOn) {
  fake.FailCall("SetupComm", 31, 1);
  fake.FailCall("SetCommMask", 6, 1);
  port->SetActive(true);
  EXPECT_TRUE(port->Active());
  EXPECT_EQ(FindReport(111, "Error setup Queuesize")->code, 31u);
  EXPECT_EQ(FindReport(201, "Error activating CommEventMask")->code, 6u);
  EXPECT_EQ(fake.CountCalls("SetCommState"), 1);
}

TEST_F(SerialPortTest, FailedGetCommStateLeavesTheSettingsAlone) {
  fake.FailCall("GetCommState", 1, 1);
  port->SetActive(true);
  EXPECT_EQ(FindReport(801, "Error getting DCB from CommState")->code, 1u);
  EXPECT_EQ(fake.CountCalls("SetCommState"), 0);
  EXPECT_EQ(fake.CountCalls("SetCommTimeouts"), 0);
}

TEST_F(SerialPortTest, RefusedSettingsAreReported) {
  port->SetActive(true);
  fake.FailCall("SetCommTimeouts", 87, 1);
  port->SetDataBits(4);
  const PortReport* r =
      FindReport(802, "Error setting CommState, 87 indicate that Parms are incorrect");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->code, 87u);
  EXPECT_EQ(FindReport(802, "Error setting CommTimeout")->code, 87u);
  EXPECT_EQ(port->DataBits(), 4);
}

TEST_F(SerialPortTest, LimDivAbove100IsWarnedAndCut) {
  port->SetXONLimDiv(150);
  EXPECT_EQ(port->XONLimDiv(), 100);
  const PortReport* r = FindReport(100, "Warning XOnLimDef set to 100");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->code, 150u);
  EXPECT_EQ(r->noise, 1);

  reports->clear();
  port->SetXOFFLimDiv(100);
  EXPECT_EQ(port->XOFFLimDiv(), 100);
  EXPECT_TRUE(reports->empty());
  port->SetXOFFLimDiv(255);
  EXPECT_EQ(FindReport(100, "Warning XOffLimDef set to 100")->code, 255u);

  port->SetActive(true);
  EXPECT_EQ(fake.Dcb().XonLim, 4096);
}

TEST_F(SerialPortTest, QueueSizeSetWhileClosedIsReportedAndUsedAtOpen) {
  port->SetRxQueueSize(1024);
  const PortReport* r = FindReport(101, "Error can not set Quesize");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->code, 6u);  // the invalid handle
  port->SetTxQueueSize(512);
  EXPECT_NE(FindReport(102, "Error can not set Quesize"), nullptr);

  port->SetActive(true);
  EXPECT_EQ(fake.QueueSizes(), std::make_pair(1024u, 512u));
  EXPECT_EQ(fake.Dcb().XonLim, 1024 * 33 / 100);

  reports->clear();
  port->SetRxQueueSize(2048);
  EXPECT_TRUE(reports->empty());
  EXPECT_EQ(fake.QueueSizes(), std::make_pair(2048u, 512u));
}

TEST_F(SerialPortTest, CharDelaysFollowTheBaudRate) {
  const struct {
    uint32_t baud;
    uint32_t delay;
  } cases[] = {{100, 1100}, {110, 100000}, {14400, 760}, {20000, 570}, {1000000, 43}, {9600, 1100}};
  for (const auto& c : cases) {
    port->SetBaudRate(c.baud);
    EXPECT_EQ(port->RTOCharDelayTime(), c.delay) << c.baud;
    EXPECT_EQ(port->WTOCharDelayTime(), c.delay) << c.baud;
  }
}

TEST_F(SerialPortTest, CharDelaysStayPutWithoutXTOAuto) {
  port->SetXTOAuto(false);
  port->SetBaudRate(115200);
  EXPECT_EQ(port->RTOCharDelayTime(), 1100u);
  port->SetXTOAuto(true);
  EXPECT_EQ(port->RTOCharDelayTime(), 95u);
  EXPECT_EQ(port->WTOCharDelayTime(), 95u);
}

TEST_F(SerialPortTest, LineSettersAreIgnoredWhileClosed) {
  port->SetRTSState(false);
  port->SetDTRState(false);
  port->SetBREAKState(true);
  EXPECT_TRUE(port->RTSState());
  EXPECT_TRUE(port->DTRState());
  EXPECT_FALSE(port->BREAKState());
  EXPECT_EQ(fake.CountCalls("EscapeCommFunction"), 0);
  EXPECT_EQ(fake.CountCalls("SetCommBreak"), 0);
  EXPECT_TRUE(reports->empty());
}

TEST_F(SerialPortTest, LineSettersDriveTheLinesAndStoreEvenOnFailure) {
  port->SetActive(true);
  fake.ClearCalls();
  port->SetRTSState(false);
  port->SetBREAKState(true);
  port->SetBREAKState(false);
  EXPECT_EQ(fake.Calls(), (Calls{"EscapeCommFunction 4", "SetCommBreak", "ClearCommBreak"}));

  fake.FailCall("EscapeCommFunction", 31);
  fake.FailCall("SetCommBreak", 1);
  port->SetDTRState(false);
  port->SetRTSState(true);
  port->SetBREAKState(true);
  EXPECT_FALSE(port->DTRState());
  EXPECT_TRUE(port->RTSState());
  EXPECT_TRUE(port->BREAKState());
  EXPECT_EQ(FindReport(602, "Error clearing DTR")->code, 31u);
  EXPECT_EQ(FindReport(501, "Error setting RTS")->code, 31u);
  EXPECT_EQ(FindReport(701, "Error setting BREAK State")->code, 1u);
}

TEST_F(SerialPortTest, ErrorNoiseFiltersReports) {
  port->SetErrorNoise(1);
  port->SetXONLimDiv(150);  // warning: kept
  port->SetCommPort("COM9");
  port->SetActive(true);  // progress dropped, error kept
  EXPECT_EQ(CountReports(110, "Msg start reactivating Port"), 0);
  EXPECT_EQ(CountReports(100, "Warning XOnLimDef set to 100"), 1);
  EXPECT_EQ(CountReports(112, "Error reopening Port"), 1);

  reports->clear();
  port->SetErrorNoise(0);
  port->SetXOFFLimDiv(150);
  port->SetActive(true);
  ASSERT_EQ(reports->size(), 1u);
  EXPECT_EQ((*reports)[0].place, 112u);
}

TEST_F(SerialPortTest, NothingIsReportedOnceDestructionBegins) {
  port->SetActive(true);
  fake.FailCall("PurgeComm", 5);
  fake.FailCall("CloseHandle", 5);
  reports->clear();
  port.reset();
  EXPECT_TRUE(reports->empty());
  EXPECT_EQ(fake.CountCalls("PurgeComm"), 1);  // it did close
}

TEST_F(SerialPortTest, SendSetsTheWriteTimeOutAndCompletesAtOnce) {
  int done = 0;
  port->OnWriteDone = [&](TSerialPort&) { ++done; };
  port->SetActive(true);
  fake.ClearCalls();
  port->SendText("ATZ\r567890");
  EXPECT_EQ(fake.Calls(), (Calls{"GetCommTimeouts", "SetCommTimeouts 261", "WriteFile 10"}));
  EXPECT_EQ(fake.Timeouts().ReadIntervalTimeout, 0xFFFFFFFFu);
  EXPECT_EQ(fake.Written(), "ATZ\r567890");
  EXPECT_EQ(done, 1);
  EXPECT_EQ(port->WrittenBytes(), 10u);
  EXPECT_FALSE(port->SendInProgress());
}

TEST_F(SerialPortTest, EmptyTextSendsNothing) {
  port->SetActive(true);
  fake.ClearCalls();
  reports->clear();
  port->SendText("");
  EXPECT_TRUE(fake.Calls().empty());
  EXPECT_TRUE(reports->empty());
}

TEST_F(SerialPortTest, SendOnAClosedPortReportsBothFailures) {
  port->SendText("AT\r");
  ASSERT_EQ(reports->size(), 2u);
  EXPECT_EQ((*reports)[0].place, 902u);
  EXPECT_EQ((*reports)[0].msg, "Error setting CommTimeout");
  EXPECT_EQ((*reports)[1].place, 903u);
  EXPECT_EQ((*reports)[1].msg, "Error writing Data");
  EXPECT_EQ((*reports)[1].code, 6u);
  EXPECT_FALSE(port->SendInProgress());
}

TEST_F(SerialPortTest, SecondSendWhilePendingIsRefused) {
  OpenServing();
  fake.SetWriteMode(FakeComm::WriteMode::kPending);
  char buffer[16];
  std::strcpy(buffer, "ATDT123;\r");
  port->SendData(buffer, 9);
  EXPECT_TRUE(port->SendInProgress());
  std::memset(buffer, 'x', sizeof buffer);  // the component keeps its own copy

  port->SendText("ATH0\r");
  const PortReport* r = FindReport(901, "Msg, dont enter SendData while SendInProgress is set");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->noise, 2);
  EXPECT_EQ(fake.CountCalls("WriteFile"), 1);

  int done = 0;
  port->OnWriteDone = [&](TSerialPort&) { ++done; };
  Passes(1);
  EXPECT_TRUE(port->SendInProgress());  // still running
  fake.CompleteWrite();
  Passes(1);
  EXPECT_FALSE(port->SendInProgress());
  EXPECT_EQ(port->WrittenBytes(), 9u);
  EXPECT_EQ(done, 1);
  EXPECT_EQ(fake.Written(), "ATDT123;\r");
}

TEST_F(SerialPortTest, ShortSendIsReportedAsTimeOut) {
  OpenServing();
  fake.SetWriteMode(FakeComm::WriteMode::kPending);
  int done = 0;
  port->OnWriteDone = [&](TSerialPort&) { ++done; };
  port->SendText("0123456789");
  fake.CompleteWrite(4);
  Passes(1);
  EXPECT_EQ(port->WrittenBytes(), 4u);
  EXPECT_FALSE(port->SendInProgress());
  EXPECT_EQ(FindReport(9701, "Error write TimeOut")->code, 6u);  // bytes not sent
  EXPECT_EQ(done, 1);
}

TEST_F(SerialPortTest, SendPurgedByClosingEndsWithWriteDone) {
  RunWorkerDuringSleeps();
  OpenServing();
  fake.SetWriteMode(FakeComm::WriteMode::kPending);
  int done = 0;
  port->OnWriteDone = [&](TSerialPort&) { ++done; };
  port->SendText("AT\r");
  port->SetActive(false);
  EXPECT_FALSE(port->SendInProgress());
  EXPECT_EQ(FindReport(9702, "Error getting Overlapped Result")->code, 995u);
  EXPECT_EQ(done, 1);
  EXPECT_FALSE(port->ThreadBusy());
}

TEST_F(SerialPortTest, FailedWriteIsReportedAndResetsTheEvent) {
  port->SetActive(true);
  port->SendText("AT\r");  // completes at once, leaving the record's event signalled
  ASSERT_TRUE(fake.LastWriteEventSignalled());
  fake.FailCall("WriteFile", 22, 1);
  port->SendText("AT\r");
  EXPECT_EQ(FindReport(903, "Error writing Data")->code, 22u);
  EXPECT_FALSE(port->SendInProgress());
  EXPECT_FALSE(fake.LastWriteEventSignalled());
}

// A driver that ignores the write time-out (a stuck driver) never ends the send itself.
TEST_F(SerialPortTest, SendTheDriverNeverEndsIsGivenUpAndTheNextGoesOut) {
  OpenServing();
  fake.SetWriteMode(FakeComm::WriteMode::kStuck);
  fake.SetLetGoLag(100);  // the driver takes a while to let go of what it is told to end
  int done = 0;
  port->OnWriteDone = [&](TSerialPort&) { ++done; };
  port->SendText("ATDT123;\r");  // 259 ms of time-out
  fake.Advance(259 + 75 - 1);
  Passes(1);  // its limit and a wait have not yet gone by when it looks
  EXPECT_TRUE(port->SendInProgress());
  Passes(1);
  EXPECT_FALSE(port->SendInProgress());
  EXPECT_EQ(FindReport(9701, "Error write TimeOut")->code, comm::kErrorIoPending);
  EXPECT_EQ(done, 1);
  // Until the driver lets go, its bytes and record stay with it.
  fake.SetWriteMode(FakeComm::WriteMode::kImmediate);
  port->SendText("ATH\r");
  EXPECT_EQ(FindReport(903, "Error writing Data")->code, comm::kErrorIoIncomplete);
  EXPECT_EQ(fake.CountCalls("WriteFile"), 1);
  Passes(2);
  port->SendText("ATH\r");
  EXPECT_EQ(fake.Written(), "ATH\r");
  EXPECT_EQ(fake.RecordReuses(), 0);
  EXPECT_EQ(CountReports(901, "Msg, dont enter SendData while SendInProgress is set"), 0);
}

// Neither the cancel nor the first two purges end a send the driver never ends: the worker
// purges on each pass until one does.
TEST_F(SerialPortTest, GivenUpSendIsPurgedUntilTheDriverLetsGo) {
  OpenServing();
  fake.SetWriteMode(FakeComm::WriteMode::kStuck);
  fake.FailCall("CancelIoEx", 1);
  fake.FailCall("PurgeComm", 31, 3);  // the give-up's fallback and the next two passes'
  port->SendText("AT\r");
  fake.Advance(1000);
  Passes(4);
  fake.SetWriteMode(FakeComm::WriteMode::kImmediate);
  port->SendText("ATZ\r");
  EXPECT_EQ(fake.Written(), "ATZ\r");
}

// The driver lets go of a given-up send just as the worker looks, and the main thread sends
// the next at once: the worker's purge of the given-up send must not abort the new one.
TEST_F(SerialPortTest, NextSendStartedAsTheDriverLetsGoIsNotPurged) {
  OpenServing();
  fake.SetWriteMode(FakeComm::WriteMode::kStuck);
  fake.SetLetGoLag(FakeComm::kHold);
  port->SendText("AT\r");
  fake.Advance(1000);
  Passes(1);  // given up; the driver holds it
  fake.SetWriteMode(FakeComm::WriteMode::kPending);
  bool sent = false;
  fake.after_call = [&](const std::string& call) {
    if (call != "GetOverlappedResult" || sent) return;
    sent = true;
    fake.SetLetGoLag(0);
    port->SendText("ATZ\r");
  };
  const int purges = fake.CountCalls("PurgeComm");
  Passes(1);
  fake.after_call = nullptr;
  EXPECT_TRUE(sent);
  EXPECT_EQ(fake.CountCalls("PurgeComm"), purges);
  EXPECT_TRUE(port->SendInProgress());
  EXPECT_TRUE(fake.WriteIsPending());
}

// The worker and the main thread both try to end the send; the test puts the main thread's
// work between two of the worker's calls.
TEST_F(SerialPortTest, SendEndedByTheWorkerHasEndedForTheMainThreadToo) {
  OpenServing();
  fake.SetWriteMode(FakeComm::WriteMode::kStuck);
  fake.SetLetGoLag(FakeComm::kHold);
  int done = 0;
  port->OnWriteDone = [&](TSerialPort&) { ++done; };
  port->SendText("AT\r");
  fake.Advance(1000);  // past the send's limit: the next pass gives it up
  bool in_progress_after_close = true;
  fake.after_call = [&](const std::string& call) {
    if (call != "CancelIoEx") return;  // the worker has taken the end
    fake.SetLetGoLag(0);               // and the driver lets go at once
    port->SetActive(false);
    in_progress_after_close = port->SendInProgress();
  };
  Passes(1);
  EXPECT_FALSE(in_progress_after_close);
  EXPECT_EQ(done, 1);
  EXPECT_EQ(CountReports(9701, "Error write TimeOut"), 1);
  EXPECT_EQ(CountReports(9702, "Error getting Overlapped Result"), 0);

  // The driver lets go of the given-up send, and the worker finds that first.
  port->SetActive(true);
  fake.SetWriteMode(FakeComm::WriteMode::kImmediate);
  fake.SetLetGoLag(0);
  fake.after_call = [&](const std::string& call) {
    if (call == "GetOverlappedResult") Passes(1);
  };
  reports->clear();
  port->SendText("ATZ\r");
  EXPECT_EQ(fake.Written(), "ATZ\r");
  EXPECT_TRUE(reports->empty());
}

// A driver that never lets go of a read: the component ends anyway, leaving the read's
// record where the driver may still write to it.
TEST_F(SerialPortTest, EndingWhileTheDriverHoldsAReadTakesBoundedTimeAndFreesNothingItHolds) {
  {
#ifdef __SANITIZE_ADDRESS__
    __lsan::ScopedDisabler left_allocated;  // by design, for the rest of the process
#endif
    Make();
  }
  fake.SetReadsPend(true);
  OpenServing();
  fake.ModemSends("RING\r\n");
  port->SetReadRequest(true);
  Passes(1);
  ASSERT_TRUE(fake.ReadIsPending());
  fake.SetLetGoLag(FakeComm::kHold);
  const uint32_t start = fake.Now();
  port.reset();
  EXPECT_LE(fake.Now() - start, 3 * kDriverLetGoMs);
  EXPECT_TRUE(fake.ReadIsPending());
  fake.EndPending(FakeComm::Op::kRead, comm::kErrorOperationAborted);  // writes the record
}

// The worker has not yet served the port when it closes.
TEST_F(SerialPortTest, SendPendingWhenThePortClosesIsSettled) {
  fake.SetWriteMode(FakeComm::WriteMode::kStuck);
  port->SetActive(true);
  port->SendText("AT\r");
  ASSERT_TRUE(port->SendInProgress());
  port->SetActive(false);
  EXPECT_FALSE(port->SendInProgress());
  EXPECT_EQ(FindReport(9702, "Error getting Overlapped Result")->code, 995u);

  reports->clear();
  port->SendText("AT\r");
  ASSERT_EQ(reports->size(), 2u);
  EXPECT_EQ((*reports)[0].place, 902u);
  EXPECT_EQ((*reports)[1].place, 903u);

  fake.SetWriteMode(FakeComm::WriteMode::kImmediate);
  port->SetActive(true);
  port->SendText("ATZ\r");
  EXPECT_EQ(fake.Written(), "ATZ\r");
}

}  // namespace
}  // namespace sonavi::testing

#include "app/monitor.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <vector>

#include "fakes/fake_clock.h"

namespace sonavi {
namespace {

// A modem behind the serial queue: answers commands after a delay on the fake clock.
class FakeLink : public SerialLink {
 public:
  explicit FakeLink(FakeClock& clock) : clock_(clock) {
    clock_.OnAdvance([this](uint32_t now) { Deliver(now); });
  }
  int32_t PeekClusterSize() override {
    return queue.empty() ? -1 : static_cast<int32_t>(queue.front().size());
  }
  std::string ReadClusterText() override {
    if (queue.empty()) return "";
    std::string cluster = queue.front();
    queue.pop_front();
    return cluster;
  }
  void SendText(const std::string& text) override {
    sent.push_back(text);
    auto it = answers.find(text);
    if (it == answers.end() || !active) return;
    uint32_t at = clock_.TickCount();
    for (const std::string& cluster : it->second) {
      at += answer_delay_ms;
      pending.push_back({at, cluster});
    }
  }
  void SetCommPort(const std::string& port) override { ports.push_back(port); }
  void SetActive(bool active_now) override {
    if (active_now && !active && can_open) {
      active = true;
      device_gone = false;
      ++opens;
    }
    if (!active_now && active) {
      active = false;
      ++closes;
    }
  }
  bool Active() const override { return active; }
  bool DeviceGone() const override { return device_gone; }

  // The clusters the modem sends back for a command line (command + CR).
  void Answer(const std::string& command, std::vector<std::string> clusters) {
    answers[command + "\r"] = std::move(clusters);
  }

  std::deque<std::string> queue;
  std::vector<std::string> sent;
  std::vector<std::string> ports;
  bool active = false;
  bool can_open = true;
  bool device_gone = false;
  int opens = 0;
  int closes = 0;
  uint32_t answer_delay_ms = 300;

  // Queues the answers due by now.
  void Deliver(uint32_t now) {
    while (!pending.empty() && pending.front().first <= now) {
      queue.push_back(pending.front().second);
      pending.pop_front();
    }
  }

 private:
  struct Pending {
    uint32_t first;
    std::string second;
  };
  FakeClock& clock_;
  std::map<std::string, std::vector<std::string>> answers;
  std::deque<Pending> pending;
};

class RecordingHost : public MonitorHost {
 public:
  void AppendLog(const std::string& line) override { log.push_back(line); }
  std::string LookupName(const std::string& number) override {
    lookups.push_back(number);
    auto it = phone_book.find(number);
    return it == phone_book.end() ? "" : it->second;
  }
  Status AddCall(const std::string& number, const std::string& name) override {
    if (fail_add_call) return Status::Error("Acesso negado.");
    calls.push_back(number + ";" + name);
    return Status::Ok();
  }
  void ShowBalloon(const std::string& title, const std::string& text) override {
    EXPECT_EQ(title, "Chamada telefónica");
    balloons.push_back(text);
  }
  void SetIconIndex(int index) override { icon_index = index; }
  void SetHint(const std::string& text) override { hint = text; }
  void ShowError(const std::string& text) override {
    errors.push_back(text);
    if (on_error) on_error();
  }

  std::vector<std::string> log, lookups, calls, balloons, errors;
  std::map<std::string, std::string> phone_book;
  bool fail_add_call = false;
  int icon_index = -1;
  std::string hint = "unset";
  std::function<void()> on_error;
};

class CountingSound : public Sound {
 public:
  void PlayRing() override { ++rings; }
  int rings = 0;
};

class MonitorTest : public ::testing::Test {
 protected:
  void Tick(const std::string& text = "") {
    monitor.AppendToReceiveBuffer(text);
    monitor.Timer1Timer();
  }
  static std::string Ring() { return "\r\nRING\r\n"; }
  static std::string Number(const std::string& line) { return "\r\n" + line + "\r\n"; }
  // A modem that answers everything the initialisation sends, with echo.
  void ModemAnswersAll() {
    link.Answer("AT", {"AT\r\r\nOK\r\n"});
    link.Answer("ATZ", {"ATZ\r\r\nOK\r\n"});
    link.Answer("AT#CID=1", {"AT#CID=1\r\r\nOK\r\n"});
  }

  FakeClock clock;
  FakeLink link{clock};
  RecordingHost host;
  CountingSound sound;
  Settings settings{"COM5", false};
  Monitor monitor{link, clock, sound, host, settings};
};

// --- The parser ---

TEST_F(MonitorTest, SimulatedCallLogsFourLinesRingsAndAnnouncesTwice) {
  Tick(simulated::kCall219876543);
  EXPECT_EQ(host.log,
            (std::vector<std::string>{"RING", "DATE = 0501", "TIME = 2054", "NMBR = 219876543"}));
  EXPECT_EQ(sound.rings, 1);
  EXPECT_EQ(host.calls, (std::vector<std::string>{"219876543;"}));
  ASSERT_EQ(host.balloons.size(), 2u);
  EXPECT_EQ(host.balloons[0], "Está a receber uma chamada telefónica.");
  EXPECT_EQ(host.balloons[1],
            "Está a receber uma chamada telefónica originária do número: 219876543.");
}

TEST_F(MonitorTest, CorruptCallRingsButRecordsNothing) {
  Tick(simulated::kCorruptCall);
  EXPECT_EQ(host.log.size(), 4u);
  EXPECT_EQ(sound.rings, 1);
  EXPECT_TRUE(host.calls.empty());
  EXPECT_EQ(host.balloons.size(), 1u);
}

TEST_F(MonitorTest, KnownCallerIsNamed) {
  host.phone_book["219876543"] = "Ana";
  Tick(Number("NMBR = 219876543"));
  EXPECT_EQ(host.calls, (std::vector<std::string>{"219876543;Ana"}));
  EXPECT_EQ(
      host.balloons,
      (std::vector<std::string>{"Está a receber uma chamada telefónica de Ana (219876543)."}));
}

TEST_F(MonitorTest, WithheldNumbersBecomeConfidencial) {
  Tick(Number("NMBR = P") + Number("NMBR = PRIVATE") + Number("NMBR =  PRIVATE ") +
       Number("NMBR = private"));
  EXPECT_EQ(host.calls, (std::vector<std::string>{"Confidencial;", "Confidencial;", "Confidencial;",
                                                  "private;"}));
  EXPECT_EQ(host.lookups.front(), "Confidencial");
}

TEST_F(MonitorTest, NumberIsTakenFromTheEighthCharacter) {
  Tick(Number("NMBR=219876543") + Number("NMBR =     ") + Number("NMBR") + Number("NMBR = \t21 "));
  EXPECT_EQ(host.calls, (std::vector<std::string>{"9876543;", "21;"}));
  EXPECT_EQ(host.balloons.size(), 2u);
}

TEST_F(MonitorTest, OnlyAnExactRingLineRings) {
  Tick("ring\r\n RING\r\nRING \r\nRINGING\r\n");
  EXPECT_EQ(sound.rings, 0);
  EXPECT_EQ(host.log.size(), 4u);
  // An LF that does not follow a CR stays in the line.
  Tick("\nRING\r\n");
  EXPECT_EQ(host.log.back(), "\nRING");
  EXPECT_EQ(sound.rings, 0);
}

TEST_F(MonitorTest, RingsWithin8SecondsGiveOneFirstBalloon) {
  Tick(Ring());
  clock.Advance(7900);
  Tick(Ring());
  clock.Advance(8000);
  Tick();
  EXPECT_TRUE(monitor.CallInProgress());  // exactly 8000 ms is not yet over
  EXPECT_EQ(sound.rings, 2);
  EXPECT_EQ(host.balloons.size(), 1u);
  clock.Advance(1);
  Tick();
  EXPECT_FALSE(monitor.CallInProgress());
  Tick(Ring());
  EXPECT_EQ(host.balloons.size(), 2u);
}

TEST_F(MonitorTest, CallExpirySurvivesTheTickCountWrap) {
  clock.SetTick(0xFFFFFF00u);
  Tick(Ring());
  clock.Advance(500);  // wraps past zero
  Tick(Ring());
  EXPECT_TRUE(monitor.CallInProgress());
  EXPECT_EQ(host.balloons.size(), 1u);
  clock.Advance(8001);
  Tick();
  EXPECT_FALSE(monitor.CallInProgress());
}

TEST_F(MonitorTest, OneClusterPerTickAndNoneWhileCommandBusy) {
  link.queue = {"RING\r\n", "\r\nNMBR = 21\r\n"};
  Tick();
  EXPECT_EQ(host.log, (std::vector<std::string>{"RING"}));
  Tick();
  EXPECT_EQ(host.calls, (std::vector<std::string>{"21;"}));
  // A reply split over two clusters becomes two lines.
  link.queue = {"O", "K\r\n"};
  Tick();
  Tick();
  EXPECT_EQ(host.log.back(), "K");
  EXPECT_EQ(host.log[host.log.size() - 2], "O");
  // The parser's timer fires during every sleep of an exchange: the answer is left to it.
  link.active = true;
  link.Answer("AT", {"AT\r\r\nOK\r\n"});
  clock.OnAdvance([this](uint32_t now) {
    link.Deliver(now);
    monitor.Timer1Timer();
  });
  EXPECT_EQ(monitor.SendModemCommand("AT", 2000), "OK");
}

TEST_F(MonitorTest, RingAndNumberInOneClusterAreHandledInOneTick) {
  link.queue = {"RING\r\n\r\nNMBR = 21\r\n"};
  Tick();
  EXPECT_EQ(sound.rings, 1);
  EXPECT_EQ(host.calls.size(), 1u);
  EXPECT_EQ(host.balloons.size(), 2u);
}

TEST_F(MonitorTest, FailedRecordingAnnouncesAndKeepsTheRemainingLines) {
  host.fail_add_call = true;
  Tick(Number("NMBR = 21") + Number("NMBR = 22") + Ring());
  EXPECT_EQ(host.errors, (std::vector<std::string>{"Acesso negado."}));
  EXPECT_EQ(host.balloons.size(), 1u);  // the caller was announced all the same
  EXPECT_EQ(sound.rings, 0);
  host.fail_add_call = false;
  Tick();
  EXPECT_EQ(host.calls, (std::vector<std::string>{"22;"}));
  EXPECT_EQ(sound.rings, 1);
}

TEST_F(MonitorTest, TicksDuringTheErrorBoxParseTheKeptLinesOnce) {
  host.fail_add_call = true;
  host.on_error = [this] {
    host.fail_add_call = false;
    host.on_error = nullptr;
    monitor.Timer1Timer();  // the box's message loop runs the timer
  };
  Tick(Number("NMBR = 21") + Number("NMBR = 22"));
  Tick();
  EXPECT_EQ(host.calls, (std::vector<std::string>{"22;"}));
}

// --- The command exchange ---

TEST_F(MonitorTest, EchoAndBlankLinesAreNotInTheReply) {
  link.active = true;
  link.Answer("AT", {"AT\r\r\nOK\r\n"});
  EXPECT_EQ(monitor.SendModemCommand("AT", 2000), "OK");
  EXPECT_EQ(link.sent, (std::vector<std::string>{"AT\r"}));
  EXPECT_FALSE(monitor.CommandBusy());
  Tick();
  EXPECT_EQ(host.log, (std::vector<std::string>{"AT", "OK"}));
}

TEST_F(MonitorTest, MultiLineReplyIsJoinedWithCrLf) {
  link.active = true;
  link.Answer("AT#CID?", {"AT#CID?\r\r\n1\r\n\r\nOK\r\n"});
  EXPECT_EQ(monitor.SendModemCommand("AT#CID?", 2000), "1\r\nOK");
}

TEST_F(MonitorTest, RingQueuedBeforeTheCommandGoesToTheParser) {
  link.active = true;
  link.queue = {"\r\nRING\r\n"};
  link.Answer("AT", {"\r\nOK\r\n"});
  EXPECT_EQ(monitor.SendModemCommand("AT", 2000), "OK");
  Tick();
  EXPECT_EQ(sound.rings, 1);
}

TEST_F(MonitorTest, ReplySplitOverTwoClustersReturnsTheFirstPart) {
  link.active = true;
  link.Answer("AT", {"\r\nO", "K\r\n"});
  EXPECT_EQ(monitor.SendModemCommand("AT", 2000), "O");
  clock.Advance(1000);
  Tick();
  Tick();
  EXPECT_EQ(host.log, (std::vector<std::string>{"O", "K"}));
}

TEST_F(MonitorTest, NoAnswerWaitsTwentySleepsAndReturnsEmpty) {
  EXPECT_EQ(monitor.SendModemCommand("AT", 2000), "");
  EXPECT_EQ(clock.sleeps(), std::vector<uint32_t>(20, 100));
  EXPECT_FALSE(monitor.CommandBusy());
}

TEST_F(MonitorTest, AnswerFirstSeenAtTheLastPollIsLeftForTheParser) {
  link.active = true;
  link.answer_delay_ms = 2000;
  link.Answer("AT", {"\r\nOK\r\n"});
  EXPECT_EQ(monitor.SendModemCommand("AT", 2000), "");
  EXPECT_EQ(link.PeekClusterSize(), 6);
  link.answer_delay_ms = 1900;
  link.queue.clear();
  EXPECT_EQ(monitor.SendModemCommand("AT", 2000), "OK");
}

TEST_F(MonitorTest, ShortTimeoutNeverTakesAnAnswer) {
  link.active = true;
  link.answer_delay_ms = 0;
  link.Answer("AT", {"\r\nOK\r\n"});
  EXPECT_EQ(monitor.SendModemCommand("AT", 100), "");
  link.queue.clear();
  EXPECT_EQ(monitor.SendModemCommand("AT", 50), "");
  EXPECT_EQ(clock.sleeps(), (std::vector<uint32_t>{100, 100}));
}

TEST_F(MonitorTest, EmptyCommandSendsNothingAndWaitsForTheNextBlock) {
  link.queue.clear();
  clock.OnAdvance([this](uint32_t) {
    if (clock.sleeps().size() == 150) link.queue.push_back("\r\nOK\r\n");
  });
  EXPECT_EQ(monitor.SendModemCommand("", 30000), "OK");
  EXPECT_TRUE(link.sent.empty());
  EXPECT_EQ(clock.sleeps().size(), 150u);
}

// --- The supervision ---

TEST_F(MonitorTest, InitialisationSwitchesCallerIdOn) {
  ModemAnswersAll();
  monitor.Timer2Timer();
  EXPECT_EQ(link.ports, (std::vector<std::string>{"COM5"}));
  EXPECT_EQ(link.sent, (std::vector<std::string>{"AT\r", "ATZ\r", "AT#CID=1\r"}));
  EXPECT_TRUE(monitor.ModemReady());
  EXPECT_EQ(host.icon_index, 1);
  EXPECT_EQ(host.hint, "");
}

TEST_F(MonitorTest, PortThatCannotOpenNamesIt) {
  link.can_open = false;
  monitor.Timer2Timer();
  EXPECT_EQ(host.icon_index, 0);
  EXPECT_EQ(host.hint, "Erro ao abrir porta COM5.");
  EXPECT_TRUE(link.sent.empty());
  settings.modem_port = " ";
  monitor.Timer2Timer();
  EXPECT_EQ(host.hint, "Porta do modem não definida.");
  settings.modem_port = "";
  monitor.Timer2Timer();
  EXPECT_EQ(host.hint, "Porta do modem não definida.");
  EXPECT_FALSE(monitor.ModemReady());
}

TEST_F(MonitorTest, SilentModemIsACommunicationError) {
  monitor.Timer2Timer();
  EXPECT_EQ(host.hint, "Erro na comunicação com o modem.");
  EXPECT_EQ(link.sent, (std::vector<std::string>{"AT\r"}));
  EXPECT_FALSE(monitor.ModemReady());
}

TEST_F(MonitorTest, ResetRefusedIsACommunicationError) {
  link.Answer("AT", {"\r\nOK\r\n"});
  link.Answer("ATZ", {"\r\nERROR\r\n"});
  monitor.Timer2Timer();
  EXPECT_EQ(host.hint, "Erro na comunicação com o modem.");
  EXPECT_FALSE(monitor.ModemReady());
}

TEST_F(MonitorTest, ModemWithoutCallerIdStaysInitialised) {
  ModemAnswersAll();
  link.Answer("AT#CID=1", {"\r\nERROR\r\n"});
  link.Answer("AT#CID?", {"\r\nERROR\r\n"});
  monitor.Timer2Timer();
  EXPECT_EQ(host.hint, "Este modem não suporta a função Caller ID.");
  EXPECT_EQ(host.icon_index, 0);
  EXPECT_TRUE(monitor.ModemReady());
  link.sent.clear();
  monitor.Timer2Timer();
  EXPECT_EQ(link.sent, (std::vector<std::string>{"AT#CID?\r"}));
}

TEST_F(MonitorTest, RingInTheSameBlockAsOkFailsThisRunOnly) {
  ModemAnswersAll();
  link.Answer("AT", {"\r\nRING\r\n\r\nOK\r\n"});
  monitor.Timer2Timer();
  EXPECT_EQ(host.hint, "Erro na comunicação com o modem.");
  link.Answer("AT", {"\r\nOK\r\n"});
  monitor.Timer2Timer();
  EXPECT_TRUE(monitor.ModemReady());
  EXPECT_EQ(host.icon_index, 1);
}

TEST_F(MonitorTest, CheckReinitialisesOnlyWhenCallerIdIsOff) {
  ModemAnswersAll();
  monitor.Timer2Timer();
  for (const char* mode : {"1", "0", "2", ""}) {
    SCOPED_TRACE(mode);
    link.sent.clear();
    host.hint = "unchanged";
    const std::string answer = *mode ? std::string("\r\n") + mode + "\r\n\r\nOK\r\n" : "";
    link.Answer("AT#CID?",
                answer.empty() ? std::vector<std::string>{} : std::vector<std::string>{answer});
    monitor.Timer2Timer();
    if (std::string(mode) == "1") {
      EXPECT_EQ(link.sent, (std::vector<std::string>{"AT#CID?\r"}));
      EXPECT_EQ(host.hint, "unchanged");
    } else {
      EXPECT_EQ(link.sent, (std::vector<std::string>{"AT#CID?\r", "AT\r", "ATZ\r", "AT#CID=1\r"}));
      EXPECT_EQ(host.hint, "");
    }
    EXPECT_TRUE(monitor.ModemReady());
  }
}

TEST_F(MonitorTest, UnpluggedModemIsOpenedAgainWhenItComesBack) {
  ModemAnswersAll();
  link.Answer("AT#CID?", {"\r\n1\r\n\r\nOK\r\n"});
  monitor.Timer2Timer();
  ASSERT_EQ(link.opens, 1);
  // Unplugged: the handle is dead, the device cannot be opened yet.
  link.device_gone = true;
  link.can_open = false;
  monitor.Timer2Timer();
  EXPECT_EQ(link.closes, 1);
  EXPECT_EQ(host.hint, "Erro ao abrir porta COM5.");
  EXPECT_FALSE(monitor.ModemReady());
  // Plugged back: the next run opens it and initialises the modem.
  link.can_open = true;
  link.sent.clear();
  monitor.Timer2Timer();
  EXPECT_EQ(link.opens, 2);
  EXPECT_EQ(link.sent, (std::vector<std::string>{"AT\r", "ATZ\r", "AT#CID=1\r"}));
  EXPECT_EQ(host.icon_index, 1);
}

TEST_F(MonitorTest, SwitchedOffModemIsRetriedOnTheOpenPort) {
  ModemAnswersAll();
  monitor.Timer2Timer();
  link.Answer("AT", {});
  link.Answer("AT#CID?", {});
  monitor.Timer2Timer();
  monitor.Timer2Timer();
  EXPECT_EQ(host.hint, "Erro na comunicação com o modem.");
  EXPECT_EQ(link.opens, 1);
  EXPECT_EQ(link.closes, 0);
}

}  // namespace
}  // namespace sonavi

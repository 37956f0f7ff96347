#include "phonebook/dialer.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "fakes/fake_message_boxes.h"

namespace sonavi {
namespace {

// Records every exchange, every panel change and every message box in one sequence.
class DialerTest : public ::testing::Test {
 protected:
  DialerTest() {
    boxes.on_show = [this](const std::string& text) { events.push_back("box " + text); };
  }

  Dialer MakeDialer() {
    Dialer::Hooks hooks;
    hooks.send_command = [this](const std::string& command, int timeout_ms) {
      events.push_back("send " + command + " " + std::to_string(timeout_ms));
      if (replies.empty()) return std::string();
      std::string reply = replies.front();
      replies.pop_front();
      return reply;
    };
    hooks.modem_ready = [this] { return modem_ready; };
    hooks.speaker_off = [this] { return speaker_off; };
    hooks.show_panel = [this] { events.push_back("panel shown"); };
    hooks.hide_panel = [this] { events.push_back("panel hidden"); };
    return Dialer(hooks, boxes);
  }

  std::vector<std::string> Dial(const std::string& telephone) {
    MakeDialer().Dial(telephone);
    return events;
  }

  FakeMessageBoxes boxes;
  bool modem_ready = true;
  bool speaker_off = false;
  std::deque<std::string> replies;
  std::vector<std::string> events;
};

using Events = std::vector<std::string>;

TEST_F(DialerTest, EmptyTelephoneDoesNothing) {
  EXPECT_EQ(Dial(""), Events{});
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(DialerTest, ModemNotReadyShowsErrorAndSendsNothing) {
  modem_ready = false;
  EXPECT_EQ(Dial("219876543"), Events{"box Não é possível comunicar com o modem."});
  EXPECT_EQ(boxes.shown[0].flags, kMbOk | kMbIconError);
}

TEST_F(DialerTest, DialOkAsksToLiftTheHandsetThenHangsUp) {
  replies = {"OK", "OK"};
  EXPECT_EQ(Dial("219876543"),
            (Events{"panel shown", "send AT 2000", "send ATDT219876543; 2000", "panel hidden",
                    "box Número marcado, levante o auscultador do telefone e em seguida clique OK.",
                    "send ATH0 2000"}));
  EXPECT_EQ(boxes.shown[0].flags, kMbOk | kMbIconInformation);
}

TEST_F(DialerTest, SpeakerOffSendsAtm0BeforeDialling) {
  speaker_off = true;
  replies = {"OK", "OK", "BUSY"};
  EXPECT_EQ(Dial("21 98-76"), (Events{"panel shown", "send AT 2000", "send ATM0 2000",
                                      "send ATDT21 98-76; 2000", "panel hidden"}));
}

TEST_F(DialerTest, NoDialToneHangsUpBeforeTheMessage) {
  replies = {"OK", "NO DIALTONE"};
  EXPECT_EQ(Dial("219876543"), (Events{"panel shown", "send AT 2000", "send ATDT219876543; 2000",
                                       "panel hidden", "send ATH0 2000", "box Linha sem sinal."}));
  EXPECT_EQ(boxes.shown[0].flags, kMbOk | kMbIconError);
}

TEST_F(DialerTest, EmptyFirstReplyWaitsOnceMoreWithoutSending) {
  replies = {"OK", "", "OK"};
  EXPECT_EQ(Dial("21"), (Events{"panel shown", "send AT 2000", "send ATDT21; 2000", "send  30000",
                                "panel hidden",
                                "box Número marcado, levante o auscultador do telefone e em "
                                "seguida clique OK.",
                                "send ATH0 2000"}));
}

TEST_F(DialerTest, NothingAfterTheSecondWaitEndsSilently) {
  replies = {"OK"};
  EXPECT_EQ(Dial("21"), (Events{"panel shown", "send AT 2000", "send ATDT21; 2000", "send  30000",
                                "panel hidden"}));
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(DialerTest, OtherRepliesEndSilently) {
  for (const std::string reply : {"BUSY", "ERROR", "ok", "RING\r\nOK", "OK\r\nNO CARRIER"}) {
    events.clear();
    replies = {"OK", reply};
    EXPECT_EQ(Dial("21"),
              (Events{"panel shown", "send AT 2000", "send ATDT21; 2000", "panel hidden"}))
        << reply;
  }
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(DialerTest, AtOrAtm0NotAnsweredOkIsACommunicationError) {
  replies = {"ERROR"};
  EXPECT_EQ(Dial("21"), (Events{"panel shown", "send AT 2000",
                                "box Erro na comunicação com o modem.", "panel hidden"}));
  events.clear();
  speaker_off = true;
  replies = {"OK", ""};
  EXPECT_EQ(Dial("21"), (Events{"panel shown", "send AT 2000", "send ATM0 2000",
                                "box Erro na comunicação com o modem.", "panel hidden"}));
  EXPECT_EQ(boxes.shown[1].flags, kMbOk | kMbIconError);
}

}  // namespace
}  // namespace sonavi

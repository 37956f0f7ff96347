#include "fakemodem/modem_logic.h"

#include <gtest/gtest.h>

#include "fakemodem/modem_server.h"

namespace sonavi::fakemodem {
namespace {

// Everything the modem sends back for `input`, in order, ignoring timing.
std::string Answer(ModemLogic& modem, std::string_view input) {
  std::string all;
  for (const Chunk& chunk : modem.Receive(input).chunks) all += chunk.bytes;
  return all;
}

ModemOptions NoEcho() {
  ModemOptions options;
  options.echo = false;
  return options;
}

TEST(FakeModemReplies, EchoOnSendsTheCommandThenTheFramedResult) {
  ModemLogic modem{ModemOptions{}};
  const ModemOutput out = modem.Receive("AT\r");
  EXPECT_EQ(out.commands, std::vector<std::string>{"AT"});
  ASSERT_EQ(out.chunks.size(), 2u);
  EXPECT_EQ(out.chunks[0], (Chunk{0, "AT\r"}));
  EXPECT_EQ(out.chunks[1], (Chunk{0, "\r\nOK\r\n"}));
}

TEST(FakeModemReplies, EchoOffSendsOnlyTheResult) {
  ModemLogic modem{NoEcho()};
  EXPECT_EQ(Answer(modem, "AT\r"), "\r\nOK\r\n");
  EXPECT_EQ(Answer(modem, "ATZ\r"), "\r\nOK\r\n");
  EXPECT_EQ(Answer(modem, "ATM0\r"), "\r\nOK\r\n");
  EXPECT_EQ(Answer(modem, "ATH0\r"), "\r\nOK\r\n");
  EXPECT_EQ(Answer(modem, "ATX9\r"), "\r\nERROR\r\n");
  EXPECT_EQ(Answer(modem, "hello\r"), "\r\nERROR\r\n");
}

TEST(FakeModemReplies, LinesEndAtCrWhateverTheInputPieces) {
  ModemLogic modem{NoEcho()};
  EXPECT_EQ(Answer(modem, "A"), "");
  EXPECT_EQ(Answer(modem, "T"), "");
  EXPECT_EQ(Answer(modem, "Z\r\n"), "\r\nOK\r\n");  // the LF after CR starts no line
  EXPECT_EQ(modem.Receive("AT\rAT#CID=1\r").commands, (std::vector<std::string>{"AT", "AT#CID=1"}));
  EXPECT_EQ(Answer(modem, "\r\r"), "");                  // bare CRs are no commands
  EXPECT_EQ(Answer(modem, "ATXY\b\b\r"), "\r\nOK\r\n");  // backspace edits the line
}

TEST(FakeModemReplies, CommandsIgnoreCaseAndBlanksButAreLoggedAsSent) {
  ModemLogic modem{NoEcho()};
  const ModemOutput out = modem.Receive("at #cid = 1\r");
  EXPECT_EQ(out.commands, std::vector<std::string>{"at #cid = 1"});
  EXPECT_EQ(modem.cid_mode(), 1);
}

TEST(FakeModemReplies, OverlongLineIsAnError) {
  ModemLogic modem{NoEcho()};
  EXPECT_EQ(Answer(modem, "AT" + std::string(ModemLogic::kMaxLine + 10, 'Z') + "\r"),
            "\r\nERROR\r\n");
  EXPECT_EQ(Answer(modem, "AT\r"), "\r\nOK\r\n");
}

TEST(FakeModemCallerId, ModeIsReportedSetAndResetByAtz) {
  ModemLogic modem{ModemOptions{}};
  EXPECT_EQ(Answer(modem, "AT#CID?\r"), "AT#CID?\r\r\n0\r\n\r\nOK\r\n");
  EXPECT_EQ(Answer(modem, "AT#CID=1\r"), "AT#CID=1\r\r\nOK\r\n");
  EXPECT_EQ(Answer(modem, "AT#CID?\r"), "AT#CID?\r\r\n1\r\n\r\nOK\r\n");
  EXPECT_EQ(Answer(modem, "ATZ\r"), "ATZ\r\r\nOK\r\n");
  EXPECT_EQ(modem.cid_mode(), 0);
  EXPECT_EQ(Answer(modem, "AT#CID=2\r"), "AT#CID=2\r\r\nOK\r\n");
  EXPECT_EQ(modem.cid_mode(), 2);
  EXPECT_EQ(Answer(modem, "AT#CID=3\r"), "AT#CID=3\r\r\nERROR\r\n");
  EXPECT_EQ(modem.cid_mode(), 2);
}

TEST(FakeModemCallerId, ModemWithoutCallerIdRejectsEveryCidCommand) {
  ModemOptions options = NoEcho();
  options.cid_error = true;
  ModemLogic modem{options};
  EXPECT_EQ(Answer(modem, "AT\r"), "\r\nOK\r\n");
  EXPECT_EQ(Answer(modem, "AT#CID=1\r"), "\r\nERROR\r\n");
  EXPECT_EQ(Answer(modem, "AT#CID?\r"), "\r\nERROR\r\n");
  EXPECT_EQ(modem.cid_mode(), 0);
}

TEST(FakeModemEcho, Ate0TakesEffectAfterItsOwnEchoAndAtzRestoresIt) {
  ModemLogic modem{ModemOptions{}};
  EXPECT_EQ(Answer(modem, "ATE0\r"), "ATE0\r\r\nOK\r\n");
  EXPECT_EQ(Answer(modem, "AT\r"), "\r\nOK\r\n");
  EXPECT_EQ(Answer(modem, "ATZ\r"), "\r\nOK\r\n");
  EXPECT_EQ(Answer(modem, "AT\r"), "AT\r\r\nOK\r\n");
}

TEST(FakeModemDial, VoiceDialAnswersAfterTheDialDelay) {
  ModemOptions options;
  options.reply_delay_ms = 30;
  options.dial_delay_ms = 1200;
  ModemLogic modem{options};
  const ModemOutput out = modem.Receive("ATDT219876543;\r");
  EXPECT_EQ(out.commands, std::vector<std::string>{"ATDT219876543;"});
  ASSERT_EQ(out.chunks.size(), 2u);
  EXPECT_EQ(out.chunks[0], (Chunk{0, "ATDT219876543;\r"}));
  EXPECT_EQ(out.chunks[1], (Chunk{1230, "\r\nOK\r\n"}));
}

TEST(FakeModemDial, OutcomesFollowTheOptions) {
  ModemOptions options = NoEcho();
  options.dial = DialOutcome::kNoDialtone;
  ModemLogic no_tone{options};
  EXPECT_EQ(Answer(no_tone, "ATDT21 987 6543;\r"), "\r\nNO DIALTONE\r\n");
  options.dial = DialOutcome::kBusy;
  ModemLogic busy{options};
  EXPECT_EQ(Answer(busy, "ATDT219876543;\r"), "\r\nBUSY\r\n");
  // Without ";" it is a data call: no carrier ever answers.
  EXPECT_EQ(Answer(busy, "ATDT219876543\r"), "\r\nNO CARRIER\r\n");
}

TEST(FakeModemSilence, NoAnswerSendsNothingButStillSeesTheCommands) {
  ModemOptions options;
  options.no_answer = true;
  ModemLogic modem{options};
  const ModemOutput out = modem.Receive("AT\rATZ\r");
  EXPECT_TRUE(out.chunks.empty());
  EXPECT_EQ(out.commands, (std::vector<std::string>{"AT", "ATZ"}));
}

TEST(FakeModemSilence, SilentAfterAnswersExactlyThatManyCommands) {
  ModemOptions options;
  options.silent_after = 2;
  ModemLogic modem{options};
  EXPECT_EQ(Answer(modem, "AT\r"), "AT\r\r\nOK\r\n");
  EXPECT_EQ(Answer(modem, "ATZ\r"), "ATZ\r\r\nOK\r\n");
  EXPECT_EQ(Answer(modem, "AT#CID=1\r"), "");
  EXPECT_EQ(modem.cid_mode(), 0);  // a dead modem does not act either
}

TEST(FakeModemSilence, SilentCanBeSwitchedOnAndOff) {
  ModemLogic modem{NoEcho()};
  modem.SetSilent(true);
  EXPECT_EQ(Answer(modem, "AT\r"), "");
  modem.SetSilent(false);
  EXPECT_EQ(Answer(modem, "AT\r"), "\r\nOK\r\n");
}

TEST(FakeModemSplit, EveryReplyLeavesInTwoPartsAGapApart) {
  ModemOptions options = NoEcho();
  options.split = true;
  options.split_gap_ms = 400;
  options.reply_delay_ms = 10;
  ModemLogic modem{options};
  EXPECT_EQ(modem.Receive("AT\r").chunks, (std::vector<Chunk>{{10, "\r\nO"}, {400, "K\r\n"}}));
  EXPECT_EQ(modem.Receive("AT#CID?\r").chunks,
            (std::vector<Chunk>{{10, "\r\n0\r\n"}, {400, "\r\nOK\r\n"}}));
}

TEST(FakeModemCall, CallerIdBlockHasTheModemsForm) {
  EXPECT_EQ(RingText(), "\r\nRING\r\n");
  EXPECT_EQ(CallerIdText({5, 1, 20, 54}, "219876543"),
            "\r\nDATE = 0501\r\n\r\nTIME = 2054\r\n\r\nNMBR = 219876543\r\n");
  EXPECT_EQ(CallerIdText({12, 31, 0, 5}, "P"),
            "\r\nDATE = 1231\r\n\r\nTIME = 0005\r\n\r\nNMBR = P\r\n");
}

TEST(FakeModemCall, RingsEveryIntervalWithTheNumberAfterTheFirst) {
  const CallTime time{5, 1, 20, 54};
  const std::vector<TimedText> plan = PlanCall("219876543", 3, 5000, time);
  const std::vector<TimedText> expected{{0, RingText()},
                                        {2500, CallerIdText(time, "219876543")},
                                        {5000, RingText()},
                                        {10000, RingText()}};
  EXPECT_EQ(plan, expected);
  EXPECT_EQ(PlanCall("P", 1, 5000, time).size(), 2u);
}

TEST(FakeModemControl, ParsesEveryCommand) {
  std::string error;
  auto parse = [&](std::string_view line) { return ParseControl(line, &error); };
  EXPECT_EQ(parse("ring")->kind, ControlCommand::Kind::kRing);
  EXPECT_EQ(parse("close\n")->kind, ControlCommand::Kind::kClose);
  EXPECT_EQ(parse("reopen")->kind, ControlCommand::Kind::kReopen);
  EXPECT_EQ(parse("quit")->kind, ControlCommand::Kind::kQuit);
  EXPECT_TRUE(parse("silent on")->on);
  EXPECT_FALSE(parse("silent off")->on);

  const std::optional<ControlCommand> call = parse("call 219876543 5");
  ASSERT_TRUE(call);
  EXPECT_EQ(call->kind, ControlCommand::Kind::kCall);
  EXPECT_EQ(call->text, "219876543");
  EXPECT_EQ(call->rings, 5);
  EXPECT_EQ(parse("call PRIVATE")->rings, 3);

  const std::optional<ControlCommand> send = parse("send  RING\\r\\n\\x41\\\\");
  ASSERT_TRUE(send);
  EXPECT_EQ(send->text, " RING\r\nA\\");  // the text starts after one blank
}

TEST(FakeModemControl, BlankCommentAndBadLines) {
  std::string error;
  EXPECT_FALSE(ParseControl("   ", &error));
  EXPECT_EQ(error, "");
  EXPECT_FALSE(ParseControl("# a note", &error));
  EXPECT_EQ(error, "");
  for (const char* bad : {"dance", "ring twice", "call", "call 21 0", "call 21 x", "silent",
                          "silent maybe", "send", "send \\q", "send \\x4", "send a\\"}) {
    EXPECT_FALSE(ParseControl(bad, &error)) << bad;
    EXPECT_NE(error, "") << bad;
  }
}

TEST(FakeModemControl, ScriptIsATimeline) {
  std::string error;
  const auto script =
      ParseScript("# opening\n0 ring\n\n250 send NMBR = 21\\r\\n\n900 quit", &error);
  ASSERT_TRUE(script) << error;
  ASSERT_EQ(script->size(), 3u);
  EXPECT_EQ((*script)[1].at_ms, 250);
  EXPECT_EQ((*script)[1].command.text, "NMBR = 21\r\n");
  EXPECT_EQ((*script)[2].command.kind, ControlCommand::Kind::kQuit);

  EXPECT_FALSE(ParseScript("0 ring\nsoon ring\n", &error));
  EXPECT_NE(error.find("line 2"), std::string::npos);
  EXPECT_FALSE(ParseScript("10\n", &error));
  EXPECT_FALSE(ParseScript("10 bogus\n", &error));
}

TEST(FakeModemControl, LogShowsControlBytesAsHex) {
  EXPECT_EQ(Printable("AT#CID=1"), "AT#CID=1");
  EXPECT_EQ(Printable(std::string("A\x01\xE9\\", 4)), "A\\x01\\xE9\\x5C");
}

TEST(FakeModemCommandLine, ReadsEveryOption) {
  ServerOptions options;
  bool help = true;
  std::string error;
  ASSERT_TRUE(ParseCommandLine({"fakemodem",      "--link",          "/tmp/m",
                                "--log=/tmp/l",   "--no-echo",       "--cid-error",
                                "--busy",         "--silent-after",  "3",
                                "--split",        "--reply-delay",   "50",
                                "--dial-delay=0", "--ring-interval", "700",
                                "--control",      "/tmp/c",          "--script",
                                "/tmp/s",         "--log-sent",      "/tmp/o"},
                               &options, &help, &error))
      << error;
  EXPECT_FALSE(help);
  EXPECT_EQ(options.link, "/tmp/m");
  EXPECT_EQ(options.log, "/tmp/l");
  EXPECT_EQ(options.control, "/tmp/c");
  EXPECT_EQ(options.script, "/tmp/s");
  EXPECT_EQ(options.log_sent, "/tmp/o");
  EXPECT_FALSE(options.modem.echo);
  EXPECT_TRUE(options.modem.cid_error);
  EXPECT_EQ(options.modem.dial, DialOutcome::kBusy);
  EXPECT_EQ(options.modem.silent_after, 3);
  EXPECT_TRUE(options.modem.split);
  EXPECT_EQ(options.modem.reply_delay_ms, 50);
  EXPECT_EQ(options.modem.dial_delay_ms, 0);
  EXPECT_EQ(options.ring_interval_ms, 700);
}

TEST(FakeModemCommandLine, RejectsBadOptions) {
  std::string error;
  bool help = false;
  for (std::vector<std::string> args : {std::vector<std::string>{"fakemodem", "--frobnicate"},
                                        {"fakemodem", "--log"},
                                        {"fakemodem", "--reply-delay", "-5"},
                                        {"fakemodem", "--silent-after", "x"},
                                        {"fakemodem", "--ring-interval", "0"},
                                        {"fakemodem", "--split=yes"}}) {
    ServerOptions options;
    EXPECT_FALSE(ParseCommandLine(args, &options, &help, &error)) << args[1];
  }
}

}  // namespace
}  // namespace sonavi::fakemodem

#include "tray/tray_icon.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fakes/fake_timers.h"
#include "tray/tray_fakes.h"

namespace sonavi {
namespace {

using testing::FakeClock;
using testing::FakeTimers;
using testing::FakeTrayShell;
using testing::QueuedDispatcher;

constexpr WindowHandle kOwner = FakeTrayShell::kMainWindow;
constexpr WindowHandle kApp = FakeTrayShell::kApplicationWindow;
constexpr MenuHandle kMenu = 0x777;

std::string Tip(const TrayNotifyData& data) { return std::string(data.szTip); }

template <typename... T>
std::vector<std::string> Seq(T... entries) {
  return {std::string(entries)...};
}

class TrayIconTest : public ::testing::Test {
 protected:
  TrayIconTest() {
    shell.on_process_messages = [this] { dispatcher.ServeWaiting(); };
  }

  // A component as the main window has it once its layout is loaded, with the worker's
  // first request already sent and the shell's log cleared.
  TTrayIcon& Make(WindowHandle owner = kOwner) {
    tray = std::make_unique<TTrayIcon>(TrayIconContext{shell, timers, dispatcher, clock, owner});
    tray->OnClick = [this](TTrayIcon&) { events.push_back("click"); };
    tray->OnDblClick = [this](TTrayIcon&) { events.push_back("dblclick"); };
    tray->OnMouseDown = [this](TTrayIcon&, TMouseButton b, TShiftState, int, int) {
      events.push_back(std::string("down ") + Name(b));
    };
    tray->OnMouseUp = [this](TTrayIcon&, TMouseButton b, TShiftState, int, int) {
      events.push_back(std::string("up ") + Name(b));
    };
    tray->Loaded();
    dispatcher.ServeCycle();
    shell.Clear();
    return *tray;
  }

  // Lets the worker run one cycle and returns the modify requests it sent.
  std::vector<FakeTrayShell::Request> Cycle() {
    shell.Clear();
    dispatcher.ServeCycle();
    return shell.Modifies();
  }

  static const char* Name(TMouseButton b) {
    return b == TMouseButton::mbLeft ? "L" : b == TMouseButton::mbRight ? "R" : "M";
  }

  FakeTrayShell shell;
  FakeTimers timers;
  QueuedDispatcher dispatcher;
  FakeClock clock;
  std::vector<std::string> events;
  std::unique_ptr<TTrayIcon> tray;
};

// --- Construction, loading, destruction

TEST_F(TrayIconTest, ConstructionPreparesTheRecordAndLoadingAddsTheIcon) {
  tray = std::make_unique<TTrayIcon>(TrayIconContext{shell, timers, dispatcher, clock, kOwner});
  EXPECT_TRUE(shell.Requests(kNimAdd).empty()) << "no icon before the layout is loaded";
  EXPECT_EQ(tray->TaskbarCreatedMessage(), FakeTrayShell::kTaskbarCreated);
  EXPECT_TRUE(shell.Hooked(kApp));
  EXPECT_TRUE(shell.Hooked(kOwner));

  tray->Loaded();
  auto adds = shell.Requests(kNimAdd);
  ASSERT_EQ(adds.size(), 1u);
  const TrayNotifyData& d = adds[0].data;
  EXPECT_EQ(d.cbSize, kTrayNotifyDataSize);
  EXPECT_EQ(d.hWnd, FakeTrayShell::kMessageWindow);
  EXPECT_EQ(d.uID, 1u);
  EXPECT_EQ(d.uFlags, 7u);
  EXPECT_EQ(d.uCallbackMessage, 2048u);
  EXPECT_EQ(d.dwState, 0u);
  EXPECT_EQ(d.dwStateMask, 0u);
  // The loaded notification also files a modify request, which the worker sends.
  EXPECT_EQ(Cycle().size(), 1u);
}

TEST_F(TrayIconTest, WithoutAnOwnerWindowOnlyTheApplicationWindowIsHooked) {
  Make(0);
  EXPECT_TRUE(shell.Hooked(kApp));
  EXPECT_FALSE(shell.Hooked(kOwner));
}

TEST_F(TrayIconTest, DestructionDeletesTheIconReleasesEverythingAndStopsTheWorker) {
  Make();
  tray->SetIconList(std::vector<IconHandle>{11, 12});
  tray->SetHint("pending when destroyed");
  shell.Clear();
  const int asked = dispatcher.asked();
  tray.reset();  // the worker is waiting for a hand-over at this moment
  auto log = shell.TakeLog();
  ASSERT_GE(log.size(), 5u);
  EXPECT_EQ(log[0], "delete");
  EXPECT_EQ(log[1], "delete");
  EXPECT_EQ(log[2], "destroy window " + std::to_string(FakeTrayShell::kMessageWindow));
  EXPECT_EQ(log[3], "unhook " + std::to_string(kApp));
  EXPECT_EQ(log[4], "unhook " + std::to_string(kOwner));
  EXPECT_EQ(timers.live_timers(), 0u);
  EXPECT_EQ(shell.LiveCopies(), 0u) << "every picture copy is destroyed";
  const int after = dispatcher.asked();
  EXPECT_LE(after - asked, 1) << "the worker ends within one cycle";
  dispatcher.ServeWaiting();
  EXPECT_EQ(dispatcher.asked(), after) << "no hand-over after the worker ended";
}

TEST_F(TrayIconTest, WorkerEndsWhenTheMainThreadRefusesHandOvers) {
  Make();
  dispatcher.Shutdown();
  tray.reset();  // must not hang: the refused hand-over ends the worker's cycle
  SUCCEED();
}

TEST_F(TrayIconTest, StartMinimizedHidesTheApplicationBeforeTheIconIsAdded) {
  tray = std::make_unique<TTrayIcon>(TrayIconContext{shell, timers, dispatcher, clock, kOwner});
  tray->SetStartMinimized(true);
  shell.Clear();
  tray->Loaded();
  EXPECT_EQ(shell.TakeLog(),
            Seq("show main on start false", "show " + std::to_string(kApp) + " 0", "add"));
}

TEST_F(TrayIconTest, IconVisibleFalseInTheLayoutKeepsTheIconAway) {
  tray = std::make_unique<TTrayIcon>(TrayIconContext{shell, timers, dispatcher, clock, kOwner});
  tray->SetIconVisible(false);
  tray->Loaded();
  EXPECT_TRUE(shell.Requests(kNimAdd).empty());
  EXPECT_FALSE(tray->IconVisible());
  tray->SetIconVisible(true);
  tray->SetIconVisible(true);
  EXPECT_EQ(shell.Requests(kNimAdd).size(), 2u) << "every write of true adds again";
}

// --- Picture and tip

TEST_F(TrayIconTest, TwoHintChangesInOneHandlerSendOneRequestWithTheSecondText) {
  Make();
  tray->SetHint("Porta do modem não definida.");
  tray->SetHint("Modem pronto");
  auto sent = Cycle();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(Tip(sent[0].data), "Modem pronto");
  EXPECT_TRUE(Cycle().empty()) << "nothing is sent twice";
}

TEST_F(TrayIconTest, EqualHintSendsNothingButEqualIconIndexSendsOne) {
  Make();
  tray->SetIconList(std::vector<IconHandle>{11, 12});
  tray->SetHint("x");
  Cycle();
  tray->SetHint("x");
  EXPECT_TRUE(Cycle().empty());
  tray->SetIconIndex(tray->IconIndex());
  EXPECT_EQ(Cycle().size(), 1u);
}

TEST_F(TrayIconTest, LongHintIsCutTo127CharactersAndShowHintFalseSendsAnEmptyTip) {
  Make();
  const std::string hint(200, 'h');
  tray->SetHint(hint);
  auto sent = Cycle();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(Tip(sent[0].data), std::string(127, 'h'));
  EXPECT_EQ(sent[0].data.szTip[127], '\0');

  tray->SetShowHint(false);
  sent = Cycle();
  ASSERT_EQ(sent.size(), 1u);
  const char zeros[128] = {};
  EXPECT_EQ(std::memcmp(sent[0].data.szTip, zeros, sizeof zeros), 0);
  EXPECT_EQ(tray->Hint(), hint);
}

TEST_F(TrayIconTest, IconIndexIsCutToTheLastPictureOfTheList) {
  Make();
  tray->SetIconList(std::vector<IconHandle>{11, 12});
  tray->SetIconIndex(5);
  EXPECT_EQ(tray->IconIndex(), 1);
  auto sent = Cycle();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(shell.OriginalOf(sent[0].data.hIcon), 12u);
  EXPECT_TRUE(sent[0].picture_alive);
}

TEST_F(TrayIconTest, IconIndexWithoutAListOrWithAnEmptyListChoosesNoPicture) {
  Make();
  tray->SetIconIndex(3);
  EXPECT_EQ(tray->IconIndex(), 0);
  tray->SetIconList(std::vector<IconHandle>{});
  EXPECT_EQ(tray->IconIndex(), -1);
  EXPECT_EQ(tray->Icon(), 0u);
  EXPECT_EQ(Cycle().size(), 1u);
}

TEST_F(TrayIconTest, ReplacedPicturesAreReleasedAndSentPicturesAreStillAlive) {
  Make();
  tray->SetIcon(21);
  tray->SetIcon(22);
  EXPECT_EQ(shell.LiveCopies(), 1u) << "the first copy went with the request it was in";
  auto sent = Cycle();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(shell.OriginalOf(sent[0].data.hIcon), 22u);
  EXPECT_TRUE(sent[0].picture_alive);
}

TEST_F(TrayIconTest, DroppingTheListFallsBackToIndexZero) {
  Make();
  tray->SetIconList(std::vector<IconHandle>{11, 12});
  tray->SetIconIndex(1);
  tray->SetIconList(std::nullopt);
  EXPECT_EQ(tray->IconIndex(), 0);
  EXPECT_EQ(Cycle().size(), 1u);
}

// --- Mouse

TEST_F(TrayIconTest, QuickClickGivesClickOneDoubleClickTimeAfterThePress) {
  Make();
  shell.Tray(kWmLButtonDown);
  timers.Advance(100);
  shell.Tray(kWmLButtonUp);
  timers.Advance(399);
  EXPECT_EQ(events, Seq("down L", "up L"));
  timers.Advance(1);
  EXPECT_EQ(events, Seq("down L", "up L", "click"));
  timers.Advance(5000);
  EXPECT_EQ(events.size(), 3u);
}

TEST_F(TrayIconTest, DoubleClickGivesDblClickAndNoClick) {
  Make();
  shell.Tray(kWmLButtonDown);
  timers.Advance(80);
  shell.Tray(kWmLButtonUp);
  timers.Advance(80);
  shell.Tray(kWmLButtonDblClk);
  EXPECT_EQ(events, Seq("down L", "up L", "dblclick"));
  timers.Advance(80);
  shell.Tray(kWmLButtonUp);
  timers.Advance(5000);
  EXPECT_EQ(events, Seq("down L", "up L", "dblclick", "up L"));
}

TEST_F(TrayIconTest, HeldPressGivesClickAtReleaseBeforeMouseUp) {
  Make();
  shell.Tray(kWmLButtonDown);
  timers.Advance(800);
  EXPECT_EQ(events, Seq("down L"));
  shell.Tray(kWmLButtonUp);
  EXPECT_EQ(events, Seq("down L", "click", "up L"));
  timers.Advance(5000);
  EXPECT_EQ(events.size(), 3u);
}

TEST_F(TrayIconTest, ThirdQuickPressAfterADoubleClickGivesNoClick) {
  Make();
  shell.Tray(kWmLButtonDown);
  timers.Advance(60);
  shell.Tray(kWmLButtonUp);
  timers.Advance(60);
  shell.Tray(kWmLButtonDblClk);
  timers.Advance(60);
  shell.Tray(kWmLButtonUp);
  timers.Advance(60);
  shell.Tray(kWmLButtonDown);  // still within the double-click time of the first press
  timers.Advance(60);
  shell.Tray(kWmLButtonUp);
  timers.Advance(5000);
  EXPECT_EQ(std::count(events.begin(), events.end(), "click"), 0);
  EXPECT_EQ(std::count(events.begin(), events.end(), "dblclick"), 1);
}

// A second press that the shell does not report as a double click (the pointer moved)
// leaves the running click delay alone: the click still comes one double-click time after
// the first press.
TEST_F(TrayIconTest, SecondPressKeepsTheRunningClickDelay) {
  Make();
  shell.Tray(kWmLButtonDown);
  timers.Advance(60);
  shell.Tray(kWmLButtonUp);
  timers.Advance(340);
  shell.Tray(kWmLButtonDown);
  timers.Advance(60);
  shell.Tray(kWmLButtonUp);
  timers.Advance(39);
  EXPECT_EQ(events, Seq("down L", "up L", "down L", "up L"));
  timers.Advance(1);
  EXPECT_EQ(events, Seq("down L", "up L", "down L", "up L", "click"));
  timers.Advance(5000);
  EXPECT_EQ(events.size(), 5u);
}

TEST_F(TrayIconTest, TwoSeparateClicksGiveTwoClicks) {
  Make();
  for (int i = 0; i < 2; ++i) {
    shell.Tray(kWmLButtonDown);
    timers.Advance(50);
    shell.Tray(kWmLButtonUp);
    timers.Advance(1000);
  }
  EXPECT_EQ(std::count(events.begin(), events.end(), "click"), 2);
}

TEST_F(TrayIconTest, MouseEventsCarryKeyboardStateButtonAndPointer) {
  Make();
  std::vector<std::tuple<TShiftState, int, int>> got;
  tray->OnMouseDown = [&](TTrayIcon&, TMouseButton, TShiftState s, int x, int y) {
    got.emplace_back(s, x, y);
  };
  tray->OnMouseMove = [&](TTrayIcon&, TShiftState s, int x, int y) { got.emplace_back(s, x, y); };
  shell.keys_down = {kVkShift, kVkControl};
  shell.cursor_x = 17;
  shell.cursor_y = 23;
  shell.Tray(kWmMouseMove);
  shell.Tray(kWmMButtonDown);
  shell.keys_down = {kVkMenu};
  shell.Tray(kWmLButtonDown);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0], std::make_tuple(TShiftState(ssShift | ssCtrl), 17, 23));
  EXPECT_EQ(got[1], std::make_tuple(TShiftState(ssShift | ssCtrl | ssMiddle), 17, 23));
  EXPECT_EQ(std::get<0>(got[2]), TShiftState(ssAlt | ssLeft));
}

TEST_F(TrayIconTest, RightButtonDownOpensTheMenuAtThePointerAndUpOpensNothingMore) {
  Make();
  tray->SetPopupMenu(kMenu);
  shell.Clear();
  shell.Tray(kWmRButtonDown);
  const std::string m = std::to_string(FakeTrayShell::kMessageWindow);
  const std::string o = std::to_string(kOwner);
  EXPECT_EQ(shell.TakeLog(),
            Seq("process messages", "foreground " + m, "foreground " + o,
                "popup " + std::to_string(kMenu) + " at 300,400 to " + o, "post " + o + " 0"));
  shell.Tray(kWmRButtonUp);
  EXPECT_TRUE(shell.TakeLog().empty());
  EXPECT_EQ(events, Seq("down R", "up R"));
}

TEST_F(TrayIconTest, NoMenuOpensWithoutAMenuOrWithoutThePointerPosition) {
  Make();
  shell.Tray(kWmRButtonDown);
  EXPECT_TRUE(shell.TakeLog().empty());
  tray->SetPopupMenu(kMenu);
  shell.cursor_ok = false;
  shell.Tray(kWmRButtonDown);
  EXPECT_TRUE(shell.TakeLog().empty());
}

TEST_F(TrayIconTest, LeftPopupOpensTheMenuOnTheLeftButtonAndSkipsTheDefaultItem) {
  Make();
  tray->SetPopupMenu(kMenu);
  shell.Tray(kWmLButtonDblClk);
  EXPECT_EQ(shell.TakeLog(),
            Seq("default item " + std::to_string(kMenu) + " to " + std::to_string(kOwner)));
  tray->SetLeftPopup(true);
  shell.Tray(kWmLButtonDown);
  auto log = shell.TakeLog();
  EXPECT_EQ(std::count_if(log.begin(), log.end(),
                          [](const std::string& e) { return e.rfind("popup", 0) == 0; }),
            1);
  shell.Tray(kWmLButtonDblClk);
  EXPECT_TRUE(shell.TakeLog().empty());
}

TEST_F(TrayIconTest, DisabledComponentIgnoresTheMouseAndBalloonsButNotPictureOrTip) {
  Make();
  tray->SetPopupMenu(kMenu);
  tray->SetEnabled(false);
  for (uint32_t m : {kWmLButtonDown, kWmLButtonUp, kWmLButtonDblClk, kWmRButtonDown, kWmRButtonUp,
                     kWmMButtonDown, kWmMouseMove}) {
    shell.Tray(m);
  }
  timers.Advance(5000);
  EXPECT_TRUE(events.empty());
  EXPECT_TRUE(shell.TakeLog().empty()) << "no menu";

  EXPECT_TRUE(tray->ShowBalloon("Chamada telefónica", "x", TBalloonIconKind::biNone, 15));
  EXPECT_TRUE(Cycle().empty());

  tray->SetIconList(std::vector<IconHandle>{11, 12});
  tray->SetIconIndex(1);
  tray->SetHint("dica");
  auto sent = Cycle();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(Tip(sent[0].data), "dica");
  EXPECT_EQ(shell.OriginalOf(sent[0].data.hIcon), 12u);
  EXPECT_EQ(sent[0].data.uFlags, 7u);
}

TEST_F(TrayIconTest, HiddenWindowAnswersEndMessagesItselfAndPassesTheRestOn) {
  Make();
  for (uint32_t m :
       {kWmDestroy, kWmClose, kWmQueryEndSession, kWmQuit, kWmUserChanged, kWmNcDestroy}) {
    intptr_t result = 0;
    EXPECT_TRUE(shell.SendToMessageWindow(m, 0, 0, &result)) << m;
    EXPECT_EQ(result, 1) << m;
  }
  EXPECT_FALSE(shell.SendToMessageWindow(kWmSize, 0, 0));
  EXPECT_FALSE(shell.SendToMessageWindow(kWmUser, 0, 0));
  intptr_t result = 7;
  EXPECT_TRUE(shell.SendToMessageWindow(kTrayCallbackMessage, 1, 518, &result));
  EXPECT_TRUE(events.empty()) << "a right double click does nothing";
}

// --- Animation

TEST_F(TrayIconTest, AnimationShowsThePicturesInTurnAndReportsTheNextIndex) {
  Make();
  std::vector<int> next;
  tray->OnCycle = [&](TTrayIcon&, int n) { next.push_back(n); };
  tray->SetIconList(std::vector<IconHandle>{10, 11, 12});
  tray->SetCycleInterval(500);
  tray->SetCycleIcons(true);
  Cycle();
  std::vector<IconHandle> shown;
  for (int i = 0; i < 4; ++i) {
    timers.Advance(499);
    EXPECT_EQ(next.size(), static_cast<size_t>(i));
    timers.Advance(1);
    auto sent = Cycle();
    ASSERT_EQ(sent.size(), 1u);
    shown.push_back(shell.OriginalOf(sent[0].data.hIcon));
  }
  EXPECT_EQ(shown, (std::vector<IconHandle>{11, 12, 10, 11}));
  EXPECT_EQ(next, (std::vector<int>{1, 2, 0, 1}));

  tray->SetCycleIcons(false);
  timers.Advance(5000);
  EXPECT_EQ(next.size(), 4u);
}

// --- Balloons

TEST_F(TrayIconTest, RingAndCallerBalloonInOneHandlerReachTheShellAsTheCallerOne) {
  Make();
  tray->SetHint("Modem pronto");
  ASSERT_TRUE(tray->ShowBalloon("Chamada telefónica", "Está a receber uma chamada telefónica.",
                                TBalloonIconKind::biNone, 15));
  ASSERT_TRUE(tray->ShowBalloon("Chamada telefónica",
                                "Está a receber uma chamada telefónica de Ana (219876543).",
                                TBalloonIconKind::biInfo, 15));
  EXPECT_EQ(tray->NotifyData().uFlags, 7u);
  auto sent = Cycle();
  ASSERT_EQ(sent.size(), 1u);
  const TrayNotifyData& d = sent[0].data;
  EXPECT_EQ(d.uFlags, 7u | kNifInfo);
  EXPECT_STREQ(d.szInfo, "Está a receber uma chamada telefónica de Ana (219876543).");
  EXPECT_STREQ(d.szInfoTitle, "Chamada telefónica");
  EXPECT_EQ(d.uTimeout, 15000u);
  EXPECT_EQ(d.dwInfoFlags, 1u);
  EXPECT_EQ(Tip(d), "Modem pronto");
}

TEST_F(TrayIconTest, LaterTipChangeNeverShowsTheBalloonAgain) {
  Make();
  tray->ShowBalloon("t", "balão", TBalloonIconKind::biWarning, 15);
  ASSERT_EQ(Cycle().size(), 1u);
  tray->SetHint("nova dica");
  auto sent = Cycle();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].data.uFlags & kNifInfo, 0u);
  EXPECT_EQ(Tip(sent[0].data), "nova dica");
}

TEST_F(TrayIconTest, OverlongBalloonTitleAndTextAreCutToTheirFields) {
  Make();
  tray->ShowBalloon(std::string(100, 'T'), std::string(300, 'x'), TBalloonIconKind::biError, 255);
  auto sent = Cycle();
  ASSERT_EQ(sent.size(), 1u);
  const TrayNotifyData& d = sent[0].data;
  EXPECT_EQ(std::string(d.szInfoTitle), std::string(63, 'T'));
  EXPECT_EQ(std::string(d.szInfo), std::string(255, 'x'));
  EXPECT_EQ(d.dwInfoFlags, 3u) << "the fields after the text are intact";
  EXPECT_EQ(d.uTimeout, 255000u);
}

TEST_F(TrayIconTest, EmptyBalloonTextClearsTheBalloon) {
  Make();
  tray->ShowBalloon("t", "algo", TBalloonIconKind::biNone, 15);
  Cycle();
  tray->ShowBalloon("t", "", TBalloonIconKind::biNone, 15);
  auto sent = Cycle();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].data.uFlags & kNifInfo, kNifInfo);
  EXPECT_STREQ(sent[0].data.szInfo, "");
}

// --- Window hooks

TEST_F(TrayIconTest, TaskbarCreatedReAddsTheIconWithItsTipAndNoBalloon) {
  Make();
  tray->SetHint("Modem pronto");
  tray->ShowBalloon("t", "balão", TBalloonIconKind::biNone, 15);
  Cycle();
  ASSERT_TRUE(shell.SendToHook(kApp, FakeTrayShell::kTaskbarCreated));
  auto adds = shell.Requests(kNimAdd);
  ASSERT_EQ(adds.size(), 1u);
  EXPECT_EQ(adds[0].data.uFlags, 7u);
  EXPECT_EQ(Tip(adds[0].data), "Modem pronto");

  tray->SetIconVisible(false);
  shell.Clear();
  shell.SendToHook(kApp, FakeTrayShell::kTaskbarCreated);
  EXPECT_TRUE(shell.Requests(kNimAdd).empty()) << "a hidden icon stays away";
}

TEST_F(TrayIconTest, MinimizeToTrayHidesTheWindowsAndKeepsTheIcon) {
  Make();
  tray->SetIconVisible(false);
  shell.Clear();
  shell.SendToHook(kApp, kWmSize, 1);
  EXPECT_TRUE(shell.TakeLog().empty()) << "off by default";
  tray->SetMinimizeToTray(true);
  shell.SendToHook(kApp, kWmSize, 0);
  EXPECT_TRUE(shell.TakeLog().empty()) << "only minimising counts";
  shell.SendToHook(kApp, kWmSize, 1);
  EXPECT_EQ(shell.TakeLog(), Seq("show " + std::to_string(kOwner) + " 0",
                                 "show " + std::to_string(kApp) + " 0", "add"));
  EXPECT_TRUE(tray->IconVisible());
}

TEST_F(TrayIconTest, FirstPositionChangeHidesAnMdiParentApplicationOnlyOnce) {
  tray = std::make_unique<TTrayIcon>(TrayIconContext{shell, timers, dispatcher, clock, kOwner});
  tray->SetStartMinimized(true);
  shell.mdi_parent = true;
  shell.main_window = 0;
  shell.Clear();
  shell.SendToHook(kApp, kWmWindowPosChanged);
  EXPECT_TRUE(shell.TakeLog().empty()) << "no main window yet";
  shell.main_window = kOwner;
  shell.SendToHook(kApp, kWmWindowPosChanged);
  EXPECT_EQ(shell.TakeLog(), Seq("show " + std::to_string(kApp) + " 0"));
  shell.SendToHook(kApp, kWmWindowPosChanged);
  EXPECT_TRUE(shell.TakeLog().empty());
}

TEST_F(TrayIconTest, ShowingTheOwnerDirectlyRaisesTheApplicationThenTheOwner) {
  Make();
  shell.SendToHook(kOwner, kWmShowWindow, 1, 3);  // shown by a restore: nothing
  shell.SendToHook(kOwner, kWmShowWindow, 0, 0);  // hidden: nothing
  EXPECT_TRUE(shell.TakeLog().empty());
  shell.SendToHook(kOwner, kWmShowWindow, 1, 0);
  EXPECT_EQ(shell.TakeLog(),
            Seq("show " + std::to_string(kApp) + " 9", "foreground " + std::to_string(kApp),
                "foreground " + std::to_string(kOwner)));
}

TEST_F(TrayIconTest, ActivatingTheOwnerReturnsTheFocusUnlessItsParentLosesActivation) {
  Make();
  shell.active_control = 0x31;
  shell.parents[0x31] = 0x30;
  shell.SendToHook(kOwner, kWmActivate, 1, 0x99);
  EXPECT_EQ(shell.TakeLog(), Seq("focus 49"));
  shell.SendToHook(kOwner, kWmActivate, 2 | (1u << 16), 0x99);
  EXPECT_EQ(shell.TakeLog(), Seq("focus 49"));
  shell.SendToHook(kOwner, kWmActivate, 1, 0x30);
  shell.SendToHook(kOwner, kWmActivate, 0, 0x99);
  EXPECT_TRUE(shell.TakeLog().empty());
  shell.parents.clear();  // a control without a parent stands for itself
  shell.SendToHook(kOwner, kWmActivate, 1, 0x31);
  EXPECT_TRUE(shell.TakeLog().empty());
}

// --- The worker on its own

TEST(TrayUpdateThread, CycleSendsOnlyTheNewestRequestAndSleeps100ms) {
  FakeTrayShell shell;
  InlineDispatcher dispatcher;
  FakeClock clock;
  TTrayUpdateThread worker(shell, dispatcher, clock);
  TrayUpdateRequest a;
  std::strcpy(a.data.szTip, "a");
  TrayUpdateRequest b;
  std::strcpy(b.data.szTip, "b");
  worker.FileRequest(a);
  worker.FileRequest(b);
  EXPECT_TRUE(worker.Cycle());
  EXPECT_EQ(clock.TickCount(), 100u);
  auto sent = shell.Modifies();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(Tip(sent[0].data), "b");
  EXPECT_TRUE(worker.Cycle());
  EXPECT_EQ(shell.Modifies().size(), 1u);

  dispatcher.shutting_down = true;
  worker.FileRequest(a);
  EXPECT_FALSE(worker.Cycle());
  EXPECT_EQ(shell.Modifies().size(), 1u);
}

TEST(TrayUpdateThread, StopEndsAWorkerThatWaitsForAHandOver) {
  FakeTrayShell shell;
  QueuedDispatcher dispatcher;
  FakeClock clock;
  TTrayUpdateThread worker(shell, dispatcher, clock);
  worker.Start();
  dispatcher.ServeCycle();  // the worker now waits for its next hand-over
  worker.Stop();
  EXPECT_FALSE(worker.Running());
  const int asked = dispatcher.asked();
  dispatcher.ServeWaiting();
  EXPECT_EQ(dispatcher.asked(), asked);
}

}  // namespace
}  // namespace sonavi

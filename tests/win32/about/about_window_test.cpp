// The about window and its version texts, on the real Win32 API.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "about/about_window_win32.h"
#include "about/filever.h"
#include "ui/application.h"
#include "version.h"

namespace sonavi {
namespace {

std::string WindowText(HWND window) {
  char text[256] = {};
  GetWindowTextA(window, text, sizeof(text));
  return text;
}

RECT WindowRect(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  return rect;
}

LPARAM Point(int x, int y) { return MAKELPARAM(x, y); }

// The version the build gave the program: "1.0" and "1.0.2.117" for 1.0.2.117.
const std::string kShortVersion =
    std::to_string(SONAVI_VERSION_MAJOR) + "." + std::to_string(SONAVI_VERSION_MINOR);

TEST(ExecutableFileVersion, IsTheVersionOfTheResource) {
  EXPECT_EQ(FullFileVersion(), SONAVI_VERSION_TEXT);
  EXPECT_EQ(ShortFileVersion(), kShortVersion);
}

class AboutWindowTest : public ::testing::Test {
 protected:
  AboutWindowTest() : app_(GetModuleHandleA(nullptr)) {}

  // Shows the window modally after posting msg to target; a long safety timer ends a
  // showing that the message failed to end, with a result no button gives.
  int ShowModalAfter(HWND target, UINT msg, WPARAM wparam) {
    PostMessageA(target, msg, wparam, 0);
    auto safety = app_.Create([this] { about_.SetModalResult(kStuck); });
    safety->SetInterval(20000);
    safety->SetEnabled(true);
    return about_.ShowModal();
  }

  static constexpr int kStuck = 4242;
  ui::Application app_;
  Tfsobre about_;
};

TEST_F(AboutWindowTest, IsCreatedHiddenWithItsLayoutAndVersionLine) {
  EXPECT_FALSE(about_.Visible());
  RECT client;
  GetClientRect(about_.handle(), &client);
  EXPECT_EQ(client.right, 275);
  EXPECT_EQ(client.bottom, 109);
  // No frame: the client area is the whole window.
  const RECT outer = WindowRect(about_.handle());
  EXPECT_EQ(outer.right - outer.left, 275);
  EXPECT_EQ(outer.bottom - outer.top, 109);
  EXPECT_EQ(WindowText(about_.handle()), "About...");
  EXPECT_EQ(WindowText(GetDlgItem(about_.handle(), Tfsobre::kLabel1)), "Sonavi");
  EXPECT_EQ(WindowText(GetDlgItem(about_.handle(), Tfsobre::kLabel4)),
            "Version " + kShortVersion + "   (" SONAVI_VERSION_TEXT ")");
  EXPECT_EQ(WindowText(GetDlgItem(about_.handle(), Tfsobre::kButton1)), "&OK");
  EXPECT_EQ(about_.LinkLabel1().Link(), "http://www.borvane.pt");
  EXPECT_EQ(about_.LinkLabel2().Link(), "mailto:" + WindowText(about_.LinkLabel2().handle()));
}

TEST_F(AboutWindowTest, EnterClosesTheWindow) {
  EXPECT_NE(ShowModalAfter(about_.handle(), WM_KEYDOWN, VK_RETURN), kStuck);
  EXPECT_FALSE(about_.Visible());
}

TEST_F(AboutWindowTest, EscapeClosesTheWindow) {
  EXPECT_NE(ShowModalAfter(about_.handle(), WM_KEYDOWN, VK_ESCAPE), kStuck);
  EXPECT_FALSE(about_.Visible());
}

TEST_F(AboutWindowTest, TheOkButtonClosesTheWindow) {
  HWND ok = GetDlgItem(about_.handle(), Tfsobre::kButton1);
  EXPECT_NE(ShowModalAfter(ok, BM_CLICK, 0), kStuck);
  EXPECT_FALSE(about_.Visible());
}

TEST_F(AboutWindowTest, ADragMovesTheWindowByThePointersTravel) {
  HWND window = about_.handle();
  const RECT start = WindowRect(window);
  SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, Point(100, 20));
  SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, Point(115, 13));
  RECT now = WindowRect(window);
  EXPECT_EQ(now.left, start.left + 15);
  EXPECT_EQ(now.top, start.top - 7);
  EXPECT_EQ(now.right - now.left, 275);
  EXPECT_EQ(now.bottom - now.top, 109);
  // The window followed, so the pressed point is under the pointer again.
  SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, Point(100, 20));
  EXPECT_EQ(WindowRect(window).left, start.left + 15);
  SendMessageA(window, WM_LBUTTONUP, 0, Point(100, 20));
  SendMessageA(window, WM_MOUSEMOVE, 0, Point(150, 60));
  now = WindowRect(window);
  EXPECT_EQ(now.left, start.left + 15);
  EXPECT_EQ(now.top, start.top - 7);
}

TEST_F(AboutWindowTest, DraggingFromTheIconMovesTheWindowTheSameWay) {
  HWND window = about_.handle();
  const RECT start = WindowRect(window);
  SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, Point(20, 20));  // on the icon
  SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, Point(12, 31));
  SendMessageA(window, WM_LBUTTONUP, 0, Point(12, 31));
  const RECT now = WindowRect(window);
  EXPECT_EQ(now.left, start.left - 8);
  EXPECT_EQ(now.top, start.top + 11);
}

TEST_F(AboutWindowTest, TheSecondPressOfADoubleClickStartsADragToo) {
  HWND window = about_.handle();
  const RECT start = WindowRect(window);
  SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, Point(100, 20));
  SendMessageA(window, WM_LBUTTONUP, 0, Point(100, 20));
  SendMessageA(window, WM_LBUTTONDBLCLK, MK_LBUTTON, Point(100, 20));
  SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, Point(90, 25));
  SendMessageA(window, WM_LBUTTONUP, 0, Point(90, 25));
  EXPECT_EQ(WindowRect(window).left, start.left - 10);
  EXPECT_EQ(WindowRect(window).top, start.top + 5);
}

TEST_F(AboutWindowTest, TheRightButtonNeitherStartsNorEndsADrag) {
  HWND window = about_.handle();
  const RECT start = WindowRect(window);
  SendMessageA(window, WM_RBUTTONDOWN, MK_RBUTTON, Point(100, 20));
  SendMessageA(window, WM_MOUSEMOVE, MK_RBUTTON, Point(130, 40));
  SendMessageA(window, WM_RBUTTONUP, 0, Point(130, 40));
  EXPECT_EQ(WindowRect(window).left, start.left);
  EXPECT_EQ(WindowRect(window).top, start.top);

  SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, Point(100, 20));
  SendMessageA(window, WM_RBUTTONDOWN, MK_LBUTTON | MK_RBUTTON, Point(100, 20));
  SendMessageA(window, WM_RBUTTONUP, MK_LBUTTON, Point(100, 20));
  SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, Point(103, 24));
  EXPECT_EQ(WindowRect(window).left, start.left + 3);
  EXPECT_EQ(WindowRect(window).top, start.top + 4);
  SendMessageA(window, WM_LBUTTONUP, 0, Point(103, 24));
}

// Sends a mouse message where the system would: to the window holding the capture, or else
// to the one its hit test finds at the screen point (a window that answers "transparent"
// passes the pointer on to the window below).
void MouseAt(UINT msg, WPARAM keys, POINT screen) {
  HWND target = GetCapture();
  if (!target) target = WindowFromPoint(screen);
  ASSERT_NE(target, nullptr);
  ScreenToClient(target, &screen);
  SendMessageA(target, msg, keys, Point(screen.x, screen.y));
}

TEST_F(AboutWindowTest, PressingALabelDoesNotDrag) {
  about_.Show();
  HWND window = about_.handle();
  const RECT start = WindowRect(window);
  const RECT label = WindowRect(GetDlgItem(window, Tfsobre::kLabel1));
  const POINT at = {label.left + 5, label.top + 5};
  MouseAt(WM_LBUTTONDOWN, MK_LBUTTON, at);
  MouseAt(WM_MOUSEMOVE, MK_LBUTTON, POINT{at.x + 20, at.y + 20});
  MouseAt(WM_LBUTTONUP, 0, POINT{at.x + 20, at.y + 20});
  EXPECT_EQ(WindowRect(window).left, start.left);
  about_.Hide();
}

TEST_F(AboutWindowTest, LinkLabelsStartBlueAndTurnRedUnderThePointer) {
  for (TLinkLabel* link : {&about_.LinkLabel1(), &about_.LinkLabel2()}) {
    EXPECT_EQ(link->FontColor(), clBlue);
    EXPECT_EQ(link->EnterFontColor(), clRed);
    EXPECT_EQ(link->LeaveFontColor(), clBlue);
    EXPECT_EQ(link->VisitedColor(), clBlue);
    SendMessageA(link->handle(), WM_MOUSEMOVE, 0, Point(2, 2));
    EXPECT_EQ(link->FontColor(), clRed);
    SendMessageA(link->handle(), WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(link->FontColor(), clBlue);
  }
}

TEST_F(AboutWindowTest, ClickingALinkOpensItAndKeepsTheHoverColourUntilLeaving) {
  TLinkLabel& link = about_.LinkLabel2();
  std::vector<std::string> opened;
  link.SetOpenLink([&](const std::string& target) { opened.push_back(target); });
  link.SetVisitedColor(clNavy);
  HWND label = link.handle();
  SendMessageA(label, WM_MOUSEMOVE, 0, Point(2, 2));
  SendMessageA(label, WM_LBUTTONDOWN, MK_LBUTTON, Point(2, 2));
  SendMessageA(label, WM_LBUTTONUP, 0, Point(3, 2));
  ASSERT_EQ(opened, std::vector<std::string>{"mailto:sonavi@borvane.pt"});
  EXPECT_EQ(link.FontColor(), clRed);
  SendMessageA(label, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(link.FontColor(), clNavy);
}

TEST_F(AboutWindowTest, ADoubleClickOpensTheLinkOnce) {
  TLinkLabel& link = about_.LinkLabel1();
  int opened = 0;
  link.SetOpenLink([&](const std::string&) { ++opened; });
  about_.Show();
  const RECT label = WindowRect(link.handle());
  SetCursorPos(label.left + 2, label.top + 2);
  // Two clicks through the system's input, which makes the second press a double click.
  INPUT clicks[4] = {};
  for (int i = 0; i < 4; ++i) {
    clicks[i].type = INPUT_MOUSE;
    clicks[i].mi.dwFlags = i % 2 == 0 ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
  }
  ASSERT_EQ(SendInput(4, clicks, sizeof(INPUT)), 4u);
  // Pumps until both releases have been handled, so that a second opening would be seen.
  int releases = 0;
  for (int i = 0; i < 250 && releases < 2; ++i) {
    MSG msg;
    while (releases < 2 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_LBUTTONUP) ++releases;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (releases < 2) MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  ASSERT_EQ(releases, 2);
  EXPECT_EQ(opened, 1);
  about_.Hide();
}

TEST_F(AboutWindowTest, APressReleasedOutsideTheLinkOpensNothing) {
  TLinkLabel& link = about_.LinkLabel1();
  int opened = 0;
  link.SetOpenLink([&](const std::string&) { ++opened; });
  SendMessageA(link.handle(), WM_LBUTTONDOWN, MK_LBUTTON, Point(2, 2));
  SendMessageA(link.handle(), WM_LBUTTONUP, 0, Point(-40, 2));
  EXPECT_EQ(opened, 0);
  EXPECT_EQ(link.LeaveFontColor(), clBlue);
}

// Shows the window on the screen until a screenshot has been taken: run by the screenshot
// scenario, which names a folder for its hand-shake files.
TEST_F(AboutWindowTest, ShownForAScreenshot) {
  const char* folder = std::getenv("SONAVI_SCREENSHOT_SYNC");
  if (!folder || !*folder) GTEST_SKIP() << "only for the screenshot scenario";
  const std::string ready = std::string(folder) + "\\ready";
  const std::string taken = std::string(folder) + "\\taken";
  about_.Show();
  UpdateWindow(about_.handle());
  app_.ProcessMessages();
  if (FILE* f = std::fopen(ready.c_str(), "w")) std::fclose(f);
  while (GetFileAttributesA(taken.c_str()) == INVALID_FILE_ATTRIBUTES) {
    app_.ProcessMessages();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
  about_.Hide();
}

}  // namespace
}  // namespace sonavi

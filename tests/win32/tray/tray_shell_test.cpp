// The tray icon on the real system: the icon record against the system's definition, the
// shell's answers to our requests, the hidden window's routing and the window hooks.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "../../native/tray/tray_fakes.h"
#include "platform/clock.h"
#include "tray/tray_icon.h"
#include "tray/tray_shell_win32.h"
#include "ui/application.h"

namespace sonavi {
namespace {

// --- helpers

// Handles the messages that are waiting, until done() holds; the time limit only keeps a
// broken build from hanging.
bool PumpUntil(const std::function<bool()>& done, DWORD limit_ms = 5000) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (done()) return true;
    if (GetTickCount() - start > limit_ms) return false;
    Sleep(1);
  }
}

// The real shell, with every icon request and its answer noted.
class RecordingShell : public TrayShell {
 public:
  struct Request {
    uint32_t request;
    TrayNotifyData data;
    bool answer;
  };
  explicit RecordingShell(TrayShell& real) : real_(real) {}

  std::vector<Request> Requests() {
    std::lock_guard<std::mutex> lock(lock_);
    return requests_;
  }
  size_t Count(uint32_t kind) {
    size_t n = 0;
    for (const auto& r : Requests()) n += r.request == kind ? 1 : 0;
    return n;
  }

  bool NotifyIcon(uint32_t request, const TrayNotifyData& data) override {
    const bool answer = real_.NotifyIcon(request, data);
    std::lock_guard<std::mutex> lock(lock_);
    requests_.push_back({request, data, answer});
    return answer;
  }
  uint32_t RegisterMessage(const std::string& name) override { return real_.RegisterMessage(name); }
  WindowHandle CreateMessageWindow(MessageProc proc) override {
    return real_.CreateMessageWindow(std::move(proc));
  }
  void DestroyMessageWindow(WindowHandle window) override { real_.DestroyMessageWindow(window); }
  IconHandle CopyPicture(IconHandle icon) override { return real_.CopyPicture(icon); }
  void DestroyPicture(IconHandle icon) override { real_.DestroyPicture(icon); }
  IconHandle LoadDefaultPicture() override { return real_.LoadDefaultPicture(); }
  bool CursorPos(int* x, int* y) override { return real_.CursorPos(x, y); }
  bool AsyncKeyDown(int virtual_key) override { return real_.AsyncKeyDown(virtual_key); }
  uint32_t DoubleClickTime() override { return real_.DoubleClickTime(); }
  void ProcessMessages() override { real_.ProcessMessages(); }
  void SetForeground(WindowHandle window) override { real_.SetForeground(window); }
  void PostWindowMessage(WindowHandle window, uint32_t msg, uintptr_t wparam,
                         intptr_t lparam) override {
    real_.PostWindowMessage(window, msg, wparam, lparam);
  }
  void OpenPopupMenu(MenuHandle menu, int x, int y, WindowHandle command_window) override {
    real_.OpenPopupMenu(menu, x, y, command_window);
  }
  void ClickDefaultMenuItem(MenuHandle menu, WindowHandle command_window) override {
    real_.ClickDefaultMenuItem(menu, command_window);
  }
  WindowHandle ApplicationWindow() override { return real_.ApplicationWindow(); }
  WindowHandle MainWindow() override { return real_.MainWindow(); }
  bool IsMdiParent(WindowHandle window) override { return real_.IsMdiParent(window); }
  void ShowWindowCommand(WindowHandle window, int command) override {
    real_.ShowWindowCommand(window, command);
  }
  void SetShowMainWindowOnStart(bool show) override { real_.SetShowMainWindowOnStart(show); }
  WindowHandle ActiveControl() override { return real_.ActiveControl(); }
  WindowHandle ParentWindow(WindowHandle window) override { return real_.ParentWindow(window); }
  void FocusWindow(WindowHandle window) override { real_.FocusWindow(window); }
  HookHandle HookWindow(WindowHandle window, HookProc before) override {
    return real_.HookWindow(window, std::move(before));
  }
  void UnhookWindow(HookHandle hook) override { real_.UnhookWindow(hook); }

 private:
  TrayShell& real_;
  std::mutex lock_;
  std::vector<Request> requests_;
};

// A plain top-level window that counts the messages its own procedure sees and answers
// WM_COMMAND by noting the item.
struct TestWindow {
  TestWindow() {
    static const bool registered = [] {
      WNDCLASSA wc = {};
      wc.lpfnWndProc = &Proc;
      wc.hInstance = GetModuleHandleA(nullptr);
      wc.lpszClassName = "SonaviTestWindow";
      return RegisterClassA(&wc) != 0;
    }();
    EXPECT_TRUE(registered);
    hwnd = CreateWindowExA(0, "SonaviTestWindow", "", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                           nullptr, GetModuleHandleA(nullptr), nullptr);
    EXPECT_NE(hwnd, nullptr);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~TestWindow() { DestroyWindow(hwnd); }
  WindowHandle handle() const { return reinterpret_cast<WindowHandle>(hwnd); }

  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    auto* self = reinterpret_cast<TestWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self != nullptr) {
      self->seen.push_back(msg);
      if (msg == WM_COMMAND) self->commands.push_back(LOWORD(wparam));
    }
    return DefWindowProcA(hwnd, msg, wparam, lparam);
  }
  size_t Seen(UINT msg) const {
    return static_cast<size_t>(std::count(seen.begin(), seen.end(), msg));
  }

  HWND hwnd = nullptr;
  std::vector<UINT> seen;
  std::vector<WORD> commands;
};

// --- the record

TEST(TrayRecord, FieldsSitWhereTheSystemDefinitionPutsThem) {
  EXPECT_EQ(sizeof(TrayNotifyData), static_cast<size_t>(NOTIFYICONDATAA_V2_SIZE));
  EXPECT_EQ(offsetof(TrayNotifyData, cbSize), offsetof(NOTIFYICONDATAA, cbSize));
  EXPECT_EQ(offsetof(TrayNotifyData, hWnd), offsetof(NOTIFYICONDATAA, hWnd));
  EXPECT_EQ(offsetof(TrayNotifyData, uID), offsetof(NOTIFYICONDATAA, uID));
  EXPECT_EQ(offsetof(TrayNotifyData, uFlags), offsetof(NOTIFYICONDATAA, uFlags));
  EXPECT_EQ(offsetof(TrayNotifyData, uCallbackMessage),
            offsetof(NOTIFYICONDATAA, uCallbackMessage));
  EXPECT_EQ(offsetof(TrayNotifyData, hIcon), offsetof(NOTIFYICONDATAA, hIcon));
  EXPECT_EQ(offsetof(TrayNotifyData, szTip), offsetof(NOTIFYICONDATAA, szTip));
  EXPECT_EQ(offsetof(TrayNotifyData, dwState), offsetof(NOTIFYICONDATAA, dwState));
  EXPECT_EQ(offsetof(TrayNotifyData, dwStateMask), offsetof(NOTIFYICONDATAA, dwStateMask));
  EXPECT_EQ(offsetof(TrayNotifyData, szInfo), offsetof(NOTIFYICONDATAA, szInfo));
  EXPECT_EQ(offsetof(TrayNotifyData, uTimeout), offsetof(NOTIFYICONDATAA, uTimeout));
  EXPECT_EQ(offsetof(TrayNotifyData, szInfoTitle), offsetof(NOTIFYICONDATAA, szInfoTitle));
  EXPECT_EQ(offsetof(TrayNotifyData, dwInfoFlags), offsetof(NOTIFYICONDATAA, dwInfoFlags));
  EXPECT_EQ(sizeof(TrayNotifyData::szTip), sizeof(NOTIFYICONDATAA::szTip));
  EXPECT_EQ(sizeof(TrayNotifyData::szInfo), sizeof(NOTIFYICONDATAA::szInfo));
  EXPECT_EQ(sizeof(TrayNotifyData::szInfoTitle), sizeof(NOTIFYICONDATAA::szInfoTitle));
  EXPECT_EQ(kTrayCallbackMessage, static_cast<uint32_t>(WM_USER + 1024));
}

// --- the adapter on its own

TEST(Win32TrayShell, AddModifyAndDeleteTheIconThroughItsHiddenWindow) {
  auto shell = CreateWin32TrayShell({});
  std::vector<std::pair<uint32_t, intptr_t>> got;
  const WindowHandle window =
      shell->CreateMessageWindow([&](uint32_t msg, uintptr_t, intptr_t lparam, intptr_t* result) {
        if (msg != kTrayCallbackMessage) return false;
        got.emplace_back(msg, lparam);
        *result = 1;
        return true;
      });
  ASSERT_NE(window, 0u);
  HWND hwnd = reinterpret_cast<HWND>(window);
  EXPECT_FALSE(IsWindowVisible(hwnd));
  EXPECT_EQ(GetParent(hwnd), nullptr);

  TrayNotifyData data;
  data.cbSize = kTrayNotifyDataSize;
  data.hWnd = window;
  data.uID = 1;
  data.uFlags = kNifMessage | kNifIcon | kNifTip;
  data.uCallbackMessage = kTrayCallbackMessage;
  data.hIcon =
      shell->CopyPicture(reinterpret_cast<IconHandle>(LoadIconA(nullptr, MAKEINTRESOURCEA(32512))));
  ASSERT_NE(data.hIcon, 0u);
  std::strcpy(data.szTip, "Sonavi");
  EXPECT_TRUE(shell->NotifyIcon(kNimAdd, data));

  data.uFlags |= kNifInfo;
  std::strcpy(data.szInfoTitle, "Chamada telefónica");
  std::strcpy(data.szInfo, "Está a receber uma chamada telefónica.");
  data.uTimeout = 15000;
  EXPECT_TRUE(shell->NotifyIcon(kNimModify, data));
  EXPECT_TRUE(shell->NotifyIcon(kNimDelete, data));
  EXPECT_FALSE(shell->NotifyIcon(kNimModify, data)) << "the shell refuses a deleted icon";

  // The shell's callback reaches the procedure; other messages get the default handling.
  EXPECT_EQ(SendMessageA(hwnd, kTrayCallbackMessage, 1, WM_LBUTTONDOWN), 1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].second, WM_LBUTTONDOWN);
  EXPECT_TRUE(SetWindowTextA(hwnd, "abc"));
  EXPECT_EQ(GetWindowTextLengthA(hwnd), 3);

  shell->DestroyPicture(data.hIcon);
  shell->DestroyMessageWindow(window);
  EXPECT_FALSE(IsWindow(hwnd));
}

TEST(Win32TrayShell, HookSeesMessagesFirstAndRemovalRestoresTheProcedure) {
  TestWindow target;
  const auto original = GetWindowLongPtrA(target.hwnd, GWLP_WNDPROC);
  std::vector<std::string> order;
  const HookHandle hook =
      InstallWindowHook(target.handle(), [&](uint32_t msg, uintptr_t, intptr_t) {
        if (msg == WM_APP + 7)
          order.push_back("hook saw " + std::to_string(target.Seen(WM_APP + 7)));
      });
  ASSERT_NE(hook, 0u);
  EXPECT_EQ(InstallWindowHook(target.handle(), [](uint32_t, uintptr_t, intptr_t) {}), 0u)
      << "one hook per window";
  SendMessageA(target.hwnd, WM_APP + 7, 0, 0);
  EXPECT_EQ(order, std::vector<std::string>{"hook saw 0"});
  EXPECT_EQ(target.Seen(WM_APP + 7), 1u) << "the window's own procedure still runs";

  RemoveWindowHook(hook);
  EXPECT_EQ(GetWindowLongPtrA(target.hwnd, GWLP_WNDPROC), original);
  SendMessageA(target.hwnd, WM_APP + 7, 0, 0);
  EXPECT_EQ(order.size(), 1u);
  EXPECT_EQ(target.Seen(WM_APP + 7), 2u);
}

// --- the component on the real system

class TrayOnWine : public ::testing::Test {
 protected:
  TrayOnWine() {
    Win32TrayShellConfig config;
    config.application_window = application.handle();
    config.main_window = [this] { return owner.handle(); };
    real = CreateWin32TrayShell(config);
    shell = std::make_unique<RecordingShell>(*real);
  }

  // Serves the update worker's hand-overs from the thread's message queue.
  ui::Application dispatcher{GetModuleHandleA(nullptr)};
  TestWindow application;
  TestWindow owner;
  std::unique_ptr<TrayShell> real;
  std::unique_ptr<RecordingShell> shell;
  testing::FakeTimers timers;
};

TEST_F(TrayOnWine, IconIsAddedUpdatedAndRemovedAndMouseMessagesAreRouted) {
  const auto app_proc = GetWindowLongPtrA(application.hwnd, GWLP_WNDPROC);
  const auto owner_proc = GetWindowLongPtrA(owner.hwnd, GWLP_WNDPROC);
  auto tray = std::make_unique<TTrayIcon>(
      TrayIconContext{*shell, timers, dispatcher, SystemClock(), owner.handle()});
  const HICON picture = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));
  tray->SetIconList(std::vector<IconHandle>{reinterpret_cast<IconHandle>(picture)});
  std::vector<std::string> events;
  tray->OnMouseDown = [&](TTrayIcon&, TMouseButton, TShiftState, int, int) {
    events.push_back("down");
  };
  tray->OnMouseUp = [&](TTrayIcon&, TMouseButton, TShiftState, int, int) {
    events.push_back("up");
  };
  tray->OnClick = [&](TTrayIcon&) { events.push_back("click"); };
  tray->Loaded();
  auto requests = shell->Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].request, kNimAdd);
  EXPECT_TRUE(requests[0].answer);

  // Modify requests come from the worker once the main thread handles messages.
  tray->SetHint("Porta do modem não definida.");
  ASSERT_TRUE(PumpUntil([&] { return shell->Count(kNimModify) >= 1; }));
  for (const auto& r : shell->Requests()) {
    if (r.request == kNimModify) {
      EXPECT_TRUE(r.answer);
    }
  }
  const size_t modifies = shell->Count(kNimModify);
  tray->ShowBalloon("Chamada telefónica", "Está a receber uma chamada telefónica.",
                    TBalloonIconKind::biNone, 15);
  ASSERT_TRUE(PumpUntil([&] { return shell->Count(kNimModify) > modifies; }));
  EXPECT_EQ(shell->Requests().back().data.uFlags, 7u | kNifInfo);
  EXPECT_TRUE(shell->Requests().back().answer);

  // The shell's callback, posted to the hidden window, reaches the mouse events.
  HWND hidden = reinterpret_cast<HWND>(tray->MessageWindow());
  PostMessageA(hidden, kTrayCallbackMessage, 1, WM_LBUTTONDOWN);
  PostMessageA(hidden, kTrayCallbackMessage, 1, WM_LBUTTONUP);
  ASSERT_TRUE(PumpUntil([&] { return events.size() >= 2; }));
  timers.Advance(GetDoubleClickTime());
  EXPECT_EQ(events, (std::vector<std::string>{"down", "up", "click"}));

  // A shell restart puts the icon back through the application window's hook; the
  // window's own procedure still sees the broadcast.
  const UINT taskbar_created = RegisterWindowMessageA("TaskbarCreated");
  SendMessageA(application.hwnd, taskbar_created, 0, 0);
  EXPECT_EQ(application.Seen(taskbar_created), 1u);
  ASSERT_EQ(shell->Requests().back().request, kNimAdd);
  EXPECT_EQ(shell->Requests().back().data.uFlags, 7u);

  tray.reset();
  EXPECT_EQ(shell->Requests().back().request, kNimDelete);
  EXPECT_FALSE(IsWindow(hidden));
  EXPECT_EQ(GetWindowLongPtrA(application.hwnd, GWLP_WNDPROC), app_proc);
  EXPECT_EQ(GetWindowLongPtrA(owner.hwnd, GWLP_WNDPROC), owner_proc);
}

TEST_F(TrayOnWine, DoubleClickRunsTheMenusDefaultItemInTheOwner) {
  HMENU menu = CreatePopupMenu();
  AppendMenuA(menu, MF_STRING, 101, "Agenda");
  AppendMenuA(menu, MF_STRING, 102, "Sair");
  auto tray = std::make_unique<TTrayIcon>(
      TrayIconContext{*shell, timers, dispatcher, SystemClock(), owner.handle()});
  tray->SetPopupMenu(reinterpret_cast<MenuHandle>(menu));
  int dbl = 0;
  tray->OnDblClick = [&](TTrayIcon&) { ++dbl; };
  SendMessageA(reinterpret_cast<HWND>(tray->MessageWindow()), kTrayCallbackMessage, 1,
               WM_LBUTTONDBLCLK);
  EXPECT_EQ(dbl, 1);
  EXPECT_TRUE(owner.commands.empty()) << "no default item, nothing else runs";
  SetMenuDefaultItem(menu, 101, FALSE);
  SendMessageA(reinterpret_cast<HWND>(tray->MessageWindow()), kTrayCallbackMessage, 1,
               WM_LBUTTONDBLCLK);
  EXPECT_EQ(owner.commands, std::vector<WORD>{101});
  tray.reset();
  DestroyMenu(menu);
}

TEST_F(TrayOnWine, ShowingTheOwnerRaisesTheApplicationWindow) {
  auto tray = std::make_unique<TTrayIcon>(
      TrayIconContext{*shell, timers, dispatcher, SystemClock(), owner.handle()});
  ShowWindow(application.hwnd, SW_MINIMIZE);
  ASSERT_TRUE(IsIconic(application.hwnd));
  ShowWindow(owner.hwnd, SW_SHOW);
  EXPECT_FALSE(IsIconic(application.hwnd));
  EXPECT_EQ(owner.Seen(WM_SHOWWINDOW), 1u);
  tray.reset();
}

}  // namespace
}  // namespace sonavi

// The tray icon's shell on the real system.
#include "tray/tray_shell_win32.h"

#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <utility>

namespace sonavi {

static_assert(sizeof(TrayNotifyData) == NOTIFYICONDATAA_V2_SIZE,
              "the icon record is the shell's record up to its balloon fields");

namespace {

constexpr char kMessageWindowClass[] = "SonaviTrayWindow";

HWND Hwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }

// What the hidden window's procedure calls, kept in the window's user data.
struct MessageWindowData {
  TrayShell::MessageProc proc;
};

LRESULT CALLBACK MessageWindowProc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lparam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* data = reinterpret_cast<MessageWindowData*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (data != nullptr && data->proc) {
    intptr_t result = 0;
    if (data->proc(msg, wparam, lparam, &result)) return result;
  }
  return DefWindowProcA(window, msg, wparam, lparam);
}

bool RegisterMessageWindowClass() {
  static const bool registered = [] {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &MessageWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kMessageWindowClass;
    return RegisterClassA(&wc) != 0;
  }();
  return registered;
}

class Win32TrayShell : public TrayShell {
 public:
  explicit Win32TrayShell(Win32TrayShellConfig config) : config_(std::move(config)) {}

  bool NotifyIcon(uint32_t request, const TrayNotifyData& data) override {
    NOTIFYICONDATAA record = {};
    std::memcpy(&record, &data, sizeof data);
    return Shell_NotifyIconA(request, &record) != FALSE;
  }

  uint32_t RegisterMessage(const std::string& name) override {
    return RegisterWindowMessageA(name.c_str());
  }

  WindowHandle CreateMessageWindow(MessageProc proc) override {
    if (!RegisterMessageWindowClass()) return 0;
    auto* data = new MessageWindowData{std::move(proc)};
    HWND window = CreateWindowExA(0, kMessageWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), data);
    if (window == nullptr) {
      delete data;
      return 0;
    }
    return reinterpret_cast<WindowHandle>(window);
  }

  void DestroyMessageWindow(WindowHandle window) override {
    HWND hwnd = Hwnd(window);
    if (!IsWindow(hwnd)) return;
    auto* data = reinterpret_cast<MessageWindowData*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    DestroyWindow(hwnd);
    delete data;
  }

  IconHandle CopyPicture(IconHandle icon) override {
    return reinterpret_cast<IconHandle>(CopyIcon(reinterpret_cast<HICON>(icon)));
  }
  void DestroyPicture(IconHandle icon) override { DestroyIcon(reinterpret_cast<HICON>(icon)); }
  IconHandle LoadDefaultPicture() override {
    return reinterpret_cast<IconHandle>(LoadIconA(nullptr, MAKEINTRESOURCEA(32517)));
  }

  bool CursorPos(int* x, int* y) override {
    POINT p;
    if (!GetCursorPos(&p)) return false;
    *x = p.x;
    *y = p.y;
    return true;
  }
  bool AsyncKeyDown(int virtual_key) override { return GetAsyncKeyState(virtual_key) < 0; }
  uint32_t DoubleClickTime() override { return GetDoubleClickTime(); }

  void ProcessMessages() override {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        // Leave the quit request for the message loop that is waiting for it.
        PostQuitMessage(static_cast<int>(msg.wParam));
        break;
      }
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  void SetForeground(WindowHandle window) override { SetForegroundWindow(Hwnd(window)); }
  void PostWindowMessage(WindowHandle window, uint32_t msg, uintptr_t wparam,
                         intptr_t lparam) override {
    PostMessageA(Hwnd(window), msg, wparam, lparam);
  }
  void OpenPopupMenu(MenuHandle menu, int x, int y, WindowHandle command_window) override {
    TrackPopupMenu(reinterpret_cast<HMENU>(menu), TPM_LEFTALIGN | TPM_RIGHTBUTTON, x, y, 0,
                   Hwnd(command_window), nullptr);
  }
  void ClickDefaultMenuItem(MenuHandle menu, WindowHandle command_window) override {
    const UINT id = GetMenuDefaultItem(reinterpret_cast<HMENU>(menu), FALSE, 0);
    if (id == static_cast<UINT>(-1)) return;
    SendMessageA(Hwnd(command_window), WM_COMMAND, MAKEWPARAM(id, 0), 0);
  }

  WindowHandle ApplicationWindow() override { return config_.application_window; }
  WindowHandle MainWindow() override { return config_.main_window ? config_.main_window() : 0; }
  bool IsMdiParent(WindowHandle window) override {
    return FindWindowExA(Hwnd(window), nullptr, "MDICLIENT", nullptr) != nullptr;
  }
  void ShowWindowCommand(WindowHandle window, int command) override {
    ShowWindow(Hwnd(window), command);
  }
  void SetShowMainWindowOnStart(bool show) override {
    if (config_.show_main_window_on_start) config_.show_main_window_on_start(show);
  }
  WindowHandle ActiveControl() override { return reinterpret_cast<WindowHandle>(GetFocus()); }
  WindowHandle ParentWindow(WindowHandle window) override {
    HWND hwnd = Hwnd(window);
    if ((GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_CHILD) == 0) return 0;
    return reinterpret_cast<WindowHandle>(GetParent(hwnd));
  }
  void FocusWindow(WindowHandle window) override { SetFocus(Hwnd(window)); }
  HookHandle HookWindow(WindowHandle window, HookProc before) override {
    return InstallWindowHook(window, std::move(before));
  }
  void UnhookWindow(HookHandle hook) override { RemoveWindowHook(hook); }

 private:
  Win32TrayShellConfig config_;
};

}  // namespace

std::unique_ptr<TrayShell> CreateWin32TrayShell(Win32TrayShellConfig config) {
  return std::make_unique<Win32TrayShell>(std::move(config));
}

}  // namespace sonavi

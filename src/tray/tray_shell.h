// What the tray icon needs from the system: the shell's notification area, a hidden
// message window, the pointer and keyboard, popup menus, and the windows of the
// application that the icon's two window hooks watch. Handles are opaque numbers here;
// the Win32 adapter (tray_shell_win32.cpp) turns them into HWND, HICON and HMENU.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace sonavi {

using WindowHandle = uintptr_t;
using IconHandle = uintptr_t;
using MenuHandle = uintptr_t;
using HookHandle = uintptr_t;

// The shell's NOTIFYICONDATA record in its ANSI form with the balloon fields, up to and
// including dwInfoFlags. Its fields sit where the system's definition puts them: 488 bytes
// in a 32-bit process, 504 in a 64-bit one (handles are pointer-sized there).
struct TrayNotifyData {
  uint32_t cbSize = 0;
  uintptr_t hWnd = 0;
  uint32_t uID = 0;
  uint32_t uFlags = 0;
  uint32_t uCallbackMessage = 0;
  uintptr_t hIcon = 0;
  char szTip[128] = {};
  uint32_t dwState = 0;
  uint32_t dwStateMask = 0;
  char szInfo[256] = {};
  uint32_t uTimeout = 0;  // shares its place with uVersion
  char szInfoTitle[64] = {};
  uint32_t dwInfoFlags = 0;
};

inline constexpr size_t kTrayNotifyDataSize = sizeof(void*) == 4 ? 488 : 504;
static_assert(sizeof(TrayNotifyData) == kTrayNotifyDataSize);
static_assert(offsetof(TrayNotifyData, szTip) == (sizeof(void*) == 4 ? 24 : 40));
static_assert(offsetof(TrayNotifyData, dwInfoFlags) + 4 == kTrayNotifyDataSize);

// Shell_NotifyIconA requests.
inline constexpr uint32_t kNimAdd = 0;
inline constexpr uint32_t kNimModify = 1;
inline constexpr uint32_t kNimDelete = 2;

// uFlags bits.
inline constexpr uint32_t kNifMessage = 1;
inline constexpr uint32_t kNifIcon = 2;
inline constexpr uint32_t kNifTip = 4;
inline constexpr uint32_t kNifInfo = 16;

// Window messages the component acts on.
inline constexpr uint32_t kWmNull = 0;
inline constexpr uint32_t kWmDestroy = 2;
inline constexpr uint32_t kWmSize = 5;
inline constexpr uint32_t kWmActivate = 6;
inline constexpr uint32_t kWmClose = 16;
inline constexpr uint32_t kWmQueryEndSession = 17;
inline constexpr uint32_t kWmQuit = 18;
inline constexpr uint32_t kWmShowWindow = 24;
inline constexpr uint32_t kWmWindowPosChanged = 71;
inline constexpr uint32_t kWmUserChanged = 84;
inline constexpr uint32_t kWmNcDestroy = 130;
inline constexpr uint32_t kWmMouseMove = 512;
inline constexpr uint32_t kWmLButtonDown = 513;
inline constexpr uint32_t kWmLButtonUp = 514;
inline constexpr uint32_t kWmLButtonDblClk = 515;
inline constexpr uint32_t kWmRButtonDown = 516;
inline constexpr uint32_t kWmRButtonUp = 517;
inline constexpr uint32_t kWmMButtonDown = 519;
inline constexpr uint32_t kWmMButtonUp = 520;
inline constexpr uint32_t kWmUser = 1024;

// ShowWindow commands.
inline constexpr int kSwHide = 0;
inline constexpr int kSwRestore = 9;

// Virtual keys read for the shift state.
inline constexpr int kVkShift = 0x10;
inline constexpr int kVkControl = 0x11;
inline constexpr int kVkMenu = 0x12;

class TrayShell {
 public:
  // A window procedure: returns true with *result set when it handled the message,
  // false to leave the message to the system's default handling.
  using MessageProc =
      std::function<bool(uint32_t msg, uintptr_t wparam, intptr_t lparam, intptr_t* result)>;
  // Runs before a hooked window's own procedure sees a message.
  using HookProc = std::function<void(uint32_t msg, uintptr_t wparam, intptr_t lparam)>;

  virtual ~TrayShell() = default;

  // Notification area. NotifyIcon may be called from the update worker's thread.
  virtual bool NotifyIcon(uint32_t request, const TrayNotifyData& data) = 0;
  virtual uint32_t RegisterMessage(const std::string& name) = 0;

  // The component's hidden top-level window; proc receives its messages.
  virtual WindowHandle CreateMessageWindow(MessageProc proc) = 0;
  virtual void DestroyMessageWindow(WindowHandle window) = 0;

  // Pictures. The component owns the copies it makes; DestroyPicture may be called from
  // the update worker's thread.
  virtual IconHandle CopyPicture(IconHandle icon) = 0;
  virtual void DestroyPicture(IconHandle icon) = 0;
  virtual IconHandle LoadDefaultPicture() = 0;

  // Pointer and keyboard.
  virtual bool CursorPos(int* x, int* y) = 0;
  virtual bool AsyncKeyDown(int virtual_key) = 0;
  virtual uint32_t DoubleClickTime() = 0;

  // Windows and menus. A menu's chosen item is reported to command_window.
  virtual void ProcessMessages() = 0;
  virtual void SetForeground(WindowHandle window) = 0;
  virtual void PostWindowMessage(WindowHandle window, uint32_t msg, uintptr_t wparam,
                                 intptr_t lparam) = 0;
  virtual void OpenPopupMenu(MenuHandle menu, int x, int y, WindowHandle command_window) = 0;
  virtual void ClickDefaultMenuItem(MenuHandle menu, WindowHandle command_window) = 0;

  // The application around the component, for the window hooks.
  virtual WindowHandle ApplicationWindow() = 0;
  virtual WindowHandle MainWindow() = 0;  // 0 while the application has none
  virtual bool IsMdiParent(WindowHandle window) = 0;
  virtual void ShowWindowCommand(WindowHandle window, int command) = 0;
  virtual void SetShowMainWindowOnStart(bool show) = 0;
  virtual WindowHandle ActiveControl() = 0;  // 0 when no control has the focus
  virtual WindowHandle ParentWindow(WindowHandle window) = 0;
  virtual void FocusWindow(WindowHandle window) = 0;
  // Puts before in front of the window's procedure; 0 when that failed.
  virtual HookHandle HookWindow(WindowHandle window, HookProc before) = 0;
  virtual void UnhookWindow(HookHandle hook) = 0;
};

}  // namespace sonavi

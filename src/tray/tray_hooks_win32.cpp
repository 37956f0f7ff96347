// Window subclassing for the tray icon's hooks: the hook sees a message first, then the
// window's saved procedure handles it as before.
#include <windows.h>

#include <map>
#include <utility>

#include "tray/tray_shell_win32.h"

namespace sonavi {

namespace {

struct WindowHook {
  HWND window = nullptr;  // null once the window is gone or the hook removed
  WNDPROC saved = nullptr;
  TrayShell::HookProc before;
  bool removed = false;
};

// Hooks in force, by window. Touched only on the thread that owns the windows.
std::map<HWND, WindowHook*>& Hooks() {
  static std::map<HWND, WindowHook*> hooks;
  return hooks;
}

LRESULT CALLBACK HookedWindowProc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam) {
  auto it = Hooks().find(window);
  if (it == Hooks().end()) return DefWindowProcA(window, msg, wparam, lparam);
  WindowHook* hook = it->second;
  const WNDPROC saved = hook->saved;
  // A copy, so that a hook removed while it runs is not cut short.
  const TrayShell::HookProc before = hook->before;
  if (before) before(msg, wparam, lparam);
  if (msg != WM_NCDESTROY) return CallWindowProcA(saved, window, msg, wparam, lparam);
  Hooks().erase(window);
  hook->window = nullptr;
  if (hook->removed) delete hook;
  return CallWindowProcA(saved, window, msg, wparam, lparam);
}

}  // namespace

HookHandle InstallWindowHook(WindowHandle window, TrayShell::HookProc before) {
  HWND hwnd = reinterpret_cast<HWND>(window);
  if (hwnd == nullptr || !IsWindow(hwnd) || Hooks().count(hwnd) != 0) return 0;
  auto* hook = new WindowHook{hwnd, nullptr, std::move(before)};
  Hooks()[hwnd] = hook;
  hook->saved = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HookedWindowProc)));
  if (hook->saved == nullptr) {
    Hooks().erase(hwnd);
    delete hook;
    return 0;
  }
  return reinterpret_cast<HookHandle>(hook);
}

void RemoveWindowHook(HookHandle handle) {
  auto* hook = reinterpret_cast<WindowHook*>(handle);
  if (hook == nullptr) return;
  hook->before = nullptr;
  hook->removed = true;
  HWND hwnd = hook->window;
  if (hwnd == nullptr) {
    delete hook;
    return;
  }
  const auto current = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
  if (current == &HookedWindowProc) {
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(hook->saved));
    Hooks().erase(hwnd);
    delete hook;
  }
  // Otherwise another procedure was put in front of ours later and still calls it: the
  // record stays and only passes messages on, until the window goes away.
}

}  // namespace sonavi

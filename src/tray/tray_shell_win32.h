// The tray icon's shell on the real system (Shell_NotifyIconA, a hidden window, window
// subclassing). Declared without <windows.h>; handles are the HWND values as numbers.
#pragma once

#include <functional>
#include <memory>

#include "tray/tray_shell.h"

namespace sonavi {

struct Win32TrayShellConfig {
  // The application's hidden top-level window, which the icon's hook watches for shell
  // restarts and minimising.
  WindowHandle application_window = 0;
  // The application's main window, 0 while it has none.
  std::function<WindowHandle()> main_window;
  // Told when the main window must stay hidden once the message loop starts.
  std::function<void(bool show)> show_main_window_on_start;
};

std::unique_ptr<TrayShell> CreateWin32TrayShell(Win32TrayShellConfig config);

// Subclasses window so that before sees each of its messages first; 0 when the window
// does not exist or already carries such a hook. Main thread only.
HookHandle InstallWindowHook(WindowHandle window, TrayShell::HookProc before);
// Puts the saved procedure back (when it is still the window's procedure in force).
void RemoveWindowHook(HookHandle hook);

}  // namespace sonavi

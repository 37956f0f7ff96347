#include "ui/dpi.h"

#include <commctrl.h>

namespace sonavi::ui {

namespace {

// A function of a system library that may be missing (newer than Windows 7); null then.
template <typename Function>
Function Lookup(const char* module, const char* name) {
  HMODULE handle = GetModuleHandleA(module);
  if (handle == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(handle, name)));
}

}  // namespace

UINT WindowDpi(HWND window) {
  static const auto get_dpi_for_window =
      Lookup<UINT(WINAPI*)(HWND)>("user32.dll", "GetDpiForWindow");
  if (get_dpi_for_window != nullptr) {
    const UINT dpi = get_dpi_for_window(window);
    if (dpi != 0) return dpi;
  }
  HDC dc = GetDC(window);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(window, dc);
  return dpi > 0 ? static_cast<UINT>(dpi) : kDesignDpi;
}

void EnableNonClientScaling(HWND window) {
  static const auto enable = Lookup<BOOL(WINAPI*)(HWND)>("user32.dll", "EnableNonClientDpiScaling");
  if (enable != nullptr) enable(window);
}

bool AddFrameForDpi(HWND window, UINT dpi, RECT* rect) {
  static const auto adjust = Lookup<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>(
      "user32.dll", "AdjustWindowRectExForDpi");
  return adjust != nullptr &&
         adjust(rect, static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE)), FALSE,
                static_cast<DWORD>(GetWindowLongPtrA(window, GWL_EXSTYLE)), dpi);
}

HICON LoadIconOfSize(HINSTANCE instance, int id, int size) {
  static const auto load = Lookup<HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*)>(
      "comctl32.dll", "LoadIconWithScaleDown");
  HICON icon = nullptr;
  if (load != nullptr && SUCCEEDED(load(instance, MAKEINTRESOURCEW(id), size, size, &icon))) {
    return icon;
  }
  return static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0));
}

HICON LoadSmallIcon(HINSTANCE instance, int id) {
  HICON icon = nullptr;
  if (FAILED(LoadIconMetric(instance, MAKEINTRESOURCEW(id), LIM_SMALL, &icon))) return nullptr;
  return icon;
}

}  // namespace sonavi::ui

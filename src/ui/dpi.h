// Screens of any pixel density: the windows are designed in pixels at 96 DPI (100 %) and
// drawn at the DPI of the monitor they are on. The calls newer than Windows 7 are looked up
// at run time, each with what Windows 7 offers in its place.
#pragma once

#include <windows.h>

namespace sonavi::ui {

inline constexpr UINT kDesignDpi = 96;

// A length designed at 96 DPI, in pixels at dpi.
inline int Scale(int value, UINT dpi) {
  return MulDiv(value, static_cast<int>(dpi), static_cast<int>(kDesignDpi));
}

// The DPI the window is drawn at: its monitor's (Windows 10), else the screen's; for no
// window, the system's.
UINT WindowDpi(HWND window);

// Lets the system scale the window's caption and frame with its monitor (where per-monitor
// DPI awareness is the first version, which does not do it by itself); from WM_NCCREATE.
void EnableNonClientScaling(HWND window);

// Grows the client rectangle rect of window by the frame the window has at dpi (Windows 10);
// false where the system cannot tell.
bool AddFrameForDpi(HWND window, UINT dpi, RECT* rect);

// The icon resource at size x size pixels, made from a larger image of it rather than a
// smaller one when it has none of that size (LoadIconWithScaleDown: Windows 7 has it, but
// the import library here lacks it, so it is looked up at run time).
HICON LoadIconOfSize(HINSTANCE instance, int id, int size);
// The icon resource at the size of the notification area's pictures (LoadIconMetric).
HICON LoadSmallIcon(HINSTANCE instance, int id);

}  // namespace sonavi::ui

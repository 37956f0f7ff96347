#include "about/link_label_win32.h"

#include <shellapi.h>
#include <windowsx.h>

namespace sonavi {

namespace {

constexpr char kLinkLabelClass[] = "SonaviLinkLabel";

void RegisterLinkLabelClass(HINSTANCE instance, WNDPROC proc) {
  WNDCLASSA wc = {};
  if (GetClassInfoA(instance, kLinkLabelClass, &wc)) return;
  // The second press of a double click comes as WM_LBUTTONDBLCLK, which is no press: a
  // double click opens the link once.
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND));
  wc.lpszClassName = kLinkLabelClass;
  RegisterClassA(&wc);
}

HFONT UnderlinedCopy(HFONT font) {
  LOGFONTA log = {};
  if (!font || !GetObjectA(font, sizeof(log), &log)) {
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof(log), &log);
  }
  log.lfUnderline = TRUE;
  return CreateFontIndirectA(&log);
}

}  // namespace

TLinkLabel::TLinkLabel(HWND parent, int id, const std::string& caption)
    : state_([this](const std::string& link) {
        // The label's form owns whatever the shell shows; its answer is not looked at.
        ShellExecuteA(GetAncestor(window_, GA_ROOT), "OPEN", link.c_str(), "", "", SW_SHOW);
      }) {
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE));
  RegisterLinkLabelClass(instance, &TLinkLabel::WindowProc);
  window_ =
      CreateWindowExA(0, kLinkLabelClass, caption.c_str(), WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                      parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, this);
}

TLinkLabel::~TLinkLabel() {
  if (window_) {
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
  if (font_) DeleteObject(font_);
}

void TLinkLabel::SetFontColor(TColor color) {
  state_.SetFontColor(color);
  InvalidateRect(window_, nullptr, TRUE);
}

void TLinkLabel::TrackLeave() {
  TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, window_, 0};
  TrackMouseEvent(&track);
}

void TLinkLabel::Paint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window_, &paint);
  // The parent chooses the background, as for its own labels.
  auto brush = reinterpret_cast<HBRUSH>(SendMessageA(GetParent(window_), WM_CTLCOLORSTATIC,
                                                     reinterpret_cast<WPARAM>(dc),
                                                     reinterpret_cast<LPARAM>(window_)));
  if (!brush) brush = GetSysColorBrush(COLOR_BTNFACE);
  RECT client;
  GetClientRect(window_, &client);
  FillRect(dc, &client, brush);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, static_cast<COLORREF>(state_.FontColor() & 0xFFFFFF));
  HGDIOBJ old = SelectObject(dc, font_);
  char caption[256] = {};
  const int length = GetWindowTextA(window_, caption, sizeof(caption));
  TextOutA(dc, 0, 0, caption, length);
  SelectObject(dc, old);
  EndPaint(window_, &paint);
}

LRESULT TLinkLabel::Dispatch(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_MOUSEMOVE:
      if (!hover_) {
        hover_ = true;
        TrackLeave();
        state_.MouseEnter();
        InvalidateRect(window_, nullptr, TRUE);
      }
      return 0;
    case WM_MOUSELEAVE:
      hover_ = false;
      state_.MouseLeave();
      InvalidateRect(window_, nullptr, TRUE);
      return 0;
    case WM_LBUTTONDOWN:
      pressed_ = true;
      SetCapture(window_);
      return 0;
    case WM_LBUTTONUP: {
      if (!pressed_) return 0;
      pressed_ = false;
      if (GetCapture() == window_) ReleaseCapture();
      RECT client;
      GetClientRect(window_, &client);
      const POINT point = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
      // A press that ends outside the label is no click.
      if (PtInRect(&client, point)) {
        state_.Click();
        InvalidateRect(window_, nullptr, TRUE);
      }
      // The capture may have kept the pointer's leaving from us.
      if (hover_) TrackLeave();
      return 0;
    }
    case WM_CAPTURECHANGED:
      pressed_ = false;
      return 0;
    case WM_SETFONT:
      if (font_) DeleteObject(font_);
      font_ = UnderlinedCopy(reinterpret_cast<HFONT>(wparam));
      if (LOWORD(lparam)) InvalidateRect(window_, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_);
    case WM_SETTEXT: {
      const LRESULT result = DefWindowProcA(window_, msg, wparam, lparam);
      InvalidateRect(window_, nullptr, TRUE);
      return result;
    }
    default:
      return DefWindowProcA(window_, msg, wparam, lparam);
  }
}

LRESULT CALLBACK TLinkLabel::WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lparam);
    auto* label = static_cast<TLinkLabel*>(create->lpCreateParams);
    label->window_ = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(label));
  }
  auto* label = reinterpret_cast<TLinkLabel*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!label) return DefWindowProcA(hwnd, msg, wparam, lparam);
  return label->Dispatch(msg, wparam, lparam);
}

}  // namespace sonavi

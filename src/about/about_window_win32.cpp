#include "about/about_window_win32.h"

#include <windowsx.h>

#include "../../resources/resource_ids.h"
#include "about/filever.h"
#include "ui/application.h"
#include "version.h"

namespace sonavi {

namespace {

constexpr int kClientWidth = 275;
constexpr int kClientHeight = 109;
constexpr COLORREF kBackground = RGB(237, 236, 227);
constexpr COLORREF kMaroon = RGB(128, 0, 0);
constexpr char kMaker[] = SONAVI_LEGAL_COPYRIGHT;
constexpr char kWebAddress[] = "http://www.borvane.pt";
constexpr char kMailAddress[] = "sonavi@borvane.pt";

HFONT BoldFont(int height) {
  return CreateFontA(height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif");
}

std::string WindowText(HWND window) {
  const int length = GetWindowTextLengthA(window);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  GetWindowTextA(window, text.data(), length + 1);
  text.resize(static_cast<size_t>(length));
  return text;
}

// Sizes a label to its text in its font, as labels that size themselves do.
void FitToText(HWND label) {
  const std::string text = WindowText(label);
  HDC dc = GetDC(label);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0)));
  SIZE size = {0, 0};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
  TEXTMETRICA metrics = {};
  GetTextMetricsA(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(label, dc);
  SetWindowPos(label, nullptr, 0, 0, size.cx, metrics.tmHeight,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

MouseButton ButtonOf(UINT msg) {
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
      return MouseButton::kLeft;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
      return MouseButton::kRight;
    default:
      return MouseButton::kMiddle;  // the middle button's messages
  }
}

}  // namespace

Tfsobre::Tfsobre() {
  background_ = CreateSolidBrush(kBackground);
  title_font_ = BoldFont(-16);  // 12 point
  bold_font_ = BoldFont(-11);   // 8 point
  ui::FormParams params;
  params.caption = "About...";
  params.width = kClientWidth;
  params.height = kClientHeight;
  params.border = ui::Border::kNone;
  CreateForm(params);

  HINSTANCE instance = ui::Application::Get().instance();
  // Without an icon resource the window simply shows none.
  icon_ = static_cast<HICON>(
      LoadImageA(instance, MAKEINTRESOURCEA(IDI_SONAVI), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));

  AddControl("BUTTON", "&OK", WS_TABSTOP | BS_DEFPUSHBUTTON, kButton1, 220, 76, 47, 25);
  SetDefaultButton(kButton1);

  HWND label1 =
      AddControl("STATIC", "Sonavi", SS_LEFT | SS_NOTIFY | SS_NOPREFIX, kLabel1, 48, 8, 217, 20);
  SendMessageA(label1, WM_SETFONT, reinterpret_cast<WPARAM>(title_font_), FALSE);
  AddBoldLabel(kLabel4, "Version %s", 48, 32, bold_font_);
  AddBoldLabel(kLabel5, kMaker, 48, 52, bold_font_);

  const HFONT font = ui::Application::Get().default_font();
  link_label1_ = std::make_unique<TLinkLabel>(handle(), kLinkLabel1, 48, 68, kWebAddress, font);
  link_label1_->SetLink(kWebAddress);
  link_label2_ = std::make_unique<TLinkLabel>(handle(), kLinkLabel2, 48, 84, kMailAddress, font);
  link_label2_->SetLink(std::string("mailto:") + kMailAddress);
  for (TLinkLabel* link : {link_label1_.get(), link_label2_.get()}) {
    link->SetEnterFontColor(clRed);
    link->SetLeaveFontColor(clBlue);
    link->SetVisitedColor(clBlue);
    link->SetFontColor(clBlue);
  }

  FormCreate();
}

Tfsobre::~Tfsobre() {
  link_label1_.reset();
  link_label2_.reset();
  if (icon_) DestroyIcon(icon_);
  DeleteObject(title_font_);
  DeleteObject(bold_font_);
  DeleteObject(background_);
}

HWND Tfsobre::AddBoldLabel(int id, const std::string& caption, int x, int y, HFONT font) {
  HWND label = AddControl("STATIC", caption, SS_LEFT | SS_NOTIFY | SS_NOPREFIX, id, x, y, 1, 1);
  SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  FitToText(label);
  return label;
}

void Tfsobre::FormCreate() {
  HWND label4 = Control(kLabel4);
  SetWindowTextA(
      label4, VersionLabelText(WindowText(label4), ShortFileVersion(), FullFileVersion()).c_str());
  FitToText(label4);
}

void Tfsobre::Button1Click() { Close(); }

void Tfsobre::OnCommand(int id, int code, HWND control) {
  // The OK button is the default and the cancel button: Enter and Escape press it too.
  if (id == kButton1 || id == IDCANCEL) {
    Button1Click();
    return;
  }
  Form::OnCommand(id, code, control);
}

void Tfsobre::OnShow() { SetFocus(Control(kButton1)); }

void Tfsobre::Shape1MouseDown(MouseButton button, int x, int y) { drag_.MouseDown(button, x, y); }

void Tfsobre::Shape1MouseMove(int x, int y) {
  const std::optional<Offset> offset = drag_.MouseMove(x, y);
  if (!offset || *offset == Offset{}) return;
  RECT rect;
  GetWindowRect(handle(), &rect);
  SetWindowPos(handle(), nullptr, rect.left + offset->dx, rect.top + offset->dy, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Tfsobre::Shape1MouseUp(MouseButton button) { drag_.MouseUp(button); }

void Tfsobre::Paint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(handle(), &paint);
  RECT client;
  GetClientRect(handle(), &client);
  // The background shape: the window's colour inside a 1-pixel black outline.
  HGDIOBJ old_pen = SelectObject(dc, GetStockObject(BLACK_PEN));
  HGDIOBJ old_brush = SelectObject(dc, background_);
  Rectangle(dc, client.left, client.top, client.right, client.bottom);
  SelectObject(dc, old_brush);
  SelectObject(dc, old_pen);
  if (icon_) DrawIconEx(dc, 7, 6, icon_, 32, 32, 0, nullptr, DI_NORMAL);
  EndPaint(handle(), &paint);
}

LRESULT Tfsobre::HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint();
      return 0;
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wparam);
      SetBkMode(dc, TRANSPARENT);
      const bool version = reinterpret_cast<HWND>(lparam) == Control(kLabel4);
      SetTextColor(dc, version ? kMaroon : RGB(0, 0, 0));
      return reinterpret_cast<LRESULT>(background_);
    }
    // The icon is drawn on the background, and both move the window; the press point
    // differs between them only by the icon's position, which a drag does not see.
    // The second press of a double click is a press like any other.
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
      SetCapture(handle());
      Shape1MouseDown(ButtonOf(msg), GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam));
      return 0;
    case WM_MOUSEMOVE:
      Shape1MouseMove(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam));
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      Shape1MouseUp(ButtonOf(msg));
      if ((wparam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) == 0 && GetCapture() == handle()) {
        ReleaseCapture();
      }
      return 0;
    case WM_CAPTURECHANGED:
      // Another window took the pointer away in the middle of a drag: it is over.
      if (reinterpret_cast<HWND>(lparam) != handle()) drag_.MouseUp(MouseButton::kLeft);
      return 0;
    default:
      return Form::HandleMessage(msg, wparam, lparam);
  }
}

}  // namespace sonavi

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

// "MS Sans Serif", bold: the name in 12 point, the other lines in 8.
constexpr ui::FontDesign kTitleFont = {"MS Sans Serif", 16, FW_BOLD, DEFAULT_PITCH | FF_DONTCARE};
constexpr ui::FontDesign kBoldFont = {"MS Sans Serif", 11, FW_BOLD, DEFAULT_PITCH | FF_DONTCARE};
// The program's icon, drawn on the background.
constexpr int kIconLeft = 7;
constexpr int kIconTop = 6;
constexpr int kIconSize = 32;

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
  ui::FormParams params;
  params.caption = "About...";
  params.width = kClientWidth;
  params.height = kClientHeight;
  params.border = ui::Border::kNone;
  CreateForm(params);

  LoadProgramIcon();

  AddControl("BUTTON", "&OK", WS_TABSTOP | BS_DEFPUSHBUTTON, kButton1, 220, 76, 47, 25);
  SetDefaultButton(kButton1);

  HWND label1 =
      AddControl("STATIC", "Sonavi", SS_LEFT | SS_NOTIFY | SS_NOPREFIX, kLabel1, 48, 8, 217, 20);
  SetControlFont(label1, kTitleFont);
  AddBoldLabel(kLabel4, "Version %s", 48, 32);
  AddBoldLabel(kLabel5, kMaker, 48, 52);

  link_label1_ = std::make_unique<TLinkLabel>(handle(), kLinkLabel1, kWebAddress);
  link_label1_->SetLink(kWebAddress);
  link_label2_ = std::make_unique<TLinkLabel>(handle(), kLinkLabel2, kMailAddress);
  link_label2_->SetLink(std::string("mailto:") + kMailAddress);
  Place(link_label1_->handle(), 48, 68, 0, 0);
  Place(link_label2_->handle(), 48, 84, 0, 0);
  for (TLinkLabel* link : {link_label1_.get(), link_label2_.get()}) {
    FitToText(link->handle());
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
  DeleteObject(background_);
}

void Tfsobre::AddBoldLabel(int id, const std::string& caption, int x, int y) {
  HWND label = AddControl("STATIC", caption, SS_LEFT | SS_NOTIFY | SS_NOPREFIX, id, x, y, 0, 0);
  SetControlFont(label, kBoldFont);
  FitToText(label);
}

void Tfsobre::LoadProgramIcon() {
  if (icon_) DestroyIcon(icon_);
  // Without an icon resource the window simply shows none.
  icon_ = ui::LoadIconOfSize(ui::Application::Get().instance(), IDI_SONAVI, Scale(kIconSize));
}

void Tfsobre::OnDpiChanged() { LoadProgramIcon(); }

void Tfsobre::FormCreate() {
  HWND label4 = Control(kLabel4);
  SetWindowTextA(
      label4,
      VersionLabelText(ui::WindowText(label4), ShortFileVersion(), FullFileVersion()).c_str());
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
  if (icon_) {
    DrawIconEx(dc, Scale(kIconLeft), Scale(kIconTop), icon_, Scale(kIconSize), Scale(kIconSize), 0,
               nullptr, DI_NORMAL);
  }
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

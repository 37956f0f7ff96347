#include "ui/form.h"

#include <commctrl.h>

#include <algorithm>

#include "ui/application.h"
#include "ui/grid.h"

namespace sonavi::ui {

namespace {

constexpr char kFormClass[] = "SonaviForm";
// WM_GETDPISCALEDSIZE (Windows 10), which the headers for Windows 7 lack.
constexpr UINT kGetDpiScaledSize = 0x02E4;

void RegisterFormClass(HINSTANCE instance, WNDPROC proc) {
  static bool registered = false;
  if (registered) return;
  WNDCLASSA wc = {};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(1));
  wc.lpszClassName = kFormClass;
  RegisterClassA(&wc);
  registered = true;
}

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

// The control's text in its font: as wide as the text, as high as the font.
SIZE TextSize(HWND control) {
  const std::string text = WindowText(control);
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
  SIZE size = {0, 0};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
  TEXTMETRICA metrics = {};
  GetTextMetricsA(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return SIZE{size.cx, metrics.tmHeight};
}

}  // namespace

std::string WindowText(HWND window) {
  const int length = GetWindowTextLengthA(window);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  GetWindowTextA(window, text.data(), length + 1);
  text.resize(static_cast<size_t>(length));
  return text;
}

Form::~Form() {
  Application::Get().RemoveForm(this);
  if (window_) {
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
}

void Form::CreateForm(const FormParams& params) {
  Application& app = Application::Get();
  RegisterFormClass(app.instance(), &Form::WindowProc);
  DWORD style = WS_CLIPCHILDREN;
  DWORD ex_style = 0;
  switch (params.border) {
    case Border::kDialog:
      style |= WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
      ex_style |= WS_EX_DLGMODALFRAME;
      break;
    case Border::kSingle:
      style |= WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
      break;
    case Border::kSizeable:
      style |= WS_OVERLAPPEDWINDOW;
      break;
    case Border::kNone:
      style |= WS_POPUP;
      break;
  }
  if (params.desktop_parent) ex_style |= WS_EX_APPWINDOW;
  RECT work;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  HWND parent = params.desktop_parent ? GetDesktopWindow() : app.handle();
  // Made on the monitor of the work area first, to learn its DPI and the frame drawn there.
  window_ =
      CreateWindowExA(ex_style, kFormClass, params.caption.c_str(), style, work.left, work.top,
                      params.width, params.height, parent, nullptr, app.instance(), this);
  dpi_ = WindowDpi(window_);
  design_width_ = params.width;
  design_height_ = params.height;
  fixed_client_ = !params.outer_size;
  if (fixed_client_) {
    SizeClientArea();
  } else {
    SetWindowPos(window_, nullptr, 0, 0, Scale(params.width), Scale(params.height),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client;
    GetClientRect(window_, &client);
    design_width_ = MulDiv(client.right, kDesignDpi, dpi_);
    design_height_ = MulDiv(client.bottom, kDesignDpi, dpi_);
  }
  // Centred; a window larger than the work area (at a high DPI on a small screen) keeps its
  // caption on the screen.
  RECT rect;
  GetWindowRect(window_, &rect);
  const int x = std::max(work.left, work.left + (work.right - work.left - Width(rect)) / 2);
  const int y = std::max(work.top, work.top + (work.bottom - work.top - Height(rect)) / 2);
  SetWindowPos(window_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  app.AddForm(this);
}

HWND Form::AddControl(const char* window_class, const std::string& text, DWORD style, int id, int x,
                      int y, int width, int height, unsigned anchors, DWORD ex_style) {
  Placed placed{nullptr, RECT{x, y, x + width, y + height}, anchors, &kDefaultFont, Fit::kNone};
  const RECT r = Bounds(placed);
  placed.control = CreateWindowExA(
      ex_style, window_class, text.c_str(), WS_CHILD | WS_VISIBLE | style, r.left, r.top, Width(r),
      Height(r), window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
      Application::Get().instance(), nullptr);
  controls_.push_back(placed);
  ApplyDpi(placed);
  return placed.control;
}

void Form::Place(HWND control, int x, int y, int width, int height, unsigned anchors) {
  controls_.push_back(
      {control, RECT{x, y, x + width, y + height}, anchors, &kDefaultFont, Fit::kNone});
  ApplyDpi(controls_.back());
  const RECT r = Bounds(controls_.back());
  SetWindowPos(control, nullptr, r.left, r.top, Width(r), Height(r), SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::SetControlFont(HWND control, const FontDesign& font) {
  if (Placed* placed = Find(control)) {
    placed->font = &font;
    ApplyDpi(*placed);
  }
}

void Form::FitToText(HWND control) { SetFit(control, Fit::kText); }

void Form::SetFit(HWND control, Fit fit) {
  if (Placed* placed = Find(control)) {
    placed->fit = fit;
    const RECT r = Bounds(*placed);
    SetWindowPos(control, nullptr, 0, 0, Width(r), Height(r),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void Form::SizeClientArea() {
  RECT window;
  GetWindowRect(window_, &window);
  RECT client;
  GetClientRect(window_, &client);
  SetWindowPos(window_, nullptr, 0, 0, Width(window) + Scale(design_width_) - client.right,
               Height(window) + Scale(design_height_) - client.bottom,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

Form::Placed* Form::Find(HWND control) {
  for (Placed& placed : controls_) {
    if (placed.control == control) return &placed;
  }
  return nullptr;
}

void Form::ApplyDpi(const Placed& placed) {
  SendMessageA(placed.control, WM_SETFONT,
               reinterpret_cast<WPARAM>(Application::Get().Font(*placed.font, dpi_)), FALSE);
  if (Grid* grid = Grid::FromHandle(placed.control)) grid->SetDpi(dpi_);
}

HWND Form::AddButton(int id, const std::string& caption, int x, int y, int width, int height,
                     unsigned anchors) {
  return AddControl("BUTTON", caption, WS_TABSTOP | BS_PUSHBUTTON, id, x, y, width, height,
                    anchors);
}

HWND Form::AddLabel(const std::string& caption, int x, int y, int width, int height, int id) {
  HWND label = AddControl("STATIC", caption, SS_LEFT, id, x, y, width, height);
  SetFit(label, Fit::kLineHeight);
  return label;
}

HWND Form::AddEdit(int id, const std::string& text, int x, int y, int width, int height,
                   unsigned anchors) {
  return AddControl("EDIT", text, WS_TABSTOP | ES_AUTOHSCROLL, id, x, y, width, height, anchors,
                    WS_EX_CLIENTEDGE);
}

std::string Form::Text(int id) const { return WindowText(Control(id)); }

void Form::SetText(int id, const std::string& text) { SetWindowTextA(Control(id), text.c_str()); }

void Form::Show() {
  // Hidden, the window may have missed the move to a monitor of another DPI (Windows does
  // not always tell hidden windows): it comes up at its monitor's DPI, its size scaled.
  if (const UINT dpi = WindowDpi(window_); dpi != dpi_) {
    RECT rect;
    GetWindowRect(window_, &rect);
    rect.right = rect.left + MulDiv(Width(rect), static_cast<int>(dpi), static_cast<int>(dpi_));
    rect.bottom = rect.top + MulDiv(Height(rect), static_cast<int>(dpi), static_cast<int>(dpi_));
    ChangeDpi(dpi, rect);
  }
  const bool was_visible = Visible();
  ShowWindow(window_, SW_SHOW);
  if (!was_visible) OnShow();
  SetForegroundWindow(window_);
  // As a dialog does: unless the form chose otherwise, the keyboard goes to its first
  // control, not to the bare window, where keys would do nothing.
  if (!IsChild(window_, GetFocus())) {
    HWND first = GetNextDlgTabItem(window_, nullptr, FALSE);
    if (first != nullptr) SetFocus(first);
  }
}

void Form::Hide() { ShowWindow(window_, SW_HIDE); }

bool Form::Visible() const { return IsWindowVisible(window_) != FALSE; }

void Form::Close() {
  if (modal_) {
    if (modal_result_ == 0) modal_result_ = IDCANCEL;
  } else {
    Hide();
  }
}

int Form::ShowModal() {
  Application& app = Application::Get();
  // Every other window of the program is disabled while the form is up.
  std::vector<HWND> disabled;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND hwnd, LPARAM param) CALLBACK -> BOOL {
        auto* list = reinterpret_cast<std::vector<HWND>*>(param);
        if (IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) list->push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&disabled));
  for (HWND hwnd : disabled) EnableWindow(hwnd, FALSE);
  modal_ = true;
  modal_result_ = 0;
  Show();
  while (modal_result_ == 0 && !app.terminated()) {
    if (!app.ProcessOneMessage()) WaitMessage();
  }
  for (HWND hwnd : disabled) EnableWindow(hwnd, TRUE);
  Hide();
  modal_ = false;
  const int result = modal_result_ ? modal_result_ : IDCANCEL;
  modal_result_ = 0;
  return result;
}

bool Form::PreviewKey(MSG&) { return false; }

void Form::OnCommand(int id, int, HWND) {
  if (id == IDCANCEL) Close();
}

LRESULT Form::OnNotify(NMHDR*) { return 0; }

LRESULT Form::HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcA(window_, msg, wparam, lparam);
}

RECT Form::Bounds(const Placed& placed) const {
  // The edges scaled, not the sizes: controls that touch at 96 DPI touch at every DPI.
  const RECT& design = placed.design;
  int x = Scale(design.left);
  int y = Scale(design.top);
  int width = Scale(design.right) - x;
  int height = Scale(design.bottom) - y;
  if (placed.fit != Fit::kNone) {
    const SIZE text = TextSize(placed.control);
    if (placed.fit == Fit::kText) width = text.cx;
    height = placed.fit == Fit::kText ? text.cy : std::max<int>(height, text.cy);
  }
  // Anchored to the right or bottom edge: keeps its distance from that edge however the
  // client area differs from the design's.
  RECT client;
  GetClientRect(window_, &client);
  const int dx = client.right - Scale(design_width_);
  const int dy = client.bottom - Scale(design_height_);
  if (placed.anchors & kAnchorRight) {
    if (placed.anchors & kAnchorLeft) {
      width += dx;
    } else {
      x += dx;
    }
  }
  if (placed.anchors & kAnchorBottom) {
    if (placed.anchors & kAnchorTop) {
      height += dy;
    } else {
      y += dy;
    }
  }
  return RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
}

void Form::Layout() {
  HDWP batch = BeginDeferWindowPos(static_cast<int>(controls_.size()));
  for (const Placed& placed : controls_) {
    const RECT r = Bounds(placed);
    batch = DeferWindowPos(batch, placed.control, nullptr, r.left, r.top, Width(r), Height(r),
                           SWP_NOZORDER | SWP_NOACTIVATE);
  }
  EndDeferWindowPos(batch);
  OnLayout();
}

void Form::ChangeDpi(UINT dpi, const RECT& suggested) {
  dpi_ = dpi;
  for (const Placed& placed : controls_) ApplyDpi(placed);
  SetWindowPos(window_, nullptr, suggested.left, suggested.top, Width(suggested), Height(suggested),
               SWP_NOZORDER | SWP_NOACTIVATE);
  // A size scaled as a whole (before Windows 10, and when shown) scaled the frame too: the
  // client area is set right again.
  if (fixed_client_) SizeClientArea();
  Layout();
  OnDpiChanged();
  RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

LRESULT Form::Dispatch(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_COMMAND:
      OnCommand(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam));
      return 0;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lparam);
      LRESULT result = 0;
      if (Grid* grid = Grid::FromHandle(header->hwndFrom);
          grid && grid->HandleNotify(header, &result)) {
        return result;
      }
      return OnNotify(header);
    }
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_NEXTDLGCTL: {
      // Sent by the dialog keys (a label's accelerator moves on to the control after it);
      // only dialog windows handle it by themselves.
      HWND target = reinterpret_cast<HWND>(wparam);
      if (LOWORD(lparam) == 0) {
        HWND focus = GetFocus();
        target = GetNextDlgTabItem(window_, IsChild(window_, focus) ? focus : nullptr, wparam != 0);
      }
      if (target != nullptr) SetFocus(target);
      return 0;
    }
    case DM_GETDEFID:
      return default_button_ ? MAKELRESULT(default_button_, DC_HASDEFID) : 0;
    case WM_SIZE:
      if (wparam != SIZE_MINIMIZED) Layout();
      break;
    case WM_GETMINMAXINFO:
      if (min_width_ > 0) {
        auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
        info->ptMinTrackSize.x = Scale(min_width_);
        info->ptMinTrackSize.y = Scale(min_height_);
        return 0;
      }
      break;
    case kGetDpiScaledSize:
      // Asked before a move to a monitor of another DPI: a window of fixed client size answers
      // its exact size there, so it is sized once, not scaled as a whole and then corrected.
      if (fixed_client_) {
        const UINT dpi = static_cast<UINT>(wparam);
        RECT rect = {0, 0, ui::Scale(design_width_, dpi), ui::Scale(design_height_, dpi)};
        if (AddFrameForDpi(window_, dpi, &rect)) {
          *reinterpret_cast<SIZE*>(lparam) = SIZE{Width(rect), Height(rect)};
          return TRUE;
        }
      }
      break;
    case WM_DPICHANGED:
      // Moved to a monitor of another DPI: the suggested rectangle keeps the window where
      // it was on the screen, at its size for the new DPI.
      ChangeDpi(LOWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
      return 0;
    default:
      break;
  }
  return HandleMessage(msg, wparam, lparam);
}

LRESULT CALLBACK Form::WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lparam);
    auto* form = static_cast<Form*>(create->lpCreateParams);
    form->window_ = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    EnableNonClientScaling(hwnd);
  }
  auto* form = reinterpret_cast<Form*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!form) return DefWindowProcA(hwnd, msg, wparam, lparam);
  return form->Dispatch(msg, wparam, lparam);
}

}  // namespace sonavi::ui

#include "ui/form.h"

#include <commctrl.h>

#include "ui/application.h"
#include "ui/grid.h"

namespace sonavi::ui {

namespace {

constexpr char kFormClass[] = "SonaviForm";

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

}  // namespace

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
  RECT rect = {0, 0, params.width, params.height};
  if (!params.outer_size) AdjustWindowRectEx(&rect, style, FALSE, ex_style);
  const int outer_width = rect.right - rect.left;
  const int outer_height = rect.bottom - rect.top;
  RECT work;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  const int x = work.left + (work.right - work.left - outer_width) / 2;
  const int y = work.top + (work.bottom - work.top - outer_height) / 2;
  HWND parent = params.desktop_parent ? GetDesktopWindow() : app.handle();
  window_ = CreateWindowExA(ex_style, kFormClass, params.caption.c_str(), style, x, y, outer_width,
                            outer_height, parent, nullptr, app.instance(), this);
  RECT client;
  GetClientRect(window_, &client);
  design_width_ = client.right;
  design_height_ = client.bottom;
  app.AddForm(this);
}

HWND Form::AddControl(const char* window_class, const std::string& text, DWORD style, int id, int x,
                      int y, int width, int height, unsigned anchors, DWORD ex_style) {
  HWND control =
      CreateWindowExA(ex_style, window_class, text.c_str(), WS_CHILD | WS_VISIBLE | style, x, y,
                      width, height, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                      Application::Get().instance(), nullptr);
  SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(Application::Get().default_font()),
               FALSE);
  if (anchors != (kAnchorLeft | kAnchorTop)) {
    anchored_.push_back({control, RECT{x, y, x + width, y + height}, anchors});
  }
  return control;
}

HWND Form::AddButton(int id, const std::string& caption, int x, int y, int width, int height,
                     unsigned anchors) {
  return AddControl("BUTTON", caption, WS_TABSTOP | BS_PUSHBUTTON, id, x, y, width, height,
                    anchors);
}

HWND Form::AddLabel(const std::string& caption, int x, int y, int width, int height, int id) {
  return AddControl("STATIC", caption, SS_LEFT, id, x, y, width, height);
}

HWND Form::AddEdit(int id, const std::string& text, int x, int y, int width, int height,
                   unsigned anchors) {
  return AddControl("EDIT", text, WS_TABSTOP | ES_AUTOHSCROLL, id, x, y, width, height, anchors,
                    WS_EX_CLIENTEDGE);
}

std::string Form::Text(int id) const {
  HWND control = Control(id);
  const int length = GetWindowTextLengthA(control);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  GetWindowTextA(control, text.data(), length + 1);
  text.resize(static_cast<size_t>(length));
  return text;
}

void Form::SetText(int id, const std::string& text) { SetWindowTextA(Control(id), text.c_str()); }

void Form::Show() {
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

void Form::Reanchor() {
  RECT client;
  GetClientRect(window_, &client);
  const int dx = client.right - design_width_;
  const int dy = client.bottom - design_height_;
  HDWP batch = BeginDeferWindowPos(static_cast<int>(anchored_.size()));
  for (const Anchored& a : anchored_) {
    RECT r = a.rect;
    if (a.anchors & kAnchorRight) {
      if (!(a.anchors & kAnchorLeft)) r.left += dx;
      r.right += dx;
    }
    if (a.anchors & kAnchorBottom) {
      if (!(a.anchors & kAnchorTop)) r.top += dy;
      r.bottom += dy;
    }
    batch = DeferWindowPos(batch, a.control, nullptr, r.left, r.top, r.right - r.left,
                           r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  EndDeferWindowPos(batch);
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
      if (wparam != SIZE_MINIMIZED && !anchored_.empty()) Reanchor();
      break;
    case WM_GETMINMAXINFO:
      if (min_width_ > 0) {
        auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
        info->ptMinTrackSize.x = min_width_;
        info->ptMinTrackSize.y = min_height_;
        return 0;
      }
      break;
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
  }
  auto* form = reinterpret_cast<Form*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!form) return DefWindowProcA(hwnd, msg, wparam, lparam);
  return form->Dispatch(msg, wparam, lparam);
}

}  // namespace sonavi::ui

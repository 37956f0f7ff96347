#include "phonebook/phone_book_window_win32.h"

#include <commctrl.h>

#include <cctype>
#include <utility>

namespace sonavi {

namespace {

constexpr int kButtonWidth = 57;
constexpr int kButtonHeight = 23;
constexpr int kButtonGap = 4;
constexpr int kPanelWidth = 177;
constexpr int kPanelHeight = 49;

}  // namespace

Tfagenda::Tfagenda(FileSystem& files, FilePath path, Locale& locale, MessageBoxes& boxes,
                   const Settings& settings)
    : settings_(settings),
      actions_(files, std::move(path), locale, boxes),
      dialer_(Dialer::Hooks{[this](const std::string& command, int timeout_ms) {
                              return links_.send_modem_command(command, timeout_ms);
                            },
                            [this] { return links_.modem_ready(); },
                            [this] { return settings_.speaker_off; }, [this] { ShowPanel(); },
                            [this] { HidePanel(); }},
              boxes) {
  // Outer size 600 x 400, resizable down to 600 x 200, with its own taskbar button.
  CreateForm({"Agenda", 600, 400, true, ui::Border::kSizeable, true});
  SetMinTrackSize(600, 200);
  const SIZE client = DesignClientSize();
  const int row_y = client.cy - kButtonHeight - 6;

  // Created in tab order.
  AddEdit(kEdit1, "", 8, row_y + 1, 249, 21, ui::kAnchorLeft | ui::kAnchorBottom);
  AddButton(kButton1, "&Procurar", 8 + 249 + 6, row_y, kButtonWidth, kButtonHeight,
            ui::kAnchorLeft | ui::kAnchorBottom);
  SendMessageA(Control(kButton1), BM_SETSTYLE, BS_DEFPUSHBUTTON, FALSE);
  SetDefaultButton(kButton1);

  // The grid fills the window above the bottom row.
  sg_ = std::make_unique<ui::Grid>(handle(), kSg);
  Place(sg_->handle(), 0, 0, client.cx, row_y - 6, ui::kAnchorAll);
  // The panel shown while dialling is drawn over the grid, not under it.
  SetWindowLongPtrA(sg_->handle(), GWL_STYLE,
                    GetWindowLongPtrA(sg_->handle(), GWL_STYLE) | WS_CLIPSIBLINGS);
  sg_->AddColumn("Nome", 389);
  sg_->AddColumn("Telefone", 157);
  sg_->SetCellText([this](int row, int column) -> std::string {
    const PhoneBook& table = actions_.book();
    if (row < 0 || static_cast<size_t>(row) >= table.size()) return std::string();
    return column == 0 ? table.row(static_cast<size_t>(row)).name
                       : table.row(static_cast<size_t>(row)).phone;
  });

  const unsigned right_bottom = ui::kAnchorRight | ui::kAnchorBottom;
  int x = client.cx - 8 - 4 * kButtonWidth - 3 * kButtonGap;
  for (auto [id, caption] : {std::pair{kBadicionar, "&Adicionar"}, std::pair{kBeditar, "&Editar"},
                             std::pair{kBremover, "&Remover"}, std::pair{kButton2, "&Marcar"}}) {
    AddButton(id, caption, x, row_y, kButtonWidth, kButtonHeight, right_bottom);
    x += kButtonWidth + kButtonGap;
  }
  // Only its accelerator is ever used: outside the client area, out of the tab order.
  AddControl("BUTTON", "&z", BS_PUSHBUTTON, kZ, -200, -200, kButtonWidth, kButtonHeight);
  HWND panel =
      AddControl("STATIC", kDiallingText, SS_CENTER | SS_CENTERIMAGE, kPanel1, 0, 0, kPanelWidth,
                 kPanelHeight, ui::kAnchorLeft | ui::kAnchorTop, WS_EX_DLGMODALFRAME);
  ShowWindow(panel, SW_HIDE);

  FormCreate();
}

Tfagenda::~Tfagenda() = default;

void Tfagenda::FormCreate() {
  loaded_ = actions_.Load();
  Refresh();
}

void Tfagenda::Refresh() {
  sg_->SetRowCount(static_cast<int>(actions_.book().size()));
  sg_->Select(static_cast<int>(actions_.book().selected()));
}

void Tfagenda::OnShow() {
  HWND edit = Control(kEdit1);
  SetFocus(edit);
  last_focus_ = edit;
}

void Tfagenda::Button1Click() {
  if (actions_.Search(Text(kEdit1))) sg_->Select(static_cast<int>(actions_.book().selected()));
}

void Tfagenda::badicionarClick() {
  if (actions_.Add(*links_.entry_dialog)) Refresh();
}

void Tfagenda::beditarClick() {
  if (actions_.Edit(*links_.entry_dialog)) Refresh();
}

void Tfagenda::bremoverClick() {
  if (actions_.Remove()) Refresh();
}

void Tfagenda::Button2Click() {
  const std::string telephone = actions_.book().selected_row().phone;
  dialer_.Dial(telephone);
}

void Tfagenda::zClick() { links_.toggle_main_window(); }

void Tfagenda::ShowPanel() {
  CentrePanel(SWP_SHOWWINDOW);
  // The exchanges that follow block the thread: paint now.
  UpdateWindow(Control(kPanel1));
}

void Tfagenda::CentrePanel(UINT flags) {
  RECT client;
  GetClientRect(handle(), &client);
  const int width = Scale(kPanelWidth);
  const int height = Scale(kPanelHeight);
  SetWindowPos(Control(kPanel1), HWND_TOP, client.right / 2 - width / 2,
               client.bottom / 2 - height / 2, width, height, flags);
}

void Tfagenda::OnLayout() {
  // While it is up, the panel stays in the middle of the window.
  if (GetWindowLongPtrA(Control(kPanel1), GWL_STYLE) & WS_VISIBLE) {
    CentrePanel(SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void Tfagenda::HidePanel() { ShowWindow(Control(kPanel1), SW_HIDE); }

void Tfagenda::Click(int id) {
  switch (id) {
    case kButton1:
      Button1Click();
      break;
    case kBadicionar:
      badicionarClick();
      break;
    case kBeditar:
      beditarClick();
      break;
    case kBremover:
      bremoverClick();
      break;
    case kButton2:
      Button2Click();
      break;
    case kZ:
      zClick();
      break;
    default:
      break;
  }
}

bool Tfagenda::Accelerator(char letter) {
  switch (std::tolower(static_cast<unsigned char>(letter))) {
    case 'p':
      Click(kButton1);
      return true;
    case 'a':
      Click(kBadicionar);
      return true;
    case 'e':
      Click(kBeditar);
      return true;
    case 'r':
      Click(kBremover);
      return true;
    case 'm':
      Click(kButton2);
      return true;
    case 'z':
      Click(kZ);
      return true;
    default:
      return false;
  }
}

bool Tfagenda::IsButton(HWND control) const {
  for (int id : {kButton1, kBadicionar, kBeditar, kBremover, kButton2, kZ}) {
    if (control == Control(id)) return true;
  }
  return false;
}

bool Tfagenda::PreviewKey(MSG& msg) {
  const bool in_grid = msg.hwnd == sg_->handle();
  switch (msg.message) {
    case WM_KEYDOWN:
      switch (msg.wParam) {
        case VK_ESCAPE:
          Hide();
          return true;
        case VK_RETURN:
          // Return presses a focused button; anywhere else it searches.
          if (IsButton(msg.hwnd)) {
            Click(GetDlgCtrlID(msg.hwnd));
          } else {
            Button1Click();
          }
          return true;
        case VK_DELETE:
          if (!in_grid) return false;
          bremoverClick();
          return true;
        default:
          return false;
      }
    case WM_SYSCHAR:
      return Accelerator(static_cast<char>(msg.wParam));
    case WM_CHAR:
      // The search box takes plain letters as text.
      return (in_grid || IsButton(msg.hwnd)) && Accelerator(static_cast<char>(msg.wParam));
    default:
      return false;
  }
}

void Tfagenda::OnCommand(int id, int code, HWND) {
  if (id == IDCANCEL) {
    Hide();
  } else if (id == IDOK) {
    Button1Click();
  } else if (code == BN_CLICKED) {
    Click(id);
  }
}

LRESULT Tfagenda::OnNotify(NMHDR* header) {
  if (!sg_) return 0;
  if (header->hwndFrom == sg_->handle()) {
    switch (header->code) {
      case NM_DBLCLK:
        beditarClick();
        return 0;
      case LVN_ITEMCHANGED: {
        const auto* change = reinterpret_cast<NMLISTVIEW*>(header);
        if (change->iItem >= 0 && (change->uChanged & LVIF_STATE) &&
            (change->uNewState & LVIS_SELECTED) && !(change->uOldState & LVIS_SELECTED)) {
          actions_.book().Select(static_cast<size_t>(change->iItem));
        }
        return 0;
      }
      default:
        break;
    }
  }
  return ui::Form::OnNotify(header);
}

LRESULT Tfagenda::HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
  // The focus comes back to the control that had it when the window is reactivated.
  if (msg == WM_ACTIVATE) {
    if (LOWORD(wparam) == WA_INACTIVE) {
      HWND focus = GetFocus();
      if (focus && IsChild(handle(), focus)) last_focus_ = focus;
    } else if (last_focus_ && !HIWORD(wparam)) {
      SetFocus(last_focus_);
      return 0;
    }
  }
  return ui::Form::HandleMessage(msg, wparam, lparam);
}

}  // namespace sonavi

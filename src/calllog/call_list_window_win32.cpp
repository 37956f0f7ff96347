#include "calllog/call_list_window_win32.h"

#include <windowsx.h>

namespace sonavi {

namespace {

enum ControlId { kGrid = 100, kLimpar1 = 101 };

}  // namespace

Tlistcham::Tlistcham(FileSystem& files, Clock& clock, Locale& locale, MessageBoxes& boxes,
                     const FilePath& path)
    : boxes_(boxes), calls_(files, clock, locale, path) {
  CreateForm({"Lista de Chamadas", 597, 339, true, ui::Border::kSizeable, true});
  // The grid grows and shrinks with the window.
  sg_ = std::make_unique<ui::Grid>(handle(), kGrid);
  Place(sg_->handle(), 8, 8, 572, 292, ui::kAnchorAll);

  popup_menu_ = CreatePopupMenu();
  AppendMenuA(popup_menu_, MF_STRING, kLimpar1, "Limpar");

  // FormCreate.
  sg_->AddColumn("Data", 97);
  sg_->AddColumn("Hora", 100);
  sg_->AddColumn("Telefone", 117);
  sg_->AddColumn("Nome", 220);
  sg_->SetCellText([this](int row, int column) -> std::string {
    const auto& rows = calls_.rows();
    if (row < 0 || static_cast<size_t>(row) >= rows.size()) return std::string();
    const CallRecord& record = rows[row];
    switch (column) {
      case 0:
        return record.date;
      case 1:
        return record.time;
      case 2:
        return record.number;
      case 3:
        return record.name;
      default:
        return std::string();
    }
  });
  loaded_ = calls_.LoadCallList();
  Refresh();
}

Tlistcham::~Tlistcham() {
  if (popup_menu_) DestroyMenu(popup_menu_);
}

void Tlistcham::Refresh() {
  sg_->SetRowCount(static_cast<int>(calls_.rows().size()));
  sg_->Select(static_cast<int>(calls_.selected()));
}

Status Tlistcham::AddCall(const std::string& number, const std::string& name) {
  const Status status = calls_.AddCall(number, name);
  Refresh();
  return status;
}

void Tlistcham::Limpar1Click() {
  const Status status = calls_.Clear(boxes_);
  Refresh();
  if (!status.ok()) boxes_.ShowError(status.message());
}

void Tlistcham::OnShow() {
  // FormShow: the newest call is the current row.
  calls_.SelectNewest();
  Refresh();
}

bool Tlistcham::PreviewKey(MSG& msg) {
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
    Close();
    return true;
  }
  return false;
}

void Tlistcham::ShowPopupMenu(LPARAM where) {
  POINT point{GET_X_LPARAM(where), GET_Y_LPARAM(where)};
  if (point.x == -1 && point.y == -1) {  // from the keyboard: at the grid's corner
    point = POINT{0, 0};
    ClientToScreen(sg_->handle(), &point);
  }
  const int command = TrackPopupMenu(popup_menu_, TPM_RETURNCMD | TPM_RIGHTBUTTON, point.x, point.y,
                                     0, handle(), nullptr);
  if (command == kLimpar1) Limpar1Click();
}

LRESULT Tlistcham::HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_CONTEXTMENU:
      if (sg_ && reinterpret_cast<HWND>(wparam) == sg_->handle()) {
        ShowPopupMenu(lparam);
        return 0;
      }
      break;
    default:
      break;
  }
  return ui::Form::HandleMessage(msg, wparam, lparam);
}

}  // namespace sonavi

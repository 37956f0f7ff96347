#include "ui/grid.h"

#include <commctrl.h>

#include <algorithm>

#include "ui/dpi.h"

namespace sonavi::ui {

namespace {

constexpr char kGridProperty[] = "SonaviGrid";
constexpr int kRowHeight = 16;

}  // namespace

Grid::Grid(HWND parent, int id) {
  list_ = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL |
                              LVS_SHOWSELALWAYS | LVS_OWNERDATA,
                          0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                          reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE)),
                          nullptr);
  ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  SetRowHeight();
  SetPropA(list_, kGridProperty, this);
  SetWindowSubclass(list_, &Grid::ListProc, 0, reinterpret_cast<DWORD_PTR>(this));
}

Grid::~Grid() {
  RemoveWindowSubclass(list_, &Grid::ListProc, 0);
  RemovePropA(list_, kGridProperty);
}

LRESULT CALLBACK Grid::ListProc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                DWORD_PTR grid) {
  const LRESULT result = DefSubclassProc(window, msg, wparam, lparam);
  if ((msg >= WM_KEYFIRST && msg <= WM_KEYLAST) || (msg >= WM_LBUTTONDOWN && msg <= WM_MOUSELAST)) {
    reinterpret_cast<Grid*>(grid)->KeepCurrentRow();
  }
  return result;
}

void Grid::KeepCurrentRow() {
  const int row = SelectedRow();
  if (row >= 0) {
    current_ = row;
  } else {
    Select(std::min(current_, rows_ - 1));
  }
}

Grid* Grid::FromHandle(HWND window) {
  return window ? static_cast<Grid*>(GetPropA(window, kGridProperty)) : nullptr;
}

void Grid::AddColumn(const std::string& title, int width) {
  LVCOLUMNA column = {};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  column.pszText = const_cast<char*>(title.c_str());
  column.cx = Scale(width, dpi_);
  column.iSubItem = columns_;
  SendMessageA(list_, LVM_INSERTCOLUMNA, columns_, reinterpret_cast<LPARAM>(&column));
  ++columns_;
}

void Grid::SetDpi(UINT dpi) {
  if (dpi == dpi_) return;
  for (int i = 0; i < columns_; ++i) {
    ListView_SetColumnWidth(list_, i, MulDiv(ListView_GetColumnWidth(list_, i), dpi, dpi_));
  }
  dpi_ = dpi;
  SetRowHeight();
}

void Grid::SetRowHeight() {
  // The list view makes its rows as high as its small images: a one-pixel-wide list sets
  // the row height (the list view destroys the list it holds with itself).
  HIMAGELIST old = ListView_SetImageList(
      list_, ImageList_Create(1, Scale(kRowHeight, dpi_), ILC_COLOR, 1, 0), LVSIL_SMALL);
  if (old != nullptr) ImageList_Destroy(old);
}

void Grid::SetRowCount(int rows) {
  rows_ = rows;
  SendMessageA(list_, LVM_SETITEMCOUNT, rows, LVSICF_NOSCROLL);
  InvalidateRect(list_, nullptr, TRUE);
}

void Grid::Select(int row) {
  if (row < 0 || row >= rows_) return;
  current_ = row;
  ListView_SetItemState(list_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_SetItemState(list_, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_EnsureVisible(list_, row, FALSE);
}

int Grid::SelectedRow() const {
  return static_cast<int>(SendMessageA(list_, LVM_GETNEXTITEM, -1, LVNI_SELECTED));
}

bool Grid::HandleNotify(NMHDR* header, LRESULT* result) {
  if (header->hwndFrom != list_) return false;
  switch (header->code) {
    case LVN_GETDISPINFOA: {
      auto* info = reinterpret_cast<NMLVDISPINFOA*>(header);
      if ((info->item.mask & LVIF_TEXT) && cell_text_ && info->item.cchTextMax > 0) {
        buffer_ = cell_text_(info->item.iItem, info->item.iSubItem);
        lstrcpynA(info->item.pszText, buffer_.c_str(), info->item.cchTextMax);
      }
      *result = 0;
      return true;
    }
    case LVN_ODFINDITEMA:
    case LVN_ODFINDITEMW:
      // The type-ahead search of a typed character: no row matches, the current row stays.
      *result = -1;
      return true;
    case NM_CLICK:
    case NM_RCLICK:
      // Sent from inside the list view's button handling, before the window acts on the
      // click (the popup menu of a right click runs there): the window sees it too.
      KeepCurrentRow();
      return false;
    default:
      return false;
  }
}

}  // namespace sonavi::ui

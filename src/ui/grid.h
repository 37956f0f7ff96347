// A string grid: a report-style list view over a table the form keeps (virtual rows,
// so tables of any size show at once). Whole-row selection, grid lines, resizable
// columns, rows 16 pixels high at 96 DPI, no in-place editing and no type-ahead search: a
// typed character leaves the current row where it is. The first row is the title row. A
// grid with rows always has a current row: after any key or mouse input that leaves no row
// selected (a click below the last row), the current row is selected again; for a click,
// before the window hears of it (its handler, its popup menu).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/dpi.h"

namespace sonavi::ui {

class Grid {
 public:
  using CellText = std::function<std::string(int row, int column)>;

  // Creates the list view as a child of parent, for the parent to place and give its font;
  // row numbers are 0-based data rows.
  Grid(HWND parent, int id);
  ~Grid();
  Grid(const Grid&) = delete;
  Grid& operator=(const Grid&) = delete;
  HWND handle() const { return list_; }

  // width at 96 DPI.
  void AddColumn(const std::string& title, int width);
  // Rows and columns for the DPI the grid is drawn at; the columns keep the widths the
  // user gave them, in proportion. Each move rounds them to the pixel, so after many moves
  // a column may be a pixel or two off its width at 96 DPI, too little to be worth keeping
  // the widths in 96-DPI units through every change the user makes.
  void SetDpi(UINT dpi);
  // The table's cells, asked for as the rows are drawn.
  void SetCellText(CellText cell_text) { cell_text_ = std::move(cell_text); }
  // Tells the grid the table changed: new row count, everything redrawn.
  void SetRowCount(int rows);
  int RowCount() const { return rows_; }
  // Selects and focuses a row and scrolls it into view.
  void Select(int row);
  int SelectedRow() const;

  // The grid of a window that sent a notification (its WM_NOTIFY sender), or null.
  static Grid* FromHandle(HWND window);
  // Answers the list view's questions about the table (a ui::Form passes them on by
  // itself); true when the notification was one of them.
  bool HandleNotify(NMHDR* header, LRESULT* result);

 private:
  static LRESULT CALLBACK ListProc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                   DWORD_PTR grid);
  // The selected row becomes the current one; with none selected, the current row is
  // selected again.
  void KeepCurrentRow();
  void SetRowHeight();

  HWND list_;
  int rows_ = 0;
  int current_ = 0;
  int columns_ = 0;
  UINT dpi_ = kDesignDpi;
  CellText cell_text_;
  std::string buffer_;
};

}  // namespace sonavi::ui

// The call list window "Lista de Chamadas": the call log in a read-only grid, newest row
// current when shown, "Limpar" on the grid's popup menu, Escape hides. It stands on its
// own on the taskbar (the desktop is its parent).
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "calllog/call_list.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/locale.h"
#include "platform/message_box.h"
#include "ui/form.h"
#include "ui/grid.h"

namespace sonavi {

class Tlistcham : public ui::Form {
 public:
  // Loads the file at once; shows nothing (see loaded()).
  Tlistcham(FileSystem& files, Clock& clock, Locale& locale, MessageBoxes& boxes,
            const FilePath& path);
  ~Tlistcham() override;

  // How loading the call list went, for start-up to show.
  const Status& loaded() const { return loaded_; }

  // Records a call in the grid and in the file. A failing file keeps the row and
  // returns the error's text for the caller to show.
  Status AddCall(const std::string& number, const std::string& name);

  const CallList& calls() const { return calls_; }
  int GridSelectedRow() const { return sg_->SelectedRow(); }
  int GridRowCount() const { return sg_->RowCount(); }
  HWND grid_handle() const { return sg_->handle(); }

  // "Limpar" from the grid's popup menu.
  void Limpar1Click();

  bool PreviewKey(MSG& msg) override;

 protected:
  void OnShow() override;
  LRESULT HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  // Tells the grid the rows changed and selects the list's current row.
  void Refresh();
  void ShowPopupMenu(LPARAM where);

  MessageBoxes& boxes_;
  CallList calls_;
  Status loaded_;
  std::unique_ptr<ui::Grid> sg_;
  HMENU popup_menu_ = nullptr;
};

}  // namespace sonavi

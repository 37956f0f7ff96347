#include "phonebook/entry_dialog_win32.h"

#include <cctype>

namespace sonavi {

Tfinserir::Tfinserir() {
  CreateForm({"Agenda", 413, 127, false, ui::Border::kDialog, false});
  AddLabel("&Nome:", 16, 20, 50, 13);
  AddEdit(kEdit1, "", 80, 16, 309, 21);
  AddLabel("&Telefone:", 16, 52, 60, 13);
  AddEdit(kEdit2, "", 80, 48, 121, 21);
  AddButton(kButton3, "&OK", 232, 88, 75, 25);
  AddButton(kButton1, "&Cancelar", 314, 88, 75, 25);
  SendMessageA(Control(kButton3), BM_SETSTYLE, BS_DEFPUSHBUTTON, FALSE);
  SetDefaultButton(kButton3);
}

bool Tfinserir::Run(std::string* name, std::string* phone) {
  EntryName = *name;
  EntryPhone = *phone;
  if (ShowModal() != IDOK) return false;
  *name = EntryName;
  *phone = EntryPhone;
  return true;
}

void Tfinserir::OnShow() {
  SetText(kEdit1, EntryName);
  SetText(kEdit2, EntryPhone);
  FocusEdit(kEdit1);
}

void Tfinserir::Button3Click() {
  // A refused entry keeps the dialog open with what the user typed.
  if (AcceptEntry(Text(kEdit1), Text(kEdit2), &EntryName, &EntryPhone)) SetModalResult(IDOK);
}

void Tfinserir::Cancel() { SetModalResult(IDCANCEL); }

void Tfinserir::FocusEdit(int id) {
  HWND edit = Control(id);
  SetFocus(edit);
  SendMessageA(edit, EM_SETSEL, 0, -1);
  last_focus_ = edit;
}

bool Tfinserir::Accelerator(char letter) {
  switch (std::tolower(static_cast<unsigned char>(letter))) {
    case 'n':
      FocusEdit(kEdit1);
      return true;
    case 't':
      FocusEdit(kEdit2);
      return true;
    case 'o':
      Button3Click();
      return true;
    case 'c':
      Cancel();
      return true;
    default:
      return false;
  }
}

bool Tfinserir::PreviewKey(MSG& msg) {
  const bool on_button = msg.hwnd == Control(kButton3) || msg.hwnd == Control(kButton1);
  switch (msg.message) {
    case WM_KEYDOWN:
      if (msg.wParam == VK_RETURN) {
        // Return presses the focused button, otherwise the default one.
        if (msg.hwnd == Control(kButton1)) {
          Cancel();
        } else {
          Button3Click();
        }
        return true;
      }
      if (msg.wParam == VK_ESCAPE) {
        Cancel();
        return true;
      }
      return false;
    case WM_SYSCHAR:
      return Accelerator(static_cast<char>(msg.wParam));
    case WM_CHAR:
      // In the edit boxes letters are text.
      return on_button && Accelerator(static_cast<char>(msg.wParam));
    default:
      return false;
  }
}

void Tfinserir::OnCommand(int id, int code, HWND) {
  if (code != BN_CLICKED) return;
  if (id == kButton3) {
    Button3Click();
  } else if (id == kButton1) {
    Cancel();
  }
}

LRESULT Tfinserir::HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
  // The focus comes back to the control that had it when the dialog is reactivated.
  if (msg == WM_ACTIVATE) {
    if (LOWORD(wparam) == WA_INACTIVE) {
      HWND focus = GetFocus();
      if (focus && IsChild(handle(), focus)) last_focus_ = focus;
    } else if (last_focus_) {
      SetFocus(last_focus_);
      return 0;
    }
  }
  return ui::Form::HandleMessage(msg, wparam, lparam);
}

}  // namespace sonavi

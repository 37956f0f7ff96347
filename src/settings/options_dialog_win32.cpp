#include "settings/options_dialog_win32.h"

#include "platform/locale.h"
#include "serial/comm_port_list.h"

namespace sonavi {

Tfopcoes::Tfopcoes(Settings& settings, Registry& registry, MessageBoxes& boxes)
    : choice_(settings, registry, boxes, UserLocale(), [this] { reinitialise_(); }) {
  CreateForm({"Opções", 262, 126, false, ui::Border::kDialog, false});
  // The label stands above the list (and comes just before it, so its accelerator focuses
  // the list), and the check box may wrap: the texts fit whatever font the system
  // substitutes for "MS Sans Serif".
  AddLabel("&Porta onde está ligado o modem:", 8, 8, 246, 15, kLabel1);
  // The items go in already in the sorted list's order.
  AddControl("COMBOBOX", "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, kComboBox1, 8, 25, 65,
             200);
  AddControl("BUTTON", "&Desligar o altifalante do modem ao marcar",
             WS_TABSTOP | BS_AUTOCHECKBOX | BS_MULTILINE, kCbDesligAltif, 8, 52, 246, 30);
  AddControl("BUTTON", "&OK", WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, 48, 92, 75, 25);
  AddButton(IDCANCEL, "&Cancelar", 136, 92, 75, 25);
  SetDefaultButton(IDOK);

  // FormCreate.
  choice_.Fill(CurrentWindowsVersion());
  for (const std::string& item : choice_.items()) {
    SendMessageA(combo_box(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
  }
  SendMessageA(combo_box(), CB_SETCURSEL, choice_.selected(), 0);
  SendMessageA(check_box(), BM_SETCHECK, choice_.speaker_off() ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Tfopcoes::ShowAtStartIfNoPort() {
  if (choice_.OpensAtStart()) ShowModal();
}

void Tfopcoes::Button3Click() {
  const int selected = static_cast<int>(SendMessageA(combo_box(), CB_GETCURSEL, 0, 0));
  const bool checked = SendMessageA(check_box(), BM_GETCHECK, 0, 0) == BST_CHECKED;
  choice_.Confirm(selected, checked);
  SetModalResult(IDOK);
}

void Tfopcoes::OnCommand(int id, int code, HWND control) {
  if (id == IDOK && code == BN_CLICKED) {
    Button3Click();
    return;
  }
  ui::Form::OnCommand(id, code, control);
}

}  // namespace sonavi

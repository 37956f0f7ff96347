// The entry dialog: a name and a telephone typed for the phone book, shown modally.
#pragma once

#include <windows.h>

#include <string>

#include "phonebook/phone_book_actions.h"
#include "ui/form.h"

namespace sonavi {

class Tfinserir : public ui::Form, public EntryDialog {
 public:
  enum ControlId {
    kEdit1 = 101,  // name
    kEdit2,        // telephone
    kButton3 = IDOK,
    kButton1 = IDCANCEL,
  };

  Tfinserir();

  // The entry passed in before showing and read back after OK.
  std::string EntryName;
  std::string EntryPhone;

  // EntryDialog.
  bool Run(std::string* name, std::string* phone) override;

  bool PreviewKey(MSG& msg) override;

 protected:
  void OnCommand(int id, int code, HWND control) override;
  void OnShow() override;
  LRESULT HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  void Button3Click();
  void Cancel();
  // Runs the control that the letter of a caption stands for; false when none does.
  bool Accelerator(char letter);
  void FocusEdit(int id);

  HWND last_focus_ = nullptr;
};

}  // namespace sonavi

// The phone book window: the table in a grid, the search box, the add, edit, remove and
// dial buttons. Created hidden at start; closing it only hides it.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "phonebook/dialer.h"
#include "phonebook/phone_book_actions.h"
#include "platform/files.h"
#include "platform/locale.h"
#include "platform/message_box.h"
#include "settings/settings.h"
#include "ui/form.h"
#include "ui/grid.h"

namespace sonavi {

class Tfagenda : public ui::Form {
 public:
  enum ControlId {
    kSg = 201,
    kEdit1,
    kButton1,  // procurar
    kBadicionar,
    kBeditar,
    kBremover,
    kButton2,  // marcar
    kZ,
    kPanel1,
  };

  // What the window needs from the other windows.
  struct Links {
    EntryDialog* entry_dialog = nullptr;  // for "Adicionar" and "Editar"
    // The blocking modem command exchange (command, time-out in ms) -> reply.
    std::function<std::string(const std::string& command, int timeout_ms)> send_modem_command;
    std::function<bool()> modem_ready;
    // Shows the main window if hidden, hides it if shown.
    std::function<void()> toggle_main_window;
  };

  // Loads the phone book from path; shows nothing (see loaded()).
  Tfagenda(FileSystem& files, FilePath path, Locale& locale, MessageBoxes& boxes,
           const Settings& settings);
  ~Tfagenda() override;

  // Called once every window exists, before anything runs the message loop.
  void Link(Links links) { links_ = std::move(links); }
  // How loading the phone book went, for start-up to show.
  const Status& loaded() const { return loaded_; }

  // The name stored for a telephone number; empty when the number is not in the book.
  std::string LookupName(const std::string& number) const { return actions_.LookupName(number); }
  const PhoneBook& book() const { return actions_.book(); }

  bool PreviewKey(MSG& msg) override;

 protected:
  void OnCommand(int id, int code, HWND control) override;
  LRESULT OnNotify(NMHDR* header) override;
  void OnShow() override;
  void OnLayout() override;
  LRESULT HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  void FormCreate();
  void Button1Click();
  void badicionarClick();
  void beditarClick();
  void bremoverClick();
  void Button2Click();
  void zClick();
  void Click(int id);
  // Runs the control that the letter of a caption stands for; false when none does.
  bool Accelerator(char letter);
  bool IsButton(HWND control) const;
  // Shows the table's rows and selection.
  void Refresh();
  void ShowPanel();
  void HidePanel();
  // Puts the panel in the middle of the window, at the window's DPI.
  void CentrePanel(UINT flags);

  const Settings& settings_;
  Links links_;
  PhoneBookActions actions_;
  Status loaded_;
  Dialer dialer_;
  std::unique_ptr<ui::Grid> sg_;
  HWND last_focus_ = nullptr;
};

}  // namespace sonavi

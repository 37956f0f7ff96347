// The about window: the program's name, its version as read from the executable, the
// maker's notice and links, and an OK button. It has no frame; the user moves it by
// dragging its background or its icon.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "about/about_window.h"
#include "about/link_label_win32.h"
#include "ui/form.h"

namespace sonavi {

class Tfsobre : public ui::Form {
 public:
  enum ControlId {
    kLabel1 = 101,
    kLabel4 = 102,
    kLabel5 = 103,
    kLinkLabel1 = 104,
    kLinkLabel2 = 105,
    kButton1 = IDOK,
  };

  // Creates the window hidden, with its version line filled in.
  Tfsobre();
  ~Tfsobre() override;

  TLinkLabel& LinkLabel1() { return *link_label1_; }
  TLinkLabel& LinkLabel2() { return *link_label2_; }

 protected:
  void OnCommand(int id, int code, HWND control) override;
  void OnShow() override;
  void OnDpiChanged() override;
  LRESULT HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  void FormCreate();
  void Button1Click();
  // The background and the icon take part in dragging.
  void Shape1MouseDown(MouseButton button, int x, int y);
  void Shape1MouseMove(int x, int y);
  void Shape1MouseUp(MouseButton button);
  void Paint();
  void AddBoldLabel(int id, const std::string& caption, int x, int y);
  // The program's icon at the window's DPI.
  void LoadProgramIcon();

  HBRUSH background_ = nullptr;
  HICON icon_ = nullptr;
  WindowDrag drag_;
  std::unique_ptr<TLinkLabel> link_label1_;
  std::unique_ptr<TLinkLabel> link_label2_;
};

}  // namespace sonavi

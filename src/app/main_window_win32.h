// The main window: owner of the caller-ID machinery (serial port, timers, tray icon)
// and, when made visible, the diagnostic panel with the modem log.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "app/monitor.h"
#include "platform/registry.h"
#include "platform/timer.h"
#include "serial/comm_api.h"
#include "serial/serial_port.h"
#include "settings/settings.h"
#include "tray/tray_icon.h"
#include "tray/tray_shell.h"
#include "ui/form.h"

namespace sonavi {

class TForm1 : public ui::Form, public MonitorHost {
 public:
  // The other windows' services the monitor and the tray menu use, each wired as soon as
  // its window exists; until then a menu item does nothing and callers are held.
  struct Links {
    std::function<std::string(const std::string&)> lookup_name;
    std::function<Status(const std::string&, const std::string&)> add_call;
    // The tray menu's windows.
    std::function<void()> show_phone_book;
    std::function<void()> show_call_list;
    std::function<void()> show_options;  // modal, unless already shown
    std::function<void()> show_about;    // modal, unless already shown
  };

  TForm1(CommApi& comm_api, Registry& registry);
  ~TForm1() override;

  Links& links() { return links_; }
  Monitor& monitor() { return monitor_; }
  Settings& settings() { return settings_; }

  // Brings h to the foreground; true if it is the foreground window afterwards.
  static bool ForceForegroundWindow(HWND h);

  // MonitorHost.
  void AppendLog(const std::string& line) override;
  std::string LookupName(const std::string& number) override;
  Status AddCall(const std::string& number, const std::string& name) override;
  bool CallsReady() override;
  void ShowBalloon(const std::string& title, const std::string& text) override;
  void SetIconIndex(int index) override;
  void SetHint(const std::string& hint) override;
  void ShowError(const std::string& text) override;

 protected:
  void OnCommand(int id, int code, HWND control) override;
  void OnClose() override;

 private:
  void CreateTrayIcon();
  void FormCreate();
  void Agenda1Click();
  void ListadeChamadas1Click();

  Registry& registry_;
  TSerialPort serial_port1_;
  Settings settings_;
  Monitor monitor_;
  Links links_;
  std::unique_ptr<Timer> timer1_;
  std::unique_ptr<Timer> timer2_;
  HICON tray_pictures_[2] = {};
  HMENU popup_menu1_ = nullptr;
  std::unique_ptr<TrayShell> tray_shell_;
  std::unique_ptr<TTrayIcon> tray_icon1_;
};

}  // namespace sonavi

// The main window: owner of the caller-ID machinery (serial port, timers, tray icon)
// and, when made visible, the diagnostic panel with the modem log.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>

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
  // The other windows: the phone book's look-up and the call list's record for the
  // monitor, and the windows of the tray menu.
  struct Links {
    std::function<std::string(const std::string&)> lookup_name;
    std::function<Status(const std::string&, const std::string&)> add_call;
    ui::Form* phone_book = nullptr;
    ui::Form* call_list = nullptr;
    ui::Form* options = nullptr;
    ui::Form* about = nullptr;
  };

  // Builds the window, its tray icon and its timers, and reads the settings; shows nothing.
  TForm1(CommApi& comm_api, Registry& registry);
  ~TForm1() override;

  // Called once every window exists, before anything runs the message loop.
  void Link(Links links) { links_ = std::move(links); }
  // The main window's part of start-up: the timers start; then the settings' error box,
  // or else the first supervision step.
  void FormCreate();
  // Once the message loop has ended, before any window goes.
  void StopTimers();

  Monitor& monitor() { return monitor_; }
  Settings& settings() { return settings_; }

  // Brings h to the foreground; true if it is the foreground window afterwards.
  static bool ForceForegroundWindow(HWND h);

  // MonitorHost.
  void AppendLog(const std::string& line) override;
  std::string LookupName(const std::string& number) override;
  Status AddCall(const std::string& number, const std::string& name) override;
  void ShowBalloon(const std::string& title, const std::string& text) override;
  void SetIconIndex(int index) override;
  void SetHint(const std::string& hint) override;
  void ShowError(const std::string& text) override;

 protected:
  void OnCommand(int id, int code, HWND control) override;
  void OnClose() override;

 private:
  void CreateTrayIcon();
  void Agenda1Click();
  void ListadeChamadas1Click();

  TSerialPort serial_port1_;
  Settings settings_;
  Status settings_loaded_;
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

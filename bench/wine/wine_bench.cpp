// The caller-ID path of the program, timed under Wine: the real serial port on a COM port
// (kernel32), the monitor with its 100 ms parser, and the tray icon over the real shell,
// whose requests are timed as they reach the shell. Times are QueryPerformanceCounter
// microseconds, which Wine counts on the host's CLOCK_MONOTONIC_RAW, so they compare
// with the simulated modem's --log-sent times.
//
//   wine_bench COMn OUTFILE CALLS
//
// OUTFILE gets "<us> start" at entry, "<us> add" when the icon is put in the tray,
// "<us> info <balloon text>" for each balloon request and "<us> modify" for any other
// change (picture, tip); on the way there, "<us> cluster <size>" when the parser takes a
// block and "<us> filed <balloon text>" when the monitor asks for a balloon. It ends
// once CALLS caller balloons have been requested (or after 15 minutes).
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>

#include "app/monitor.h"
#include "platform/clock.h"
#include "platform/sound.h"
#include "serial/comm_api.h"
#include "serial/serial_link.h"
#include "serial/serial_port.h"
#include "settings/settings.h"
#include "tray/tray_icon.h"
#include "tray/tray_shell_win32.h"
#include "ui/application.h"

namespace sonavi {
namespace {

constexpr char kCallerText[] = "Está a receber uma chamada telefónica originária do número: ";
constexpr UINT kLongestRunMs = 15 * 60 * 1000;

long long NowMicroseconds() {
  static const long long frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f.QuadPart;
  }();
  LARGE_INTEGER count;
  QueryPerformanceCounter(&count);
  return count.QuadPart / frequency * 1000000 + count.QuadPart % frequency * 1000000 / frequency;
}

// Appends timed lines to the output file; called from the main thread and the tray
// update worker.
class Record {
 public:
  explicit Record(const char* path) : file_(std::fopen(path, "wb")) {}
  ~Record() {
    if (file_) std::fclose(file_);
  }
  bool ok() const { return file_ != nullptr; }
  void Line(long long us, const std::string& what) {
    std::lock_guard<std::mutex> lock(lock_);
    std::fprintf(file_, "%lld %s\n", us, what.c_str());
    std::fflush(file_);
  }

 private:
  std::mutex lock_;
  std::FILE* file_;
};

// The real shell, with the icon's arrival and every balloon request timed first.
class TimedShell : public TrayShell {
 public:
  TimedShell(std::unique_ptr<TrayShell> shell, Record& record, int calls)
      : shell_(std::move(shell)), record_(record), calls_left_(calls) {}

  bool NotifyIcon(uint32_t request, const TrayNotifyData& data) override {
    const long long now = NowMicroseconds();
    if (request == kNimAdd) record_.Line(now, "add");
    if (request == kNimModify && (data.uFlags & kNifInfo) != 0 && data.szInfo[0] != '\0') {
      record_.Line(now, std::string("info ") + data.szInfo);
      if (std::string(data.szInfo).rfind(kCallerText, 0) == 0 && --calls_left_ == 0) {
        done_ = true;
      }
    } else if (request == kNimModify) {
      record_.Line(now, "modify");
    }
    return shell_->NotifyIcon(request, data);
  }
  bool done() const { return done_; }

  uint32_t RegisterMessage(const std::string& name) override {
    return shell_->RegisterMessage(name);
  }
  WindowHandle CreateMessageWindow(MessageProc proc) override {
    return shell_->CreateMessageWindow(std::move(proc));
  }
  void DestroyMessageWindow(WindowHandle window) override { shell_->DestroyMessageWindow(window); }
  IconHandle CopyPicture(IconHandle icon) override { return shell_->CopyPicture(icon); }
  void DestroyPicture(IconHandle icon) override { shell_->DestroyPicture(icon); }
  IconHandle LoadDefaultPicture() override { return shell_->LoadDefaultPicture(); }
  bool CursorPos(int* x, int* y) override { return shell_->CursorPos(x, y); }
  bool AsyncKeyDown(int virtual_key) override { return shell_->AsyncKeyDown(virtual_key); }
  uint32_t DoubleClickTime() override { return shell_->DoubleClickTime(); }
  void ProcessMessages() override { shell_->ProcessMessages(); }
  void SetForeground(WindowHandle window) override { shell_->SetForeground(window); }
  void PostWindowMessage(WindowHandle window, uint32_t msg, uintptr_t wparam,
                         intptr_t lparam) override {
    shell_->PostWindowMessage(window, msg, wparam, lparam);
  }
  void OpenPopupMenu(MenuHandle menu, int x, int y, WindowHandle command_window) override {
    shell_->OpenPopupMenu(menu, x, y, command_window);
  }
  void ClickDefaultMenuItem(MenuHandle menu, WindowHandle command_window) override {
    shell_->ClickDefaultMenuItem(menu, command_window);
  }
  WindowHandle ApplicationWindow() override { return shell_->ApplicationWindow(); }
  WindowHandle MainWindow() override { return shell_->MainWindow(); }
  bool IsMdiParent(WindowHandle window) override { return shell_->IsMdiParent(window); }
  void ShowWindowCommand(WindowHandle window, int command) override {
    shell_->ShowWindowCommand(window, command);
  }
  void SetShowMainWindowOnStart(bool show) override { shell_->SetShowMainWindowOnStart(show); }
  WindowHandle ActiveControl() override { return shell_->ActiveControl(); }
  WindowHandle ParentWindow(WindowHandle window) override { return shell_->ParentWindow(window); }
  void FocusWindow(WindowHandle window) override { shell_->FocusWindow(window); }
  HookHandle HookWindow(WindowHandle window, HookProc before) override {
    return shell_->HookWindow(window, std::move(before));
  }
  void UnhookWindow(HookHandle hook) override { shell_->UnhookWindow(hook); }

 private:
  std::unique_ptr<TrayShell> shell_;
  Record& record_;
  int calls_left_;
  std::atomic<bool> done_{false};
};

// The serial port, with the parser's taking of each block timed.
class TimedLink : public SerialLink {
 public:
  TimedLink(SerialLink& link, Record& record) : link_(link), record_(record) {}
  int32_t PeekClusterSize() override { return link_.PeekClusterSize(); }
  std::string ReadClusterText() override {
    std::string text = link_.ReadClusterText();
    record_.Line(NowMicroseconds(), "cluster " + std::to_string(text.size()));
    return text;
  }
  void SendText(const std::string& text) override { link_.SendText(text); }
  void SetCommPort(const std::string& port) override { link_.SetCommPort(port); }
  void SetActive(bool active) override { link_.SetActive(active); }
  bool Active() const override { return link_.Active(); }
  bool DeviceGone() const override { return link_.DeviceGone(); }

 private:
  SerialLink& link_;
  Record& record_;
};

// What the main window gives the monitor, without windows: no log, no phone book, no
// file; balloons, picture and tip go to the tray icon.
class BenchHost : public MonitorHost {
 public:
  explicit BenchHost(Record& record) : record_(record) {}
  void SetIcon(TTrayIcon* icon) { icon_ = icon; }
  void AppendLog(const std::string&) override {}
  std::string LookupName(const std::string&) override { return std::string(); }
  Status AddCall(const std::string&, const std::string&) override { return Status::Ok(); }
  void ShowBalloon(const std::string& title, const std::string& text) override {
    record_.Line(NowMicroseconds(), "filed " + text);
    icon_->ShowBalloon(title, text, TBalloonIconKind::biNone, 15);
  }
  void SetIconIndex(int index) override { icon_->SetIconIndex(index); }
  void SetHint(const std::string& hint) override { icon_->SetHint(hint); }
  void ShowError(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }

 private:
  Record& record_;
  TTrayIcon* icon_ = nullptr;
};

class SilentSound : public Sound {
 public:
  void PlayRing() override {}
};

}  // namespace
}  // namespace sonavi

int main(int argc, char** argv) {
  using namespace sonavi;
  const long long started = NowMicroseconds();
  if (argc != 4) {
    std::fprintf(stderr, "usage: wine_bench COMn OUTFILE CALLS\n");
    return 2;
  }
  Record record(argv[2]);
  if (!record.ok()) return 1;
  record.Line(started, "start");
  const int calls = std::atoi(argv[3]);

  ui::Application app(GetModuleHandleA(nullptr));
  TSerialPort port(SystemCommApi(), &app);
  port.SetErrorNoise(255);
  port.SetThreadQuietMode(true);
  Settings settings;
  settings.modem_port = argv[1];
  BenchHost host(record);
  SilentSound sound;
  TimedLink link(port, record);
  Monitor monitor(link, SystemClock(), sound, host, settings);

  TimedShell shell(
      CreateWin32TrayShell(
          {reinterpret_cast<WindowHandle>(app.handle()), [] { return WindowHandle{0}; }, {}}),
      record, calls);
  TTrayIcon icon(TrayIconContext{shell, app, app, SystemClock(), 0});
  host.SetIcon(&icon);
  icon.Loaded();

  std::unique_ptr<Timer> timer1 = app.Create([&] {
    monitor.Timer1Timer();
    if (shell.done()) app.Terminate();
  });
  timer1->SetInterval(100);
  std::unique_ptr<Timer> timer2 = app.Create([&] { monitor.Timer2Timer(); });
  timer2->SetInterval(60000);
  std::unique_ptr<Timer> limit = app.Create([&] { app.Terminate(); });
  limit->SetInterval(kLongestRunMs);
  monitor.SetModemReady(false);
  monitor.Timer2Timer();
  timer1->SetEnabled(true);
  timer2->SetEnabled(true);
  limit->SetEnabled(true);
  app.Run();
  port.SetActive(false);
  return 0;
}

// Program entry: one instance per user session, no taskbar button, the windows created
// once in their fixed order, then the message loop until "Sair".
#include <objbase.h>
#include <windows.h>

#include "about/about_window_win32.h"
#include "app/main_window_win32.h"
#include "calllog/call_list_window_win32.h"
#include "phonebook/entry_dialog_win32.h"
#include "phonebook/phone_book_window_win32.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/locale.h"
#include "platform/registry.h"
#include "serial/comm_api.h"
#include "settings/options_dialog_win32.h"
#include "ui/application.h"

namespace {

constexpr char kAlreadyRunning[] = "Este programa já se encontra em execução.";

// The main thread is a single-threaded COM apartment for the whole run, as ShellExecute
// (the about window's links) asks of its callers.
class ComApartment {
 public:
  ComApartment()
      : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {
  }
  ~ComApartment() {
    if (ok_) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool ok_;
};

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  using namespace sonavi;
  // The handle stays open for the life of the process.
  CreateMutexA(nullptr, FALSE, "Sonavi");
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    MessageBoxA(nullptr, kAlreadyRunning, kAppTitle, MB_OK | MB_ICONERROR);
    return 0;
  }

  const ComApartment com;
  ui::Application app(instance);
  // The application window owns every window of the program; as a tool window it keeps
  // the program off the taskbar and out of the task list.
  HWND app_window = app.handle();
  SetWindowLongA(app_window, GWL_EXSTYLE,
                 GetWindowLongA(app_window, GWL_EXSTYLE) | WS_EX_TOOLWINDOW);
  app.SetTitle(kAppTitle);

  Registry& registry = SystemRegistry();
  // Creation order: the main window reads the settings and opens the modem; the options
  // dialog opens by itself on a first run; then the phone book and the call list load.
  // Their error boxes run the message loop, and with it the timers and the tray menu: each
  // window is linked to the main window as soon as it exists.
  TForm1 form1(SystemCommApi(), registry);
  app.SetMainForm(&form1);
  TForm1::Links& links = form1.links();
  Tfopcoes fopcoes(form1.settings(), registry, app, [&form1] {
    form1.monitor().SetModemReady(false);
    form1.monitor().Timer2Timer();
  });
  links.show_options = [&fopcoes] {
    if (!fopcoes.Visible()) fopcoes.ShowModal();
  };
  fopcoes.ShowAtStartIfNoPort();
  const FilePath exe_path = ExecutablePath();
  Tfinserir finserir;
  Tfagenda::Links phone_book_links;
  phone_book_links.send_modem_command = [&form1](const std::string& command, int timeout_ms) {
    return form1.monitor().SendModemCommand(command, timeout_ms);
  };
  phone_book_links.modem_ready = [&form1] { return form1.monitor().ModemReady(); };
  phone_book_links.toggle_main_window = [&form1] {
    if (form1.Visible()) {
      form1.Hide();
    } else {
      form1.Show();
    }
  };
  Tfagenda fagenda(SystemFileSystem(), DataFilePath(exe_path, kPhoneBookFileName), UserLocale(),
                   app, finserir, form1.settings(), std::move(phone_book_links));
  links.lookup_name = [&fagenda](const std::string& number) { return fagenda.LookupName(number); };
  links.show_phone_book = [&fagenda] {
    fagenda.Show();
    TForm1::ForceForegroundWindow(fagenda.handle());
  };
  Tlistcham listcham(SystemFileSystem(), SystemClock(), UserLocale(), app,
                     DataFilePath(exe_path, kCallListFileName));
  links.add_call = [&listcham](const std::string& number, const std::string& name) {
    return listcham.AddCall(number, name);
  };
  links.show_call_list = [&listcham] {
    listcham.Show();
    TForm1::ForceForegroundWindow(listcham.handle());
  };
  Tfsobre fsobre;
  links.show_about = [&fsobre] {
    if (!fsobre.Visible()) fsobre.ShowModal();
  };

  app.Run();
  return 0;
}

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
  const FilePath exe_path = ExecutablePath();
  // Every window first, in creation order, each loading what it holds but showing nothing.
  TForm1 form1(SystemCommApi(), registry);
  app.SetMainForm(&form1);
  Tfopcoes fopcoes(form1.settings(), registry, app);
  Tfagenda fagenda(SystemFileSystem(), DataFilePath(exe_path, kPhoneBookFileName), UserLocale(),
                   app, form1.settings());
  Tfinserir finserir;
  Tlistcham listcham(SystemFileSystem(), SystemClock(), UserLocale(), app,
                     DataFilePath(exe_path, kCallListFileName));
  Tfsobre fsobre;

  // Then linked, all at once, before anything runs the message loop.
  fopcoes.Link([&form1] {
    form1.monitor().SetModemReady(false);
    form1.monitor().Timer2Timer();
  });
  fagenda.Link({.entry_dialog = &finserir,
                .send_modem_command =
                    [&form1](const std::string& command, int timeout_ms) {
                      return form1.monitor().SendModemCommand(command, timeout_ms);
                    },
                .modem_ready = [&form1] { return form1.monitor().ModemReady(); },
                .toggle_main_window = [&form1] { form1.Visible() ? form1.Hide() : form1.Show(); }});
  form1.Link(
      {.lookup_name = [&fagenda](const std::string& number) { return fagenda.LookupName(number); },
       .add_call = [&listcham](const std::string& number,
                               const std::string& name) { return listcham.AddCall(number, name); },
       .phone_book = &fagenda,
       .call_list = &listcham,
       .options = &fopcoes,
       .about = &fsobre});

  // Only now does start-up speak to the user, in the order of its effects. Its boxes and
  // dialogs run the message loop, and with it the timers and the tray menu: a call heard
  // under one is named, recorded and announced as at any other time.
  const auto show_failure = [&app](const Status& status) {
    if (!status.ok()) app.ShowError(status.message());
  };
  app.Run({[&form1] { form1.FormCreate(); }, [&fopcoes] { fopcoes.ShowAtStartIfNoPort(); },
           [&] { show_failure(fagenda.loaded()); }, [&] { show_failure(listcham.loaded()); }});
  // Nothing ticks into a window being destroyed.
  form1.StopTimers();
  return 0;
}

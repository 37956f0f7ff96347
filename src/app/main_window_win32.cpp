#include "app/main_window_win32.h"

#include "platform/locale.h"
#include "resources/resource_ids.h"
#include "tray/tray_shell_win32.h"
#include "ui/application.h"

namespace sonavi {

namespace {

enum ControlId {
  kMemo1 = 100,
  kEdit1,
  kButton1,  // enviar
  kButton2,  // simular ring
  kButton3,  // simular chamada privada
  kButton4,  // simular chamada 219876543
  kButton5,  // hide
  kButton6,  // simular chamada corrupt
  // The tray menu.
  kAgenda1 = 200,
  kListadeChamadas1,
  kOpes1,
  kSobre1,
  kSair1,
};

// The log's font: "Fixedsys".
constexpr ui::FontDesign kLogFont = {"Fixedsys", 12, FW_NORMAL, FIXED_PITCH | FF_MODERN};

// "Agenda" and "Lista de Chamadas": shown non-modally and brought to the front.
void ShowInFront(ui::Form& form) {
  form.Show();
  TForm1::ForceForegroundWindow(form.handle());
}

// "Opções..." and "Sobre...": shown modally, unless already shown.
void ShowModalOnce(ui::Form& form) {
  if (!form.Visible()) form.ShowModal();
}

}  // namespace

TForm1::TForm1(CommApi& comm_api, Registry& registry)
    : serial_port1_(comm_api, &ui::Application::Get()),
      monitor_(serial_port1_, SystemClock(), SystemSound(), *this, settings_) {
  // The worker hands nothing to the main thread: the parser polls the cluster queue.
  serial_port1_.SetErrorNoise(255);
  serial_port1_.SetThreadQuietMode(true);
  CreateForm({"Form1", 563, 492, false, ui::Border::kSingle, false});
  HWND memo = AddControl(
      "EDIT", "", WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, kMemo1,
      8, 8, 545, 361, ui::kAnchorLeft | ui::kAnchorTop, WS_EX_CLIENTEDGE);
  // The log is never trimmed: lift the edit control's default 30000-character limit.
  SendMessageA(memo, EM_SETLIMITTEXT, 0x7FFFFFFE, 0);
  SetControlFont(memo, kLogFont);
  AddEdit(kEdit1, "AT", 24, 408, 121, 21);
  AddButton(kButton1, "enviar", 148, 404, 75, 25);
  AddButton(kButton2, "simular ring", 244, 376, 153, 25);
  AddButton(kButton3, "simular chamada privada", 244, 404, 153, 25);
  AddButton(kButton4, "simular chamada 219876543", 244, 432, 153, 25);
  AddButton(kButton6, "simular chamada corrupt", 244, 460, 153, 25);
  AddButton(kButton5, "hide", 456, 412, 75, 25);

  CreateTrayIcon();

  ui::Application& app = ui::Application::Get();
  timer1_ = app.Create([this] { monitor_.Timer1Timer(); });
  timer1_->SetInterval(100);
  timer2_ = app.Create([this] { monitor_.Timer2Timer(); });
  timer2_->SetInterval(60000);
  settings_loaded_ = LoadSettings(registry, UserLocale(), &settings_);
}

TForm1::~TForm1() {
  timer1_.reset();
  timer2_.reset();
  tray_icon1_.reset();
  tray_shell_.reset();
  if (popup_menu1_) DestroyMenu(popup_menu1_);
  for (HICON picture : tray_pictures_) {
    if (picture) DestroyIcon(picture);
  }
  // FormDestroy: the port is closed with the window.
  serial_port1_.SetActive(false);
}

void TForm1::CreateTrayIcon() {
  ui::Application& app = ui::Application::Get();
  const int ids[2] = {IDI_TRAY_NOT_READY, IDI_TRAY_CALLER_ID};
  std::vector<IconHandle> pictures;
  for (int i = 0; i < 2; ++i) {
    tray_pictures_[i] = ui::LoadSmallIcon(app.instance(), ids[i]);
    pictures.push_back(reinterpret_cast<IconHandle>(tray_pictures_[i]));
  }
  popup_menu1_ = CreatePopupMenu();
  AppendMenuA(popup_menu1_, MF_STRING, kAgenda1, "Agenda");
  AppendMenuA(popup_menu1_, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(popup_menu1_, MF_STRING, kListadeChamadas1, "Lista de Chamadas");
  AppendMenuA(popup_menu1_, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(popup_menu1_, MF_STRING, kOpes1, "Opções...");
  AppendMenuA(popup_menu1_, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(popup_menu1_, MF_STRING, kSobre1, "Sobre...");
  AppendMenuA(popup_menu1_, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(popup_menu1_, MF_STRING, kSair1, "Sair");

  const auto own_window = reinterpret_cast<WindowHandle>(handle());
  tray_shell_ = CreateWin32TrayShell(
      {reinterpret_cast<WindowHandle>(app.handle()), [own_window] { return own_window; }, {}});
  tray_icon1_ = std::make_unique<TTrayIcon>(
      TrayIconContext{*tray_shell_, app, app, SystemClock(), own_window});
  tray_icon1_->SetIconList(pictures);
  tray_icon1_->SetIconIndex(kTrayNotReady);
  tray_icon1_->SetPopupMenu(reinterpret_cast<MenuHandle>(popup_menu1_));
  tray_icon1_->OnDblClick = [this](TTrayIcon&) { Agenda1Click(); };
  tray_icon1_->Loaded();
}

void TForm1::Agenda1Click() { ShowInFront(*links_.phone_book); }

void TForm1::ListadeChamadas1Click() { ShowInFront(*links_.call_list); }

void TForm1::FormCreate() {
  // The timers run from here on, also under the boxes and dialogs of start-up.
  timer1_->SetEnabled(true);
  timer2_->SetEnabled(true);
  if (!settings_loaded_.ok()) {
    // The first supervision run then comes from the options dialog or the timer.
    ShowError(settings_loaded_.message());
    return;
  }
  monitor_.SetModemReady(false);
  monitor_.Timer2Timer();
}

void TForm1::StopTimers() {
  timer1_->SetEnabled(false);
  timer2_->SetEnabled(false);
}

void TForm1::OnCommand(int id, int code, HWND) {
  // Return and Escape mean nothing in the diagnostic panel.
  if (code != BN_CLICKED || id == IDOK || id == IDCANCEL) return;
  switch (id) {
    case kButton1:
      monitor_.SendModemCommand(Text(kEdit1), kCommandTimeoutMs);
      break;
    case kButton2:
      monitor_.AppendToReceiveBuffer(simulated::kRing);
      break;
    case kButton3:
      monitor_.AppendToReceiveBuffer(simulated::kPrivateCall);
      break;
    case kButton4:
      monitor_.AppendToReceiveBuffer(simulated::kCall219876543);
      break;
    case kButton6:
      monitor_.AppendToReceiveBuffer(simulated::kCorruptCall);
      break;
    case kButton5:
      Hide();
      break;
    case kAgenda1:
      Agenda1Click();
      break;
    case kListadeChamadas1:
      ListadeChamadas1Click();
      break;
    case kOpes1:
      ShowModalOnce(*links_.options);
      break;
    case kSobre1:
      ShowModalOnce(*links_.about);
      break;
    case kSair1:
      ui::Application::Get().Terminate();
      break;
    default:
      break;
  }
}

void TForm1::OnClose() {
  // The main window's close box ends the program, like "Sair".
  ui::Application::Get().Terminate();
}

void TForm1::AppendLog(const std::string& line) {
  HWND memo = Control(kMemo1);
  const int end = GetWindowTextLengthA(memo);
  SendMessageA(memo, EM_SETSEL, end, end);
  const std::string text = line + "\r\n";
  SendMessageA(memo, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string TForm1::LookupName(const std::string& number) { return links_.lookup_name(number); }

Status TForm1::AddCall(const std::string& number, const std::string& name) {
  return links_.add_call(number, name);
}

void TForm1::ShowBalloon(const std::string& title, const std::string& text) {
  tray_icon1_->ShowBalloon(title, text, TBalloonIconKind::biNone, 15);
}

void TForm1::SetIconIndex(int index) { tray_icon1_->SetIconIndex(index); }

void TForm1::SetHint(const std::string& hint) { tray_icon1_->SetHint(hint); }

void TForm1::ShowError(const std::string& text) { ui::Application::Get().ShowError(text); }

bool TForm1::ForceForegroundWindow(HWND h) {
  if (IsIconic(h)) ShowWindow(h, SW_RESTORE);
  if (GetForegroundWindow() == h) return true;
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  GetVersionExA(&version);
  const bool modern =
      (version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion > 4) ||
      (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS &&
       (version.dwMajorVersion > 4 || (version.dwMajorVersion == 4 && version.dwMinorVersion > 0)));
  if (!modern) {
    BringWindowToTop(h);
    SetForegroundWindow(h);
    return GetForegroundWindow() == h;
  }
  bool done = false;
  const DWORD foreground_thread = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
  const DWORD own_thread = GetWindowThreadProcessId(h, nullptr);
  if (AttachThreadInput(own_thread, foreground_thread, TRUE)) {
    BringWindowToTop(h);
    SetForegroundWindow(h);
    AttachThreadInput(own_thread, foreground_thread, FALSE);
    done = GetForegroundWindow() == h;
  }
  if (!done) {
    DWORD timeout = 0;
    SystemParametersInfoA(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &timeout, 0);
    SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, SPIF_SENDCHANGE);
    BringWindowToTop(h);
    SetForegroundWindow(h);
    SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0,
                          reinterpret_cast<void*>(static_cast<uintptr_t>(timeout)),
                          SPIF_SENDCHANGE);
  }
  return GetForegroundWindow() == h;
}

}  // namespace sonavi

#include "ui/application.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "ui/dpi.h"
#include "ui/form.h"

namespace sonavi::ui {

namespace {

constexpr char kApplicationClass[] = "SonaviApplication";
constexpr UINT kHandOverMessage = WM_APP + 1;
Application* g_application = nullptr;

}  // namespace

// A WM_TIMER timer of the application window.
class Win32Timer : public Timer {
 public:
  Win32Timer(Application* app, std::function<void()> on_tick)
      : app_(app), on_tick_(std::move(on_tick)) {}
  ~Win32Timer() override { Disarm(); }

  void SetInterval(uint32_t ms) override {
    interval_ = ms;
    if (enabled_) Arm();
  }
  uint32_t Interval() const override { return interval_; }
  void SetEnabled(bool enabled) override {
    enabled_ = enabled;
    if (enabled_) {
      Arm();
    } else {
      Disarm();
    }
  }
  bool Enabled() const override { return enabled_; }

 private:
  void Arm() {
    Disarm();
    if (interval_ == 0) return;  // an interval of 0 never fires
    id_ = app_->AddTimer(&on_tick_);
    SetTimer(app_->handle(), id_, interval_, nullptr);
  }
  void Disarm() {
    if (id_ == 0) return;
    KillTimer(app_->handle(), id_);
    app_->RemoveTimer(id_);
    id_ = 0;
  }

  Application* app_;
  std::function<void()> on_tick_;
  uint32_t interval_ = 0;
  bool enabled_ = false;
  UINT_PTR id_ = 0;
};

Application::Application(HINSTANCE instance)
    : instance_(instance), system_dpi_(WindowDpi(nullptr)) {
  g_application = this;
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = &Application::WindowProc;
  wc.hInstance = instance_;
  wc.lpszClassName = kApplicationClass;
  wc.hIcon = LoadIconA(instance_, MAKEINTRESOURCEA(1));
  RegisterClassA(&wc);
  // Never shown: the program appears only through its tray icon and its own windows.
  window_ = CreateWindowExA(0, kApplicationClass, "", WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 0,
                            0, nullptr, nullptr, instance_, nullptr);
}

Application::~Application() {
  StopDispatching();
  if (window_) DestroyWindow(window_);
  for (auto& [key, font] : fonts_) DeleteObject(font);
  g_application = nullptr;
}

Application& Application::Get() { return *g_application; }

HFONT Application::Font(const FontDesign& design, UINT dpi) {
  HFONT& font = fonts_[{&design, dpi}];
  if (font == nullptr) {
    const char* face = design.face;
    if (dpi != kDesignDpi || system_dpi_ != kDesignDpi) {
      for (auto [raster, outline] : {std::pair{"MS Sans Serif", "Microsoft Sans Serif"},
                                     std::pair{"Fixedsys", "Lucida Console"}}) {
        if (std::strcmp(face, raster) == 0) face = outline;
      }
    }
    font = CreateFontA(-Scale(design.height, dpi), 0, 0, 0, design.weight, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       design.pitch_and_family, face);
  }
  return font;
}

void Application::SetTitle(const std::string& title) {
  title_ = title;
  SetWindowTextA(window_, title_.c_str());
}

void Application::AddForm(Form* form) { forms_.push_back(form); }

void Application::RemoveForm(Form* form) {
  forms_.erase(std::remove(forms_.begin(), forms_.end(), form), forms_.end());
}

bool Application::PreTranslate(MSG& msg) {
  if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
  HWND root = GetAncestor(msg.hwnd, GA_ROOT);
  for (Form* form : forms_) {
    if (form->handle() == root) {
      if (form->PreviewKey(msg)) return true;
      return IsDialogMessageA(root, &msg) != FALSE;
    }
  }
  return false;
}

bool Application::ProcessOneMessage() {
  MSG msg;
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    terminated_ = true;
    return true;
  }
  if (!PreTranslate(msg)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return true;
}

void Application::ProcessMessages() {
  while (ProcessOneMessage()) {
  }
}

void Application::Run(std::initializer_list<std::function<void()>> start_up) {
  for (const std::function<void()>& step : start_up) {
    if (terminated_) return;
    step();
  }
  while (!terminated_) {
    if (!ProcessOneMessage()) WaitMessage();
  }
}

void Application::Terminate() {
  if (terminated_) return;
  // At once, not when the loop takes the quit: a system modal loop (a message box) takes it
  // first and puts it back.
  terminated_ = true;
  PostQuitMessage(0);
}

LRESULT CALLBACK Application::WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  Application* app = g_application;
  if (app && hwnd == app->window_) {
    if (msg == kHandOverMessage) {
      app->ServeHandOvers();
      return 0;
    }
    if (msg == WM_TIMER) {
      auto it = app->timers_.find(wparam);
      if (it != app->timers_.end()) (*it->second)();
      return 0;
    }
  }
  return DefWindowProcA(hwnd, msg, wparam, lparam);
}

void Application::ServeHandOvers() {
  std::deque<HandOver*> taken;
  {
    std::lock_guard<std::mutex> lock(hand_over_lock_);
    taken.swap(hand_overs_);
  }
  for (HandOver* hand_over : taken) {
    (*hand_over->step)();
    std::lock_guard<std::mutex> lock(hand_over_lock_);
    hand_over->done = true;
  }
  if (!taken.empty()) hand_over_done_.notify_all();
}

bool Application::Refused(std::thread::id worker) const {
  return !dispatching_ || worker == joining_;
}

bool Application::RefusesHandOversOf(std::thread::id worker) const {
  std::lock_guard<std::mutex> lock(hand_over_lock_);
  return Refused(worker);
}

bool Application::RunOnMainThread(const std::function<void()>& step) {
  HandOver hand_over{&step};
  const std::thread::id self = std::this_thread::get_id();
  std::unique_lock<std::mutex> lock(hand_over_lock_);
  if (Refused(self)) return false;
  hand_overs_.push_back(&hand_over);
  PostMessageA(window_, kHandOverMessage, 0, 0);
  auto queued = [&] {
    return std::find(hand_overs_.begin(), hand_overs_.end(), &hand_over) != hand_overs_.end();
  };
  // Either the main thread runs the step, or this thread's hand-overs are refused while it
  // still waits in the queue (a step being run is always waited for).
  hand_over_done_.wait(lock, [&] { return hand_over.done || (Refused(self) && queued()); });
  if (hand_over.done) return true;
  hand_overs_.erase(std::find(hand_overs_.begin(), hand_overs_.end(), &hand_over));
  return false;
}

void Application::JoinServing(std::thread& worker) {
  if (!worker.joinable()) return;
  // While the worker ends, its hand-overs are refused rather than served: a refused
  // hand-over ends the worker's cycle, so the join cannot wait on the main thread. Other
  // workers' hand-overs wait and are served once the join is over.
  {
    std::lock_guard<std::mutex> lock(hand_over_lock_);
    joining_ = worker.get_id();
  }
  hand_over_done_.notify_all();
  worker.join();
  std::lock_guard<std::mutex> lock(hand_over_lock_);
  joining_ = std::thread::id();
}

void Application::StopDispatching() {
  {
    std::lock_guard<std::mutex> lock(hand_over_lock_);
    dispatching_ = false;
  }
  hand_over_done_.notify_all();
}

std::unique_ptr<Timer> Application::Create(std::function<void()> on_tick) {
  return std::make_unique<Win32Timer>(this, std::move(on_tick));
}

UINT_PTR Application::AddTimer(std::function<void()>* on_tick) {
  const UINT_PTR id = next_timer_id_++;
  timers_[id] = on_tick;
  return id;
}

void Application::RemoveTimer(UINT_PTR id) { timers_.erase(id); }

int Application::Show(const std::string& text, uint32_t flags) {
  HWND owner = GetActiveWindow();
  if (!owner) owner = window_;
  return MessageBoxA(owner, text.c_str(), title_.c_str(), flags);
}

}  // namespace sonavi::ui

#include "tray/tray_icon.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace sonavi {

namespace {

constexpr uint32_t kWorkerSleepMs = 100;
constexpr uint32_t kTrayIconId = 1;
constexpr uint32_t kPlainFlags = kNifMessage | kNifIcon | kNifTip;

// Copies at most size - 1 bytes of text and terminates the field.
template <size_t N>
void CopyField(char (&field)[N], const std::string& text) {
  const size_t n = std::min(text.size(), N - 1);
  std::memcpy(field, text.data(), n);
  std::memset(field + n, 0, N - n);
}

// A picture copy owned by the component or by the requests that name it.
struct OwnedPicture {
  OwnedPicture(TrayShell& shell, IconHandle handle) : shell(shell), handle(handle) {}
  ~OwnedPicture() {
    if (handle != 0) shell.DestroyPicture(handle);
  }
  OwnedPicture(const OwnedPicture&) = delete;
  OwnedPicture& operator=(const OwnedPicture&) = delete;
  TrayShell& shell;
  IconHandle handle;
};

}  // namespace

// ---------------------------------------------------------------------------------------
// TTrayUpdateThread

TTrayUpdateThread::TTrayUpdateThread(TrayShell& shell, MainThreadDispatcher& dispatcher,
                                     Clock& clock)
    : shell_(shell), dispatcher_(dispatcher), clock_(clock) {}

TTrayUpdateThread::~TTrayUpdateThread() { Stop(); }

void TTrayUpdateThread::Start() {
  if (thread_.joinable()) return;
  terminated_ = false;
  thread_ = std::thread([this] { Execute(); });
}

void TTrayUpdateThread::Stop() {
  if (!thread_.joinable()) return;
  terminated_ = true;
  dispatcher_.JoinServing(thread_);
}

void TTrayUpdateThread::FileRequest(TrayUpdateRequest request) {
  std::lock_guard<std::mutex> lock(slot_lock_);
  pending_update_ = std::move(request);
}

void TTrayUpdateThread::TakePendingUpdate() {
  std::lock_guard<std::mutex> lock(slot_lock_);
  if (pending_update_) {
    taken_update_ = std::move(pending_update_);
    pending_update_.reset();
  }
}

bool TTrayUpdateThread::Cycle() {
  if (!dispatcher_.RunOnMainThread([this] { TakePendingUpdate(); })) return false;
  std::optional<TrayUpdateRequest> request;
  {
    std::lock_guard<std::mutex> lock(slot_lock_);
    request.swap(taken_update_);
  }
  if (request) shell_.NotifyIcon(kNimModify, request->data);
  request.reset();
  clock_.Sleep(kWorkerSleepMs);
  return true;
}

void TTrayUpdateThread::Execute() {
  while (Cycle() && !terminated_) {
  }
}

// ---------------------------------------------------------------------------------------
// TTrayIcon: construction and destruction

TTrayIcon::TTrayIcon(const TrayIconContext& context)
    : shell_(context.shell),
      owner_window_(context.owner_window),
      layout_tool_(context.layout_tool),
      update_worker_(context.shell, context.dispatcher, context.clock) {
  taskbar_created_message_ = shell_.RegisterMessage("TaskbarCreated");

  message_window_ = shell_.CreateMessageWindow(
      [this](uint32_t msg, uintptr_t wparam, intptr_t lparam, intptr_t* result) {
        return MessageWindowProc(msg, wparam, lparam, result);
      });
  notify_data_.cbSize = kTrayNotifyDataSize;
  notify_data_.hWnd = message_window_;
  notify_data_.uID = kTrayIconId;
  notify_data_.uFlags = kPlainFlags;
  notify_data_.uCallbackMessage = kTrayCallbackMessage;

  icon_cycle_timer_ = context.timers.Create([this] { CycleTick(); });
  icon_cycle_timer_->SetInterval(cycle_interval_);
  click_delay_timer_ = context.timers.Create([this] { ClickDelayTick(); });
  click_delay_timer_->SetInterval(shell_.DoubleClickTime());

  if (layout_tool_) {
    if (icon_handle_ == 0 && WantsDefaultIcon()) SetIcon(shell_.LoadDefaultPicture());
  } else {
    InstallHooks();
  }

  update_worker_.Start();
}

TTrayIcon::~TTrayIcon() {
  SetIconVisible(false);
  SetDesignPreview(false);
  icon_.reset();
  icon_handle_ = 0;
  if (message_window_ != 0) shell_.DestroyMessageWindow(message_window_);
  message_window_ = 0;
  icon_cycle_timer_.reset();
  click_delay_timer_.reset();
  if (!layout_tool_) RemoveHooks();
  update_worker_.Stop();
}

void TTrayIcon::Loaded() {
  if (owner_window_ != 0 && start_minimized_ && !layout_tool_) {
    shell_.SetShowMainWindowOnStart(false);
    shell_.ShowWindowCommand(shell_.ApplicationWindow(), kSwHide);
  }
  RequestTrayUpdate();
  SetIconVisible(icon_visible_);
}

// ---------------------------------------------------------------------------------------
// Properties

IconHandle TTrayIcon::Icon() const { return icon_handle_; }

void TTrayIcon::SetIcon(IconHandle picture) {
  TakePictureCopy(picture);
  RequestTrayUpdate();
}

void TTrayIcon::TakePictureCopy(IconHandle picture) {
  const IconHandle copy = picture != 0 ? shell_.CopyPicture(picture) : 0;
  // Requests already filed keep the previous copy alive until they are sent.
  icon_ = copy != 0 ? std::make_shared<OwnedPicture>(shell_, copy) : nullptr;
  icon_handle_ = copy;
}

void TTrayIcon::SetIconVisible(bool value) {
  if (value) {
    AddTrayIcon();
  } else {
    DeleteTrayIcon();
  }
}

void TTrayIcon::SetHint(const std::string& text) {
  if (text == hint_) return;
  hint_ = text;
  RequestTrayUpdate();
}

void TTrayIcon::SetShowHint(bool value) {
  show_hint_ = value;
  RequestTrayUpdate();
}

void TTrayIcon::SetIconList(std::optional<std::vector<IconHandle>> list) {
  icon_list_ = std::move(list);
  SetIconIndex(0);
}

void TTrayIcon::SetIconIndex(int n) {
  if (icon_list_) {
    const int count = static_cast<int>(icon_list_->size());
    icon_index_ = n < count ? n : count - 1;
    // A negative index has no picture; the shown one stays.
    if (icon_index_ >= 0) TakePictureCopy((*icon_list_)[static_cast<size_t>(icon_index_)]);
  } else {
    icon_index_ = 0;
  }
  RequestTrayUpdate();
}

void TTrayIcon::SetCycleIcons(bool value) {
  cycle_icons_ = value;
  if (value) SetIconIndex(0);
  icon_cycle_timer_->SetEnabled(value);
}

void TTrayIcon::SetCycleInterval(uint32_t ms) {
  cycle_interval_ = ms;
  icon_cycle_timer_->SetInterval(ms);
}

void TTrayIcon::SetDesignPreview(bool value) {
  design_preview_ = value;
  preview_in_progress_ = true;
  if (value) {
    AddTrayIcon();
  } else {
    DeleteTrayIcon();
  }
  preview_in_progress_ = false;
}

// ---------------------------------------------------------------------------------------
// Shell requests

bool TTrayIcon::WantsDefaultIcon() { return true; }

bool TTrayIcon::FillIconData() {
  if (layout_tool_ && !preview_in_progress_ && !design_preview_) return false;
  notify_data_.hIcon = icon_handle_;
  if (!hint_.empty() && show_hint_) {
    CopyField(notify_data_.szTip, hint_);
  } else {
    std::memset(notify_data_.szTip, 0, sizeof(notify_data_.szTip));
  }
  return true;
}

bool TTrayIcon::ShellRequest(uint32_t request) {
  if (layout_tool_ && !preview_in_progress_) return false;
  if (!FillIconData()) return false;
  return shell_.NotifyIcon(request, notify_data_);
}

bool TTrayIcon::AddTrayIcon() {
  if (!preview_in_progress_) icon_visible_ = true;
  return ShellRequest(kNimAdd);
}

bool TTrayIcon::DeleteTrayIcon() {
  if (!preview_in_progress_) icon_visible_ = false;
  return ShellRequest(kNimDelete);
}

bool TTrayIcon::RequestTrayUpdate() {
  if (!FillIconData()) return false;
  update_worker_.FileRequest(TrayUpdateRequest{notify_data_, icon_});
  return true;
}

bool TTrayIcon::ShowBalloon(const std::string& title, const std::string& text,
                            TBalloonIconKind kind, uint8_t timeout_secs) {
  if (!enabled_) return true;
  // Clear any balloon on display first; the balloon request below replaces this one
  // before the worker can take it.
  notify_data_.uFlags |= kNifInfo;
  CopyField(notify_data_.szInfo, "");
  RequestTrayUpdate();

  notify_data_.uFlags |= kNifInfo;
  CopyField(notify_data_.szInfo, text);
  CopyField(notify_data_.szInfoTitle, title);
  notify_data_.uTimeout = static_cast<uint32_t>(timeout_secs) * 1000;
  notify_data_.dwInfoFlags = static_cast<uint32_t>(kind);
  const bool filed = RequestTrayUpdate();

  // Later picture and tip updates must not show the balloon again.
  notify_data_.uFlags = kPlainFlags;
  return filed;
}

// ---------------------------------------------------------------------------------------
// Mouse

TShiftState TTrayIcon::KeyboardShift() {
  TShiftState shift = 0;
  if (shell_.AsyncKeyDown(kVkShift)) shift |= ssShift;
  if (shell_.AsyncKeyDown(kVkMenu)) shift |= ssAlt;
  if (shell_.AsyncKeyDown(kVkControl)) shift |= ssCtrl;
  return shift;
}

bool TTrayIcon::MessageWindowProc(uint32_t msg, uintptr_t /*wparam*/, intptr_t lparam,
                                  intptr_t* result) {
  switch (msg) {
    case kTrayCallbackMessage:
      break;
    case kWmDestroy:
    case kWmClose:
    case kWmQueryEndSession:
    case kWmQuit:
    case kWmUserChanged:
    case kWmNcDestroy:
      *result = 1;
      return true;
    default:
      return false;
  }

  *result = 0;
  if (!enabled_) return true;
  const auto mouse = static_cast<uint32_t>(lparam);
  auto shift_and_pos = [this](TShiftState* shift, int* x, int* y) {
    *shift = KeyboardShift();
    *x = 0;
    *y = 0;
    shell_.CursorPos(x, y);
  };
  TShiftState shift = 0;
  int x = 0;
  int y = 0;
  switch (mouse) {
    case kWmMouseMove:
      shift_and_pos(&shift, &x, &y);
      DoMouseMove(shift, x, y);
      break;
    case kWmLButtonDown:
      shift_and_pos(&shift, &x, &y);
      if (!click_delay_timer_->Enabled()) click_delay_timer_->SetEnabled(true);
      DoMouseDown(TMouseButton::mbLeft, shift | ssLeft, x, y);
      left_pressed_ = true;
      if (left_popup_) ShowPopupMenu();
      break;
    case kWmLButtonUp:
      shift_and_pos(&shift, &x, &y);
      if (left_pressed_) click_pending_ = true;
      if (left_pressed_ && !click_delay_timer_->Enabled()) {
        left_pressed_ = false;
        click_pending_ = false;
        DoClick();
      }
      left_pressed_ = false;
      DoMouseUp(TMouseButton::mbLeft, shift | ssLeft, x, y);
      break;
    case kWmLButtonDblClk:
      click_pending_ = false;
      double_clicked_ = true;
      DoDblClick();
      if (popup_menu_ != 0 && !left_popup_) {
        shell_.ClickDefaultMenuItem(popup_menu_,
                                    owner_window_ != 0 ? owner_window_ : message_window_);
      }
      break;
    case kWmRButtonDown:
      shift_and_pos(&shift, &x, &y);
      DoMouseDown(TMouseButton::mbRight, shift | ssRight, x, y);
      ShowPopupMenu();
      break;
    case kWmRButtonUp:
      shift_and_pos(&shift, &x, &y);
      DoMouseUp(TMouseButton::mbRight, shift | ssRight, x, y);
      break;
    case kWmMButtonDown:
      shift_and_pos(&shift, &x, &y);
      DoMouseDown(TMouseButton::mbMiddle, shift | ssMiddle, x, y);
      break;
    case kWmMButtonUp:
      shift_and_pos(&shift, &x, &y);
      DoMouseUp(TMouseButton::mbMiddle, shift | ssMiddle, x, y);
      break;
    default:
      break;
  }
  return true;
}

void TTrayIcon::ClickDelayTick() {
  click_delay_timer_->SetEnabled(false);
  if (!double_clicked_ && click_pending_) {
    click_pending_ = false;
    DoClick();
  }
  double_clicked_ = false;
}

void TTrayIcon::ShowPopupMenu() {
  int x = 0;
  int y = 0;
  if (popup_menu_ == 0 || !shell_.CursorPos(&x, &y)) return;
  shell_.ProcessMessages();
  shell_.SetForeground(message_window_);
  if (owner_window_ != 0) shell_.SetForeground(owner_window_);
  shell_.OpenPopupMenu(popup_menu_, x, y, owner_window_ != 0 ? owner_window_ : message_window_);
  if (owner_window_ != 0) shell_.PostWindowMessage(owner_window_, kWmNull, 0, 0);
}

// ---------------------------------------------------------------------------------------
// Animation

void TTrayIcon::CycleTick() {
  if (!icon_list_) return;
  const int count = static_cast<int>(icon_list_->size());
  if (icon_index_ >= 0 && icon_index_ < count) {
    TakePictureCopy((*icon_list_)[static_cast<size_t>(icon_index_)]);
  }
  DoCycle();
  RequestTrayUpdate();
  SetIconIndex(icon_index_ < count - 1 ? icon_index_ + 1 : 0);
}

// ---------------------------------------------------------------------------------------
// Event dispatch

void TTrayIcon::DoClick() {
  if (OnClick) OnClick(*this);
}

void TTrayIcon::DoDblClick() {
  if (OnDblClick) OnDblClick(*this);
}

void TTrayIcon::DoCycle() {
  if (!OnCycle) return;
  const int last = icon_list_ ? static_cast<int>(icon_list_->size()) - 1 : -1;
  OnCycle(*this, icon_index_ == last ? 0 : icon_index_ + 1);
}

void TTrayIcon::DoMouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(*this, button, shift, x, y);
}

void TTrayIcon::DoMouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(*this, button, shift, x, y);
}

void TTrayIcon::DoMouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(*this, shift, x, y);
}

// ---------------------------------------------------------------------------------------
// Window hooks

void TTrayIcon::InstallHooks() {
  const WindowHandle application = shell_.ApplicationWindow();
  if (application != 0) {
    application_hook_ =
        shell_.HookWindow(application, [this](uint32_t msg, uintptr_t wparam, intptr_t lparam) {
          ApplicationWindowHook(msg, wparam, lparam);
        });
  }
  if (owner_window_ != 0) {
    owner_hook_ =
        shell_.HookWindow(owner_window_, [this](uint32_t msg, uintptr_t wparam, intptr_t lparam) {
          OwnerWindowHook(msg, wparam, lparam);
        });
  }
}

void TTrayIcon::RemoveHooks() {
  if (application_hook_ != 0) shell_.UnhookWindow(application_hook_);
  application_hook_ = 0;
  if (owner_hook_ != 0) shell_.UnhookWindow(owner_hook_);
  owner_hook_ = 0;
}

void TTrayIcon::ApplicationWindowHook(uint32_t msg, uintptr_t wparam, intptr_t /*lparam*/) {
  constexpr uintptr_t kSizeMinimized = 1;
  if (msg == kWmSize && wparam == kSizeMinimized && minimize_to_tray_) HideToTray();
  if (msg == kWmWindowPosChanged && awaiting_first_show_) {
    const WindowHandle main = shell_.MainWindow();
    if (main != 0) {
      if (shell_.IsMdiParent(main) && start_minimized_) {
        shell_.ShowWindowCommand(shell_.ApplicationWindow(), kSwHide);
      }
      awaiting_first_show_ = false;
    }
  }
  if (msg == taskbar_created_message_ && icon_visible_) AddTrayIcon();
}

void TTrayIcon::OwnerWindowHook(uint32_t msg, uintptr_t wparam, intptr_t lparam) {
  constexpr uintptr_t kActive = 1;
  constexpr uintptr_t kClickActive = 2;
  if (msg == kWmActivate && ((wparam & 0xFFFF) == kActive || (wparam & 0xFFFF) == kClickActive)) {
    const WindowHandle control = shell_.ActiveControl();
    if (control != 0) {
      WindowHandle parent = shell_.ParentWindow(control);
      if (parent == 0) parent = control;
      if (parent != static_cast<WindowHandle>(lparam)) shell_.FocusWindow(control);
    }
  }
  if (msg == kWmShowWindow && wparam == 1 && lparam == 0) {
    const WindowHandle application = shell_.ApplicationWindow();
    shell_.ShowWindowCommand(application, kSwRestore);
    shell_.SetForeground(application);
    shell_.SetForeground(owner_window_);
  }
}

void TTrayIcon::HideToTray() {
  HideMainWindow();
  SetIconVisible(true);
}

void TTrayIcon::HideMainWindow() {
  const WindowHandle main = shell_.MainWindow();
  if (owner_window_ == 0 || main == 0) return;
  shell_.ShowWindowCommand(main, kSwHide);
  shell_.ShowWindowCommand(shell_.ApplicationWindow(), kSwHide);
}

}  // namespace sonavi

// TTrayIcon keeps one icon in the notification area: its picture, tip, balloons and popup
// menu, mouse events with click and double-click timing, animation from a list of
// pictures, and two hooks on the application's windows (shell restart, minimising,
// start-up hiding). Modify requests reach the shell from TTrayUpdateThread, which takes
// the newest pending request over on the main thread every 100 ms.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/dispatcher.h"
#include "platform/timer.h"
#include "tray/tray_shell.h"

namespace sonavi {

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// A set of shift-state members, one bit each.
using TShiftState = uint8_t;
inline constexpr TShiftState ssShift = 1;
inline constexpr TShiftState ssAlt = 2;
inline constexpr TShiftState ssCtrl = 4;
inline constexpr TShiftState ssLeft = 8;
inline constexpr TShiftState ssRight = 16;
inline constexpr TShiftState ssMiddle = 32;
inline constexpr TShiftState ssDouble = 64;

// The icon of a balloon; the value is the shell's NIIF value.
enum class TBalloonIconKind : uint8_t { biNone = 0, biInfo = 1, biWarning = 2, biError = 3 };

// The callback message that the shell sends to the hidden window (WM_USER + 1024).
inline constexpr uint32_t kTrayCallbackMessage = kWmUser + 1024;

// A copy of the icon record made when a modify request was filed, with the picture that
// it names kept alive until the request has been sent.
struct TrayUpdateRequest {
  TrayNotifyData data;
  std::shared_ptr<const void> picture;
};

// Sends modify requests to the shell from a thread of its own. The main thread files
// requests; the worker takes the newest one over on the main thread, sends it, sleeps
// 100 ms and starts again.
class TTrayUpdateThread {
 public:
  TTrayUpdateThread(TrayShell& shell, MainThreadDispatcher& dispatcher, Clock& clock);
  ~TTrayUpdateThread();
  TTrayUpdateThread(const TTrayUpdateThread&) = delete;
  TTrayUpdateThread& operator=(const TTrayUpdateThread&) = delete;

  void Start();
  // Tells the worker to stop and waits for it to end; the dispatcher keeps the main
  // thread answering (or refusing) the worker's hand-overs meanwhile.
  void Stop();
  bool Running() const { return thread_.joinable(); }

  // Main thread: replaces any request that the worker has not yet taken.
  void FileRequest(TrayUpdateRequest request);
  // Main thread, through the dispatcher: moves the pending request to the worker.
  void TakePendingUpdate();
  // One cycle of the worker: hand-over, send, sleep. False when the main thread refused
  // the hand-over (it is shutting down), which ends the worker.
  bool Cycle();

 private:
  void Execute();

  TrayShell& shell_;
  MainThreadDispatcher& dispatcher_;
  Clock& clock_;
  std::mutex slot_lock_;
  std::optional<TrayUpdateRequest> pending_update_;
  std::optional<TrayUpdateRequest> taken_update_;
  std::atomic<bool> terminated_{false};
  std::thread thread_;
};

struct TrayIconContext {
  TrayShell& shell;
  TimerFactory& timers;
  MainThreadDispatcher& dispatcher;
  Clock& clock;
  // The owner's window (the main window), or 0 when the owner is not a window.
  WindowHandle owner_window = 0;
  // Inside a layout tool the icon appears only as a preview and no hooks are installed.
  bool layout_tool = false;
};

class TTrayIcon {
 public:
  using TNotifyEvent = std::function<void(TTrayIcon& sender)>;
  using TCycleEvent = std::function<void(TTrayIcon& sender, int next_index)>;
  using TMouseEvent =
      std::function<void(TTrayIcon& sender, TMouseButton button, TShiftState shift, int x, int y)>;
  using TMouseMoveEvent = std::function<void(TTrayIcon& sender, TShiftState shift, int x, int y)>;

  explicit TTrayIcon(const TrayIconContext& context);
  virtual ~TTrayIcon();
  TTrayIcon(const TTrayIcon&) = delete;
  TTrayIcon& operator=(const TTrayIcon&) = delete;

  // The owner's settings are in place: hides the application at start when asked to,
  // then puts the icon in the tray (when IconVisible).
  void Loaded();

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value) { enabled_ = value; }
  // The shown picture: a copy owned by the component (0 when empty).
  IconHandle Icon() const;
  void SetIcon(IconHandle picture);
  bool IconVisible() const { return icon_visible_; }
  void SetIconVisible(bool value);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& text);
  bool ShowHint() const { return show_hint_; }
  void SetShowHint(bool value);
  // The menu opened from the icon; its chosen item is reported to the owner's window.
  MenuHandle PopupMenu() const { return popup_menu_; }
  void SetPopupMenu(MenuHandle menu) { popup_menu_ = menu; }
  bool LeftPopup() const { return left_popup_; }
  void SetLeftPopup(bool value) { left_popup_ = value; }
  bool StartMinimized() const { return start_minimized_; }
  void SetStartMinimized(bool value) { start_minimized_ = value; }
  bool MinimizeToTray() const { return minimize_to_tray_; }
  void SetMinimizeToTray(bool value) { minimize_to_tray_ = value; }
  int IconIndex() const { return icon_index_; }
  void SetIconIndex(int n);
  bool DesignPreview() const { return design_preview_; }
  void SetDesignPreview(bool value);
  // The pictures that IconIndex and the animation choose from; the list's pictures stay
  // owned by the caller. nullopt: no list.
  const std::optional<std::vector<IconHandle>>& IconList() const { return icon_list_; }
  void SetIconList(std::optional<std::vector<IconHandle>> list);
  bool CycleIcons() const { return cycle_icons_; }
  void SetCycleIcons(bool value);
  uint32_t CycleInterval() const { return cycle_interval_; }
  void SetCycleInterval(uint32_t ms);

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TCycleEvent OnCycle;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;

  // Shows a balloon at the icon; Title is cut to 63 characters, Text to 255. Does nothing
  // (and still returns true) while the component is disabled.
  bool ShowBalloon(const std::string& title, const std::string& text, TBalloonIconKind kind,
                   uint8_t timeout_secs);

  virtual bool WantsDefaultIcon();
  virtual bool AddTrayIcon();
  virtual bool DeleteTrayIcon();
  virtual bool RequestTrayUpdate();

  // The hidden window's procedure; false leaves the message to the default handling.
  bool MessageWindowProc(uint32_t msg, uintptr_t wparam, intptr_t lparam, intptr_t* result);
  // What the two hooks do before the hooked window's own procedure sees the message.
  void ApplicationWindowHook(uint32_t msg, uintptr_t wparam, intptr_t lparam);
  void OwnerWindowHook(uint32_t msg, uintptr_t wparam, intptr_t lparam);
  void ShowPopupMenu();
  void HideMainWindow();

  const TrayNotifyData& NotifyData() const { return notify_data_; }
  WindowHandle MessageWindow() const { return message_window_; }
  uint32_t TaskbarCreatedMessage() const { return taskbar_created_message_; }

 protected:
  virtual void DoClick();
  virtual void DoDblClick();
  virtual void DoCycle();
  virtual void DoMouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void DoMouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void DoMouseMove(TShiftState shift, int x, int y);
  virtual void HideToTray();

 private:
  bool FillIconData();
  void TakePictureCopy(IconHandle picture);
  bool ShellRequest(uint32_t request);
  void ClickDelayTick();
  void CycleTick();
  TShiftState KeyboardShift();
  void InstallHooks();
  void RemoveHooks();

  TrayShell& shell_;
  const WindowHandle owner_window_;
  const bool layout_tool_;

  bool enabled_ = true;
  std::shared_ptr<const void> icon_;  // the owned copy; its deleter destroys the picture
  IconHandle icon_handle_ = 0;
  bool icon_visible_ = true;
  std::string hint_;
  bool show_hint_ = true;
  MenuHandle popup_menu_ = 0;
  bool left_popup_ = false;
  bool start_minimized_ = false;
  bool minimize_to_tray_ = false;
  bool left_pressed_ = false;
  bool click_pending_ = false;
  std::unique_ptr<Timer> icon_cycle_timer_;
  std::unique_ptr<Timer> click_delay_timer_;
  bool double_clicked_ = false;
  int icon_index_ = 0;
  bool design_preview_ = false;
  bool preview_in_progress_ = false;
  bool awaiting_first_show_ = true;
  std::optional<std::vector<IconHandle>> icon_list_;
  bool cycle_icons_ = false;
  uint32_t cycle_interval_ = 0;
  HookHandle application_hook_ = 0;
  HookHandle owner_hook_ = 0;
  TrayNotifyData notify_data_;
  WindowHandle message_window_ = 0;
  uint32_t taskbar_created_message_ = 0;
  TTrayUpdateThread update_worker_;
};

}  // namespace sonavi

// The application object: the hidden top-level window that owns every window of the
// program (and stands for it on the taskbar), the message loop, modal showing, timers,
// message boxes, the fonts of every window at each DPI, and the hand-over from worker
// threads to the main thread.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/dispatcher.h"
#include "platform/message_box.h"
#include "platform/timer.h"

namespace sonavi::ui {

class Form;

// A font of the program's windows, as it is at 96 DPI (100 %).
struct FontDesign {
  const char* face;
  int height;  // character height in pixels
  int weight;
  BYTE pitch_and_family;
};

// The windows' font: "MS Sans Serif" 8 point.
inline constexpr FontDesign kDefaultFont = {"MS Sans Serif", 11, FW_NORMAL,
                                            DEFAULT_PITCH | FF_DONTCARE};

class Application : public MainThreadDispatcher, public TimerFactory, public MessageBoxes {
 public:
  explicit Application(HINSTANCE instance);
  ~Application() override;
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  static Application& Get();

  HINSTANCE instance() const { return instance_; }
  HWND handle() const { return window_; }
  const std::string& title() const { return title_; }
  void SetTitle(const std::string& title);
  // The font at the given DPI, made at the first request and kept until the application
  // ends. design is a constant that lives as long as the program. The raster faces ("MS Sans
  // Serif", "Fixedsys") come in a few sizes made for 96 DPI and would not grow with the
  // screen: at any other DPI, or on a system of another DPI, an outline face of the same
  // kind stands in for them.
  HFONT Font(const FontDesign& design, UINT dpi);

  // The main form: closing it ends the message loop.
  void SetMainForm(Form* form) { main_form_ = form; }
  Form* main_form() const { return main_form_; }

  // Runs the start-up steps in order, then the message loop until the main form closes
  // (or Terminate). A step's boxes and dialogs run the message loop too; a Terminate
  // within a step skips the steps after it.
  void Run(std::initializer_list<std::function<void()>> start_up = {});
  // Ends the message loop and every modal loop running inside it.
  void Terminate();
  bool terminated() const { return terminated_; }
  // Handles one pending message if there is one; false when the queue was empty.
  bool ProcessOneMessage();
  void ProcessMessages();

  // Forms register themselves so that the loop gives them dialog keyboard handling
  // (Tab, default and cancel buttons, accelerators).
  void AddForm(Form* form);
  void RemoveForm(Form* form);

  // MainThreadDispatcher.
  bool RunOnMainThread(const std::function<void()>& step) override;
  void JoinServing(std::thread& worker) override;
  // After this, hand-overs are refused; called before the windows go away.
  void StopDispatching();
  // Whether a worker's hand-overs are refused now (while it is being joined, or after
  // StopDispatching).
  bool RefusesHandOversOf(std::thread::id worker) const;

  // TimerFactory.
  std::unique_ptr<Timer> Create(std::function<void()> on_tick) override;

  // MessageBoxes: the application title as caption, owned by the active window.
  int Show(const std::string& text, uint32_t flags) override;

 private:
  friend class Win32Timer;
  struct HandOver {
    const std::function<void()>* step;
    bool done = false;
  };

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
  bool PreTranslate(MSG& msg);
  void ServeHandOvers();
  // Whether the worker's hand-overs are refused; under hand_over_lock_.
  bool Refused(std::thread::id worker) const;
  UINT_PTR AddTimer(std::function<void()>* on_tick);
  void RemoveTimer(UINT_PTR id);

  HINSTANCE instance_;
  HWND window_ = nullptr;
  UINT system_dpi_;
  std::map<std::pair<const FontDesign*, UINT>, HFONT> fonts_;
  std::string title_;
  Form* main_form_ = nullptr;
  bool terminated_ = false;
  std::vector<Form*> forms_;

  mutable std::mutex hand_over_lock_;
  std::condition_variable hand_over_done_;
  std::deque<HandOver*> hand_overs_;
  bool dispatching_ = true;
  std::thread::id joining_;  // the worker being joined, whose hand-overs are refused

  std::map<UINT_PTR, std::function<void()>*> timers_;
  UINT_PTR next_timer_id_ = 1;
};

}  // namespace sonavi::ui

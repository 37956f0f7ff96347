// A text label that behaves as a hyperlink: underlined text drawn in the colour the
// pointer gives it, a hand cursor, and a click that hands the link to the shell.
#pragma once

#include <windows.h>

#include <string>

#include "about/link_label.h"

namespace sonavi {

class TLinkLabel {
 public:
  // A label of parent, for the parent to place and size. It draws its caption in an
  // underlined copy of the font it is given (WM_SETFONT). Its background is whatever the
  // parent answers to WM_CTLCOLORSTATIC, so it shows the parent's colour through.
  TLinkLabel(HWND parent, int id, const std::string& caption);
  ~TLinkLabel();
  TLinkLabel(const TLinkLabel&) = delete;
  TLinkLabel& operator=(const TLinkLabel&) = delete;

  HWND handle() const { return window_; }

  const std::string& Link() const { return state_.Link(); }
  void SetLink(std::string link) { state_.SetLink(std::move(link)); }
  TColor EnterFontColor() const { return state_.EnterFontColor(); }
  void SetEnterFontColor(TColor color) { state_.SetEnterFontColor(color); }
  TColor LeaveFontColor() const { return state_.LeaveFontColor(); }
  void SetLeaveFontColor(TColor color) { state_.SetLeaveFontColor(color); }
  TColor VisitedColor() const { return state_.VisitedColor(); }
  void SetVisitedColor(TColor color) { state_.SetVisitedColor(color); }
  TColor FontColor() const { return state_.FontColor(); }
  void SetFontColor(TColor color);

  // Replaces the shell as the one who opens the link.
  void SetOpenLink(LinkLabelState::OpenLink open_link) { state_.SetOpenLink(std::move(open_link)); }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
  LRESULT Dispatch(UINT msg, WPARAM wparam, LPARAM lparam);
  void Paint();
  void TrackLeave();

  LinkLabelState state_;
  HWND window_ = nullptr;
  HFONT font_ = nullptr;
  bool hover_ = false;
  bool pressed_ = false;
};

}  // namespace sonavi

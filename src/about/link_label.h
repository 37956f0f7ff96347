// What a hyperlink label does with the pointer and a click: the colour of its text and
// the hand-over of its link to the shell. The window of the label draws and forwards.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace sonavi {

// A colour with red in the low byte, green in the next, blue in the third.
using TColor = std::uint32_t;
constexpr TColor clBlack = 0x000000;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clNavy = 0x800000;

class LinkLabelState {
 public:
  // Hands the link to the shell; its outcome is not looked at.
  using OpenLink = std::function<void(const std::string& link)>;

  explicit LinkLabelState(OpenLink open_link) : open_link_(std::move(open_link)) {}

  void SetOpenLink(OpenLink open_link) { open_link_ = std::move(open_link); }

  const std::string& Link() const { return link_; }
  void SetLink(std::string link) { link_ = std::move(link); }
  TColor EnterFontColor() const { return enter_font_color_; }
  void SetEnterFontColor(TColor color) { enter_font_color_ = color; }
  TColor LeaveFontColor() const { return leave_font_color_; }
  void SetLeaveFontColor(TColor color) { leave_font_color_ = color; }
  TColor VisitedColor() const { return visited_color_; }
  void SetVisitedColor(TColor color) { visited_color_ = color; }
  // The colour the text is drawn in.
  TColor FontColor() const { return font_color_; }
  void SetFontColor(TColor color) { font_color_ = color; }

  // The pointer came over the label.
  void MouseEnter();
  // The pointer left the label.
  void MouseLeave();
  // The label was clicked: opens the link and marks it visited. The text keeps its
  // colour until the pointer leaves.
  void Click();

 private:
  OpenLink open_link_;
  std::string link_;
  TColor enter_font_color_ = 0;
  TColor leave_font_color_ = 0;
  TColor visited_color_ = 0;
  TColor font_color_ = 0;
};

}  // namespace sonavi

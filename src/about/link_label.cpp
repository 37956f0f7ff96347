#include "about/link_label.h"

namespace sonavi {

void LinkLabelState::MouseEnter() { font_color_ = enter_font_color_; }

void LinkLabelState::MouseLeave() { font_color_ = leave_font_color_; }

void LinkLabelState::Click() {
  if (open_link_) open_link_(link_);
  leave_font_color_ = visited_color_;
}

}  // namespace sonavi

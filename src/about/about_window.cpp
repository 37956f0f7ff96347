#include "about/about_window.h"

namespace sonavi {

namespace {

// Puts argument in place of the first "%s" of format; "%%" stands for one "%".
std::string FormatOne(std::string_view format, std::string_view argument) {
  std::string result;
  bool used = false;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size()) {
      if (format[i + 1] == '%') {
        result += '%';
        ++i;
        continue;
      }
      if (format[i + 1] == 's' && !used) {
        result += argument;
        used = true;
        ++i;
        continue;
      }
    }
    result += format[i];
  }
  return result;
}

}  // namespace

std::string VersionLabelText(std::string_view layout_text, std::string_view short_version,
                             std::string_view full_version) {
  std::string argument(short_version);
  argument += "   (";
  argument += full_version;
  argument += ")";
  return FormatOne(layout_text, argument);
}

void WindowDrag::MouseDown(MouseButton button, int x, int y) {
  if (button != MouseButton::kLeft) return;
  drag_start_x_ = x;
  drag_start_y_ = y;
  dragging_ = true;
}

std::optional<Offset> WindowDrag::MouseMove(int x, int y) const {
  if (!dragging_) return std::nullopt;
  return Offset{x - drag_start_x_, y - drag_start_y_};
}

void WindowDrag::MouseUp(MouseButton button) {
  if (button == MouseButton::kLeft) dragging_ = false;
}

}  // namespace sonavi

// The about window's own logic: the version line and moving the borderless window by
// dragging its background.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sonavi {

// The version line: the layout text (with one "%s") filled with the short version, three
// blanks and the full version in parentheses: "Version 1.0   (1.0.2.117)".
std::string VersionLabelText(std::string_view layout_text, std::string_view short_version,
                             std::string_view full_version);

enum class MouseButton { kLeft, kRight, kMiddle };

struct Offset {
  int dx = 0;
  int dy = 0;
  bool operator==(const Offset&) const = default;
};

// One drag of the window, shared by the controls it can be dragged by. Coordinates are
// those of the control that got the press, which keeps getting the moves until the
// release.
class WindowDrag {
 public:
  // Only the left button starts a drag.
  void MouseDown(MouseButton button, int x, int y);
  // While dragging, how far the window must move so that the point pressed stays under
  // the pointer; nothing otherwise.
  std::optional<Offset> MouseMove(int x, int y) const;
  // Only the left button ends a drag.
  void MouseUp(MouseButton button);
  bool Dragging() const { return dragging_; }

 private:
  bool dragging_ = false;
  int drag_start_x_ = 0;
  int drag_start_y_ = 0;
};

}  // namespace sonavi

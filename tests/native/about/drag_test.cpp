#include <gtest/gtest.h>

#include "about/about_window.h"

namespace sonavi {
namespace {

TEST(WindowDrag, MovesByThePointerTravelSinceThePress) {
  WindowDrag drag;
  EXPECT_EQ(drag.MouseMove(50, 50), std::nullopt);
  drag.MouseDown(MouseButton::kLeft, 10, 20);
  EXPECT_TRUE(drag.Dragging());
  EXPECT_EQ(drag.MouseMove(25, 13), (Offset{15, -7}));
  // After the window has followed, the pressed point is under the pointer again.
  EXPECT_EQ(drag.MouseMove(10, 20), (Offset{0, 0}));
  EXPECT_EQ(drag.MouseMove(-5, 40), (Offset{-15, 20}));
  drag.MouseUp(MouseButton::kLeft);
  EXPECT_FALSE(drag.Dragging());
  EXPECT_EQ(drag.MouseMove(30, 30), std::nullopt);
}

TEST(WindowDrag, OnlyTheLeftButtonStartsADrag) {
  WindowDrag drag;
  drag.MouseDown(MouseButton::kRight, 10, 10);
  drag.MouseDown(MouseButton::kMiddle, 10, 10);
  EXPECT_FALSE(drag.Dragging());
  EXPECT_EQ(drag.MouseMove(20, 20), std::nullopt);
}

TEST(WindowDrag, OnlyTheLeftButtonEndsADrag) {
  WindowDrag drag;
  drag.MouseDown(MouseButton::kLeft, 4, 6);
  drag.MouseUp(MouseButton::kRight);
  drag.MouseUp(MouseButton::kMiddle);
  ASSERT_TRUE(drag.Dragging());
  EXPECT_EQ(drag.MouseMove(5, 8), (Offset{1, 2}));
  // A right-button press during the drag leaves the start point alone.
  drag.MouseDown(MouseButton::kRight, 100, 100);
  EXPECT_EQ(drag.MouseMove(5, 8), (Offset{1, 2}));
}

TEST(WindowDrag, ANewPressTakesANewStartPoint) {
  WindowDrag drag;
  drag.MouseDown(MouseButton::kLeft, 4, 6);
  drag.MouseUp(MouseButton::kLeft);
  drag.MouseDown(MouseButton::kLeft, 30, 2);
  EXPECT_EQ(drag.MouseMove(31, 3), (Offset{1, 1}));
}

}  // namespace
}  // namespace sonavi

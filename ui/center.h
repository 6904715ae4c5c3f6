// Where a window goes when it is centred: half the difference between the
// work area's extent and the window's, truncated towards zero. The work
// area's origin is deliberately not added (the window is centred in a
// rectangle of the work area's size at the screen's top left).
#pragma once

constexpr int ui_center_origin(int work_extent, int window_extent) {
  return (work_extent - window_extent) / 2;
}

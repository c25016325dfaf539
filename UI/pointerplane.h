#pragma once

#include <array>

namespace Ui {

using Point3 = std::array<double, 3>;

// Where the pointer's view ray (from its point on the near plane to its point on the far
// plane) meets the plane a pointer-following pick slides on: the horizontal plane through
// `anchor`, so that a volume keeps its height while it is dragged, or, when that plane is
// seen nearly edge-on, the plane through `anchor` facing the viewer.
Point3 pointOnPointerPlane(const Point3& nearPoint, const Point3& farPoint, const Point3& anchor);

} // namespace Ui

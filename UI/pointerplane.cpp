#include "UI/pointerplane.h"

#include <cmath>

namespace Ui {

namespace {

// Below this share of the ray's length going up or down, the horizontal plane is too close to
// edge-on: a small pointer move would throw the point far away.
constexpr double edgeOnLimit = 0.2;

double dot(const Point3& a, const Point3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

} // namespace

Point3 pointOnPointerPlane(const Point3& nearPoint, const Point3& farPoint, const Point3& anchor) {
    const Point3 ray{farPoint[0] - nearPoint[0], farPoint[1] - nearPoint[1],
                     farPoint[2] - nearPoint[2]};
    const double length = std::sqrt(dot(ray, ray));
    if (length <= 0.0)
        return anchor;
    const Point3 normal = std::fabs(ray[2]) >= edgeOnLimit * length
                              ? Point3{0.0, 0.0, 1.0}
                              : Point3{ray[0] / length, ray[1] / length, ray[2] / length};
    const Point3 toAnchor{anchor[0] - nearPoint[0], anchor[1] - nearPoint[1],
                          anchor[2] - nearPoint[2]};
    const double t = dot(toAnchor, normal) / dot(ray, normal);
    return {nearPoint[0] + t * ray[0], nearPoint[1] + t * ray[1], nearPoint[2] + t * ray[2]};
}

} // namespace Ui

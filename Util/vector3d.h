#pragma once

#include "Util/vector4d.h"

namespace Util {

// A point or displacement: a Vector4D whose w is kept at 0 by every constructor.
class Vector3D : public Vector4D {
public:
    Vector3D() = default;
    explicit Vector3D(double value) : Vector4D(value, value, value, 0.0) {}
    Vector3D(double x, double y, double z) : Vector4D(x, y, z, 0.0) {}
    Vector3D(const Vector4D& other) : Vector4D(other.x, other.y, other.z, 0.0) {}
};

} // namespace Util

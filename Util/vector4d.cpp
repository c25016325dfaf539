#include "Util/vector4d.h"

namespace Util {

double& Vector4D::operator[](int index) {
    switch (index) {
    case 0: return x;
    case 1: return y;
    case 2: return z;
    default: return w;
    }
}

double Vector4D::operator[](int index) const { return const_cast<Vector4D&>(*this)[index]; }

Vector4D Vector4D::operator+(const Vector4D& o) const {
    return Vector4D(x + o.x, y + o.y, z + o.z, w + o.w);
}

Vector4D Vector4D::operator-(const Vector4D& o) const {
    return Vector4D(x - o.x, y - o.y, z - o.z, w - o.w);
}

Vector4D& Vector4D::operator+=(const Vector4D& o) {
    x += o.x;
    y += o.y;
    z += o.z;
    w += o.w;
    return *this;
}

void Vector4D::copy(const Vector4D& o) { *this = o; }

void Vector4D::copy3(const Vector4D& o) {
    x = o.x;
    y = o.y;
    z = o.z;
}

Vector4D operator*(double s, const Vector4D& v) { return Vector4D(s * v.x, s * v.y, s * v.z, s * v.w); }

} // namespace Util

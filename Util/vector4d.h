#pragma once

namespace Util {

// Four-component vector used for positions, displacements and RGBA colours alike.
class Vector4D {
public:
    Vector4D() = default;
    explicit Vector4D(double value) : x(value), y(value), z(value), w(value) {}
    Vector4D(double x, double y, double z, double w) : x(x), y(y), z(z), w(w) {}
    virtual ~Vector4D() = default;

    Vector4D(const Vector4D&) = default;
    Vector4D& operator=(const Vector4D&) = default;

    // Index 0, 1, 2 are x, y, z; anything else falls through to w.
    double& operator[](int index);
    double operator[](int index) const;

    Vector4D operator+(const Vector4D& other) const;
    Vector4D operator-(const Vector4D& other) const;
    Vector4D& operator+=(const Vector4D& other);

    void copy(const Vector4D& other);
    // Takes x, y, z from `other` and keeps this vector's w.
    void copy3(const Vector4D& other);

    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    double w = 0.0;
};

Vector4D operator*(double scalar, const Vector4D& vector);

} // namespace Util

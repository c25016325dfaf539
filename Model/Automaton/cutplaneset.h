#pragma once

#include <array>
#include <mutex>
#include <vector>

namespace Model::Automaton {

// The half-spaces a painter's cut window leaves visible, for drawing that works on positions
// rather than cells (the atomic renderer). A point is shown when a*x + b*y + c*z + d < 1e-6
// for every plane (a, b, c, d).
class CutPlaneSet {
public:
    using Plane = std::array<float, 4>;

    // Stores the plane scaled to unit length over all four components. A plane without a
    // direction (a, b, c all about 0) is refused, and one already present is not added twice.
    // Returns whether it was added.
    bool add(float a, float b, float c, float d);
    void clear();

    bool shows(float x, float y, float z) const;
    std::vector<Plane> getPlanes() const;
    // The same test against a copy of the planes, for loops that should not lock per point.
    static bool shows(const std::vector<Plane>& planes, float x, float y, float z);

private:
    mutable std::mutex mutex;
    std::vector<Plane> planes;
};

} // namespace Model::Automaton

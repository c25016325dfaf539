#include "Model/Automaton/cutplaneset.h"

#include <algorithm>
#include <cmath>

namespace Model::Automaton {

bool CutPlaneSet::add(float a, float b, float c, float d) {
    if (a * a + b * b + c * c <= 1e-6f)
        return false;
    const float length = std::sqrt(a * a + b * b + c * c + d * d);
    const Plane plane{a / length, b / length, c / length, d / length};
    std::lock_guard<std::mutex> guard(mutex);
    if (std::find(planes.begin(), planes.end(), plane) != planes.end())
        return false;
    planes.push_back(plane);
    return true;
}

void CutPlaneSet::clear() {
    std::lock_guard<std::mutex> guard(mutex);
    planes.clear();
}

bool CutPlaneSet::shows(float x, float y, float z) const {
    std::lock_guard<std::mutex> guard(mutex);
    return shows(planes, x, y, z);
}

bool CutPlaneSet::shows(const std::vector<Plane>& planes, float x, float y, float z) {
    for (const Plane& p : planes) {
        if (!(p[0] * x + p[1] * y + p[2] * z + p[3] < 1e-6f))
            return false;
    }
    return true;
}

std::vector<CutPlaneSet::Plane> CutPlaneSet::getPlanes() const {
    std::lock_guard<std::mutex> guard(mutex);
    return planes;
}

} // namespace Model::Automaton

#include "Model/Geometry/quadface.h"

namespace Model::Geometry {

const float sideNormals[sideCount][3] = {{0.f, 0.f, -1.f}, {0.f, 0.f, 1.f},  {0.f, -1.f, 0.f},
                                         {0.f, 1.f, 0.f},  {-1.f, 0.f, 0.f}, {1.f, 0.f, 0.f}};

const int sideCorners[sideCount][4][3] = {
    {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}}, // -z
    {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}}, // +z
    {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}}, // -y
    {{0, 1, 0}, {0, 1, 1}, {1, 1, 1}, {1, 1, 0}}, // +y
    {{0, 0, 0}, {0, 0, 1}, {0, 1, 1}, {0, 1, 0}}, // -x
    {{1, 0, 0}, {1, 1, 0}, {1, 1, 1}, {1, 0, 1}}, // +x
};

void setSideCorners(QuadFace& face, Side side, const int origin[3], int extent,
                    const float cellSize[3]) {
    for (int corner = 0; corner < 4; ++corner) {
        for (int axis = 0; axis < 3; ++axis)
            face.vertices[corner][axis] =
                float(origin[axis] + sideCorners[side][corner][axis] * extent) * cellSize[axis];
    }
    face.normal = sideNormals[side];
}

} // namespace Model::Geometry

#pragma once

namespace Model::Automaton {

// One corner of a marching-cubes triangle, held by value.
struct TriangleVertex {
    float position[3] = {};
    float normal[3] = {};
    int material = 0;
};

struct Triangle {
    TriangleVertex vertices[3];
};

} // namespace Model::Automaton

#pragma once

#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Automaton/triangle.h"
#include "Model/Geometry/quadface.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace testing_support {

// A 64-bit FNV-1a hash over explicit fields (never over padding), so that results saved once
// can be compared bit for bit after the code that produced them has been rewritten.
class Fingerprint {
public:
    void add(const void* data, std::size_t bytes) {
        const auto* p = static_cast<const unsigned char*>(data);
        for (std::size_t i = 0; i < bytes; ++i) {
            value ^= p[i];
            value *= 0x100000001b3ull;
        }
    }
    template <class T> void add(const T& v) { add(&v, sizeof v); }

    void addTriangles(const std::vector<Model::Automaton::Triangle>& triangles) {
        add(triangles.size());
        for (const auto& t : triangles)
            for (const auto& v : t.vertices) {
                add(v.position);
                add(v.normal);
                add(v.material);
            }
    }
    // The painter's cell faces as they are drawn, hashed as the squares they become.
    void addFaces(const Model::Automaton::TotalVolumePainter& painter,
                  const std::vector<Model::Geometry::CellFace>& faces, bool withCells) {
        std::vector<Model::Geometry::QuadFace> quads;
        quads.reserve(faces.size());
        for (const Model::Geometry::CellFace& face : faces)
            quads.push_back(painter.quadOf(face));
        addFaces(quads, withCells);
    }
    // `withCells`: the index of the cell each face was made from counts too.
    void addFaces(const std::vector<Model::Geometry::QuadFace>& faces, bool withCells) {
        add(faces.size());
        for (const auto& f : faces) {
            add(f.vertices);
            add(f.normal ? f.normal - &Model::Geometry::sideNormals[0][0] : -1);
            add(f.fillColor);
            add(f.edgeColor);
            add(withCells ? f.cell : std::int64_t(-1));
            add(f.material);
        }
    }

    std::uint64_t value = 0xcbf29ce484222325ull;
};

// The material of every cell, each hashed as 32 bits whatever width the store keeps: the result
// of a process, as it must stay when the cells' layout changes.
inline std::uint64_t materialsFingerprint(Model::Automaton::TotalVolume& volume) {
    Fingerprint f;
    const Model::Automaton::CellArraysLock cells(volume,
                                                 Model::Automaton::CellArraysLock::Arrays::Current);
    for (std::size_t i = 0; i < volume.getCellCount(); ++i)
        f.add(std::uint32_t(cells.materials()[std::ptrdiff_t(i)]));
    return f.value;
}

} // namespace testing_support

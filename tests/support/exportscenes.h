#pragma once

#include "Model/Export/cellboundarysurface.h"
#include "Model/Geometry/quadface.h"
#include "Model/Persistence/documentarchiver.h"
#include "Model/Persistence/totalvolumearchiver.h"
#include "Model/document.h"
#include "support/scenes.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <set>
#include <utility>

inline void PrintTo(const QJsonArray& array, std::ostream* os) {
    *os << QJsonDocument(array).toJson(QJsonDocument::Compact).toStdString();
}

namespace testing_support {

constexpr int exportSilicon = 1;
constexpr int exportOxide = 3;
constexpr int exportAluminium = 4;

// Silicon with a trench, a buried void and an oxide film that bridges the trench as an
// overhang; aluminium cells that touch each other only along edges and at corners, in the
// patterns that pinch a surface.
inline std::shared_ptr<Model::Automaton::TotalVolume> exportScene(float cx = 1.f, float cy = 1.f,
                                                                  float cz = 1.f) {
    return makeVolume(
        14, 10, 12,
        [](int x, int y, int z) {
            const bool trench = x >= 5 && x < 9;
            const bool voidCell = x >= 1 && x < 3 && y >= 2 && y < 4 && z >= 1 && z < 3;
            if (z < 6)
                return (trench && z >= 3) || voidCell ? 0 : exportSilicon;
            if (z < 8)
                return trench ? 0 : exportOxide;
            if (z == 8 && x >= 3 && x < 11 && y >= 2 && y < 8)
                return exportOxide;
            // Edge contact, corner contact, and an edge contact whose cells also meet around
            // both of its ends.
            static const std::set<std::array<int, 3>> aluminium = {
                {1, 1, 10}, {2, 2, 10},                            // along an edge
                {4, 1, 10}, {5, 2, 11},                            // at a corner
                {9, 5, 10}, {10, 6, 10}, {9, 5, 9},   {10, 5, 9},  // pinched edge, joined below
                {10, 6, 9}, {9, 5, 11},  {10, 5, 11}, {10, 6, 11}, // ... and above
            };
            return aluminium.count({x, y, z}) ? exportAluminium : 0;
        },
        cx, cy, cz);
}

inline std::map<int, std::uint64_t> cellCounts(Model::Automaton::TotalVolume& volume) {
    std::map<int, std::uint64_t> counts;
    for (const int material : materialsOf(volume))
        if (material != 0)
            ++counts[material];
    return counts;
}

// What a surface is, checked from its triangles alone.
struct MeshFacts {
    int unmatchedEdges = 0;  // a directed edge without exactly one partner running back
    int reusedEdges = 0;     // a directed edge used by more than one triangle
    int degenerate = 0;      // repeated corners or no area
    int wrongNormals = 0;    // winding disagrees with the side's outward normal
    int pinchedVertices = 0; // triangles around a vertex do not form one fan
    double volume = 0;
};

inline MeshFacts examine(const Model::Export::MaterialSurface& surface) {
    MeshFacts facts;
    std::map<std::pair<std::uint32_t, std::uint32_t>, int> directed;
    // vertex -> (next corner -> corner after it) around each triangle
    std::map<std::uint32_t, std::map<std::uint32_t, std::uint32_t>> links;
    const auto at = [&surface](std::uint32_t v, int a) {
        return double(surface.vertices[3 * std::size_t(v) + std::size_t(a)]);
    };
    for (std::size_t t = 0; t < surface.triangleCount(); ++t) {
        const std::uint32_t* c = &surface.triangles[3 * t];
        double e1[3], e2[3], n[3];
        for (int a = 0; a < 3; ++a) {
            e1[a] = at(c[1], a) - at(c[0], a);
            e2[a] = at(c[2], a) - at(c[0], a);
        }
        n[0] = e1[1] * e2[2] - e1[2] * e2[1];
        n[1] = e1[2] * e2[0] - e1[0] * e2[2];
        n[2] = e1[0] * e2[1] - e1[1] * e2[0];
        const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (c[0] == c[1] || c[1] == c[2] || c[0] == c[2] || length == 0) {
            ++facts.degenerate;
            continue;
        }
        const float* expected = Model::Geometry::sideNormals[surface.sides[t]];
        for (int a = 0; a < 3; ++a)
            if (std::abs(n[a] / length - double(expected[a])) > 1e-6)
                ++facts.wrongNormals;
        for (int k = 0; k < 3; ++k) {
            ++directed[{c[k], c[(k + 1) % 3]}];
            links[c[k]][c[(k + 1) % 3]] = c[(k + 2) % 3];
        }
        facts.volume += (at(c[0], 0) * (at(c[1], 1) * at(c[2], 2) - at(c[1], 2) * at(c[2], 1)) -
                         at(c[0], 1) * (at(c[1], 0) * at(c[2], 2) - at(c[1], 2) * at(c[2], 0)) +
                         at(c[0], 2) * (at(c[1], 0) * at(c[2], 1) - at(c[1], 1) * at(c[2], 0))) /
                        6.0;
    }
    for (const auto& [edge, uses] : directed) {
        facts.reusedEdges += uses > 1;
        const auto back = directed.find({edge.second, edge.first});
        facts.unmatchedEdges += back == directed.end() || back->second != 1;
    }
    for (const auto& [vertex, link] : links) {
        // One closed fan: following the link from any corner visits every corner once.
        std::size_t steps = 0;
        std::uint32_t corner = link.begin()->first;
        do {
            const auto next = link.find(corner);
            if (next == link.end())
                break;
            corner = next->second;
            ++steps;
        } while (corner != link.begin()->first && steps <= link.size());
        facts.pinchedVertices += steps != link.size() || corner != link.begin()->first;
    }
    return facts;
}

// Runs a checking tool and returns what it printed; fails the test when it cannot run.
inline QString runTool(const QString& program, const QStringList& arguments,
                       int* exitCode = nullptr) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(60000))
        return QStringLiteral("could not run %1: %2").arg(program, process.errorString());
    if (exitCode)
        *exitCode = process.exitCode();
    return QString::fromUtf8(process.readAll());
}

// Writes a document holding the given volumes; returns its file name.
inline QString
writeDocument(const QString& fileName,
              const std::vector<std::shared_ptr<Model::Automaton::TotalVolume>>& volumes) {
    Model::Document document;
    for (const auto& volume : volumes)
        document.addObject(volume);
    Model::Persistence::ArchiverTable archivers;
    archivers[Model::Persistence::TotalVolumeArchiver::objectType] =
        std::make_shared<Model::Persistence::TotalVolumeArchiver>();
    QFile file(fileName);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Text));
    EXPECT_TRUE(Model::Persistence::DocumentArchiver(archivers).write(&file, document));
    return fileName;
}

// The Debian interpreter, which has the VTK module (a user's own python3 may come first).
inline QString systemPython() {
    const QString debian =
        QStandardPaths::findExecutable(QStringLiteral("python3"), {QStringLiteral("/usr/bin")});
    return debian.isEmpty() ? QStringLiteral("python3") : debian;
}

} // namespace testing_support

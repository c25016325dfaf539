// The measurement vocabulary: texts from process lists and command lines. Whatever the text,
// reading it either refuses it with a reason or gives a measurement whose numbers are finite;
// taken on a small volume, that measurement either answers with finite numbers or says why it
// has none, and never reads a cell outside the volume.

#include "fuzzsupport.h"

#include "Model/Automaton/cellgrid.h"
#include "Model/Automaton/voxel.h"
#include "Model/Metrology/measurementquery.h"

#include <cmath>
#include <vector>

using namespace Model::Metrology;

namespace {

// Silicon with a step and a trench, an oxide film and a void: every kind finds something.
const Model::Automaton::CellGrid& grid() {
    static std::vector<Model::Automaton::Voxel> cells = [] {
        std::vector<Model::Automaton::Voxel> all;
        for (int x = 0; x < 8; ++x)
            for (int y = 0; y < 6; ++y)
                for (int z = 0; z < 5; ++z) {
                    std::uint32_t material = 0;
                    if (z < (x >= 3 && x < 5 ? 1 : 3))
                        material = 1;
                    else if (z == 3 && (x < 3 || x >= 5))
                        material = 3;
                    if (x == 6 && y == 2 && z == 1)
                        material = 0;
                    all.emplace_back(material);
                }
        return all;
    }();
    static Model::Automaton::CellGrid view = [] {
        Model::Automaton::CellGrid g;
        g.cells = Model::Automaton::MaterialCells(cells.data(), nullptr);
        g.sizeX = 8;
        g.sizeY = 6;
        g.sizeZ = 5;
        return g;
    }();
    return view;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<Model::Materials::Material> materials = {
        Model::Materials::Material(1, QStringLiteral("Si"), 1, 1, 0),
        Model::Materials::Material(3, QStringLiteral("Thermal Si02"), 1, 1, 0),
        Model::Materials::Material(4, QStringLiteral("Al (bulk)"), 1, 1, 0)};
    const QString text = QString::fromUtf8(Fuzz::bytesOf(data, size));
    QString problem;
    const auto query = MeasurementQuery::parse(text, materials, problem);
    if (!query) {
        FUZZ_CHECK(!problem.isEmpty(), "a refused measurement gave no reason");
        return 0;
    }
    for (double number : query->numbers)
        FUZZ_CHECK(std::isfinite(number), "an accepted measurement holds a number that is none");
    const Measurement result = measure(grid(), CellEdges{1.0, 0.5, 2.0}, *query);
    if (!result.hasAnswer()) {
        FUZZ_CHECK(result.quantities.empty(), "a measurement without an answer gave numbers");
        return 0;
    }
    FUZZ_CHECK(!result.quantities.empty(), "an answer holds no number");
    for (const Quantity& quantity : result.quantities)
        FUZZ_CHECK(std::isfinite(quantity.value), "an answer is no finite number");
    for (const CellBox& box : result.cells)
        for (int axis = 0; axis < 3; ++axis) {
            const int limit = axis == 0 ? 8 : axis == 1 ? 6 : 5;
            FUZZ_CHECK(box.lo[axis] >= 0 && box.lo[axis] <= box.hi[axis] && box.hi[axis] <= limit,
                       "an answer names cells outside the volume");
        }
    return 0;
}

// Layout files as the photolithography dialog and the runner read them: a file is either
// refused with a reason, or read into cells whose every layer rasterises onto a grid as a mask
// of the grid's size, the inverted source giving exactly the complement.

#include "fuzzsupport.h"

#include "Model/Layout/layoutmask.h"

using namespace Model::Layout;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QString path = Fuzz::scratchPath(QStringLiteral("layout.gds"));
    Fuzz::writeFile(path, Fuzz::bytesOf(data, size));

    // The fuzzer counts a second per input as a hang; the program allows far more.
    LayoutLibrary library;
    QString problem;
    if (!LayoutLibrary::read(path, library, problem, {400, 20'000})) {
        FUZZ_CHECK(!problem.isEmpty(), "a layout was refused without a reason");
        return 0;
    }
    FUZZ_CHECK(library.databaseUnit() > 0, "an accepted layout has no unit");

    const ColumnGrid grid{24, 17, 1.5, 2.0};
    LayoutFlattener::Limits limits;
    limits.shapes = 20'000;
    limits.placements = 20'000;
    int tried = 0;
    for (int cell : library.topCells()) {
        for (const auto& [layer, datatype] : library.layersUnder(cell)) {
            if (++tried > 4)
                return 0;
            LayoutMaskSource source;
            source.cell = QString::fromStdString(library.cells()[std::size_t(cell)].name);
            source.layer = layer;
            source.datatype = datatype;
            source.offsetX = 3.25;
            source.rotation = 90 * tried;
            source.mirrored = tried % 2 == 0;
            Model::Automaton::PhotoMask mask;
            if (!LayoutMask::rasterise(library, source, grid, mask, problem, limits)) {
                FUZZ_CHECK(!problem.isEmpty(), "a layer was refused without a reason");
                continue;
            }
            FUZZ_CHECK(mask.width == grid.sizeX && mask.height == grid.sizeY && mask.isConsistent(),
                       "a layout mask does not fit the grid");
            source.inverted = true;
            Model::Automaton::PhotoMask inverse;
            FUZZ_CHECK(LayoutMask::rasterise(library, source, grid, inverse, problem, limits),
                       "an inverted source was refused where the plain one was not");
            inverse.bits.flip();
            FUZZ_CHECK(inverse == mask, "an inverted layout mask is no complement");
        }
    }
    return 0;
}

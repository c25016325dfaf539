#pragma once

#include "Util/progressreporter.h"

#include <QString>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace Model::Layout {

// One element of a layout cell as the stream holds it: coordinates in database units.
struct LayoutElement {
    enum class Kind : std::uint8_t { Boundary, Path, Reference, Array, Other };
    Kind kind = Kind::Other;
    int layer = 0;
    int datatype = 0;
    // Paths: 0 flush ends, 1 round ends, 2 ends extended by half the width.
    int pathType = 0;
    int width = 0;
    // Arrays: columns and rows; references and arrays: the cell placed (index into the cells)
    // and how: mirrored about x first, then scaled and turned counter-clockwise by degrees.
    int columns = 0;
    int rows = 0;
    int cell = -1;
    bool reflected = false;
    double magnification = 1.0;
    double angle = 0.0;
    std::vector<std::int32_t> xy;
};

struct LayoutCell {
    std::string name;
    std::vector<LayoutElement> elements;
};

// The cells of a GDSII file, as the layout library reads them. The library runs in a child
// process of its own: it reads every element into memory, flattens the whole hierarchy while
// reading, and ends the process on some damaged files, so a file from elsewhere must not be
// able to take this process down, fill its memory or hold it forever. Here the hierarchy stays
// as it is; LayoutFlattener places what a mask needs.
class LayoutLibrary {
public:
    LayoutLibrary() = default;
    LayoutLibrary(double databaseUnitMicrometres, std::vector<LayoutCell> cells)
        : unitMicrometres(databaseUnitMicrometres), cellList(std::move(cells)) {}

    // Files larger than this are refused before they are read.
    static constexpr std::int64_t maximumFileBytes = std::int64_t(256) << 20;

    // What reading one file may cost before the file counts as hostile: the reader's time,
    // and the placements of cells the library would flatten.
    struct ReadLimits {
        int milliseconds;
        std::uint64_t placements;
    };
    static constexpr ReadLimits defaultLimits{30'000, 20'000'000};

    // False, with the reason in words in `problem`, when the file cannot be read as a layout
    // or `progress` was cancelled (the reader is stopped within a tenth of a second).
    static bool read(const QString& path, LayoutLibrary& library, QString& problem,
                     ReadLimits limits = defaultLimits,
                     Util::ProgressReporter& progress = Util::ProgressReporter::none());

    // The size of a database unit, in micrometres, as the file's header gives it.
    double databaseUnit() const { return unitMicrometres; }
    const std::vector<LayoutCell>& cells() const { return cellList; }
    int cellIndex(const std::string& name) const;

    // The cells no other cell places, in file order.
    std::vector<int> topCells() const;
    // The (layer, datatype) pairs drawn in `cell` and below it, sorted.
    std::vector<std::pair<int, int>> layersUnder(int cell) const;

    // Checks what flattening relies on: every reference names a cell, no cell places itself
    // through others, arrays and transformations are sane. False with the reason otherwise.
    bool validate(QString& problem) const;

    // The reader's own exchange format between the child process and this one.
    QByteArray serialise() const;
    bool deserialise(const QByteArray& bytes);

private:
    double unitMicrometres = 0.0;
    std::vector<LayoutCell> cellList;
};

} // namespace Model::Layout

#pragma once

#include "Model/Metrology/dimension.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace Model::Metrology {

// The cells a measurement looks at: a set of material ids, empty space (id 0), or every
// material at once ("solid"). Written as the user wrote it, for messages.
class MaterialSelection {
public:
    MaterialSelection() = default;
    static MaterialSelection solid();
    static MaterialSelection emptySpace();
    // Id 0 among `ids` stands for empty space.
    static MaterialSelection of(std::vector<std::uint32_t> ids, const QString& text);

    bool contains(std::uint32_t id) const {
        if (id == 0)
            return withEmpty;
        if (allSolid)
            return true;
        for (std::uint32_t own : ids)
            if (own == id)
                return true;
        return false;
    }
    const QString& text() const { return written; }

private:
    std::vector<std::uint32_t> ids;
    bool withEmpty = false;
    bool allSolid = false;
    QString written;
};

// The cells [lo, hi) along each axis that a result was taken from.
struct CellBox {
    int lo[3] = {0, 0, 0};
    int hi[3] = {0, 0, 0};
};

// One number of a result. `key` is empty for the headline value of a single-valued result,
// otherwise a word such as "mean", "residual", "1.Si" or "Si.volume".
struct Quantity {
    QString key;
    double value = 0.0;
    QString unit;
};

// One layer of a stack, from the top down: a run of cells of one material (id 0 for a void
// between solid layers) in one column. Heights in µm; cells are z indices, both inclusive.
struct StackLayer {
    std::uint32_t material = 0;
    QString name;
    double top = 0.0;
    double bottom = 0.0;
    double thickness = 0.0;
    int topCell = 0;
    int bottomCell = 0;
    // The layer reaches the volume's top face: the volume cut it off there, and it may go on
    // above.
    bool reachesTop = false;
};

// What a volume holds of one material: its cells, their volume, and the cell sides it shares
// with empty cells inside the volume (counted per side normal: x, y, z) and their area.
struct MaterialTotal {
    std::uint32_t material = 0;
    QString name;
    std::uint64_t cells = 0;
    std::uint64_t exposedSides[3] = {0, 0, 0};
    double volume = 0.0;
    double exposedArea = 0.0;
};

// One connected solid body of a volume and what holds it (see freeStructures).
struct FreeBody {
    enum class Hold { Attached, Anchored, Loose };
    Hold hold = Hold::Attached;
    bool substrate = false;
    std::uint64_t cells = 0;
    double volume = 0.0;   // µm³
    double contact = 0.0;  // µm² shared with the substrate
    double released = 0.0; // µm² of underside over empty space
    // Its cells lie within this box.
    CellBox box;
    // For an anchored body held by a sacrificial material: how far the etch reached below its
    // anchor (the least undercut of the anchor's edges, µm), and the measurement that gives it.
    double undercut = 0.0;
    QString undercutMeasurement;

    static QString holdName(Hold hold) {
        return hold == Hold::Attached   ? QStringLiteral("attached")
               : hold == Hold::Anchored ? QStringLiteral("anchored")
                                        : QStringLiteral("loose");
    }
};

// The answer of one measurement, or the reason there is none. Lengths are in µm, angles in
// degrees; every number comes from cell counts times cell edges.
struct Measurement {
    // Why there is no answer (the probe lies outside the volume, the material is absent, ...),
    // in words starting in lower case; empty when there is an answer.
    QString reason;
    // The first quantity is the headline value.
    std::vector<Quantity> quantities;
    // The cells the result was taken from.
    std::vector<CellBox> cells;
    // How a picture draws the result.
    std::vector<Dimension> dimensions;
    // For a stack only.
    std::vector<StackLayer> layers;
    // For the material totals only.
    std::vector<MaterialTotal> totals;
    // For the free structures only.
    std::vector<FreeBody> bodies;

    bool hasAnswer() const { return reason.isEmpty(); }
    static Measurement noAnswer(const QString& why) {
        Measurement missing;
        missing.reason = why;
        return missing;
    }
};

// A measured number under the name a process list or a command line gave it: the result name,
// followed by "." and the quantity's key when it has one ("etch", "etch.mean").
struct NamedValue {
    QString name;
    double value = 0.0;
    QString unit;
};

std::vector<NamedValue> namedValues(const Measurement& measurement, const QString& resultName);

// "12 µm", "54.7 °": a value as the console and the pictures write it.
QString formatValue(double value, const QString& unit);

} // namespace Model::Metrology

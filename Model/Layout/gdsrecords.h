#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace Model::Layout {

// The framing of a GDSII stream, checked before the stream reaches the layout library: every
// record is whole and of a size its kind can have, and the stream ends with ENDLIB. Only the
// record headers and the name records are looked at; the library decodes everything else.
//
// The pass also makes up for what the library gets wrong: it reads no BOX elements (they are
// rewritten as the boundaries they are), and it folds every character of a cell name outside
// [A-Za-z$?_] into '_' (so "CELL1" and "CELL2" would become one cell). The names as written are
// kept here, in the order the library keeps its cells and references.
class GdsRecords {
public:
    // False, with the reason in `problem`, for a stream that is no whole GDSII stream.
    bool check(const QByteArray& stream, QString& problem);

    // The stream as the library should read it.
    const QByteArray& libraryStream() const { return rewritten; }
    // The library reads STRANS in the machine's byte order and so takes the wrong bit for
    // reflection; this is the flag as written, for each referenced name.
    const std::vector<bool>& referenceReflected() const { return reflected; }
    // Cell names (STRNAME) and referenced names (SNAME), in stream order.
    const std::vector<std::string>& cellNames() const { return structureNames; }
    const std::vector<std::string>& referencedNames() const { return referenceNames; }

    // Checks the references by name before the library sees them: it ends the process on a
    // reference to a cell the file does not hold, and recurses without end on a cell that
    // places itself. False with the reason otherwise.
    // The library also flattens every placement of every cell while reading, so a hierarchy
    // that places more than `placements` cells in all is refused here.
    bool checkHierarchy(QString& problem, std::uint64_t placements = 20'000'000) const;

private:
    QByteArray rewritten;
    std::vector<std::string> structureNames;
    std::vector<std::string> referenceNames;
    // For each referenced name, the cell (index into structureNames) that places it.
    std::vector<int> referencingCell;
    std::vector<bool> reflected;
    // Columns times rows for each referenced name: 1 for a single reference.
    std::vector<std::uint64_t> copies;
};

} // namespace Model::Layout

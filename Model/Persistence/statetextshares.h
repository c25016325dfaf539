#pragma once

#include "Model/Automaton/cellindex.h"

#include <cstddef>
#include <vector>

class QThreadPool;

namespace Model::Persistence {

// The run of digits and spaces a State text begins with, found and cut into shares on the pool
// in one read of its bytes: where the run ends, where its last space ends, and how many parts
// begin in each share, so that every share can then write its cells from where the shares
// before it end without waiting for them. A part is a stretch of digits between spaces; the
// byte before the first one counts as a space (no part is pending).
//
// Shares are taken in order by whichever pool thread is free, so a thread held up by another
// program's work delays no other; a share that begins past a run end already found is not read,
// so a document's next volume is not scanned along with this one.
class StateTextShares {
public:
    struct Share {
        std::size_t begin = 0; // offsets into the bytes
        std::size_t end = 0;
        // Parts that begin before `begin`: the share's first part is the run's part of this
        // number. The share's parts are those that begin in [begin, end); the last may end in
        // the next share.
        Model::Automaton::CellIndex partsBefore = 0;
    };

    StateTextShares(const char* bytes, std::size_t length, std::size_t shareBytes,
                    QThreadPool& pool);

    // The first byte that is neither digit nor space, or `length`.
    std::size_t runEnd() const { return end; }
    // Just after the run's last space, 0 when it has none: [0, wholePartsEnd) holds whole parts
    // only, each followed by a space. What lies between it and runEnd() is one part, unended.
    std::size_t wholePartsEnd() const { return partsEnd; }
    // The parts of [0, wholePartsEnd).
    Model::Automaton::CellIndex wholeParts() const { return parts; }
    // The shares of [0, wholePartsEnd), in order.
    const std::vector<Share>& getShares() const { return shares; }

    // The length of the run of digits and spaces that [first, first + length) begins with,
    // found on the calling thread.
    static std::size_t runLength(const char* first, std::size_t length);

private:
    std::size_t end = 0;
    std::size_t partsEnd = 0;
    Model::Automaton::CellIndex parts = 0;
    std::vector<Share> shares;
};

} // namespace Model::Persistence

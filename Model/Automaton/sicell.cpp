#include "Model/Automaton/sicell.h"

namespace Model::Automaton {

namespace {

struct PartnerTable {
    SiCell::Partner entries[8][4];

    PartnerTable() {
        // The seven bonds inside a cell and the nine into its forward neighbours, each seen
        // from both ends: together every slot of every site.
        for (const SiCell::Bond& bond : SiCell::internalBonds) {
            entries[bond.from][bond.slot] = {bond.to, 0, 0, 0};
            entries[bond.to][3 - bond.slot] = {bond.from, 0, 0, 0};
        }
        for (const SiCell::ForwardBonds& forward : SiCell::forwardBonds) {
            for (int b = 0; b < forward.count; ++b) {
                const SiCell::Bond& bond = forward.bonds[b];
                entries[bond.from][bond.slot] = {bond.to, std::int8_t(forward.dx),
                                                 std::int8_t(forward.dy), std::int8_t(forward.dz)};
                entries[bond.to][3 - bond.slot] = {bond.from, std::int8_t(-forward.dx),
                                                   std::int8_t(-forward.dy),
                                                   std::int8_t(-forward.dz)};
            }
        }
    }
};

} // namespace

const SiCell::Partner (&SiCell::partners())[8][4] {
    static const PartnerTable table;
    return table.entries;
}

} // namespace Model::Automaton

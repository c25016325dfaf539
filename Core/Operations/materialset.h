#pragma once

#include <QString>

#include <cstdint>
#include <set>
#include <vector>

namespace Core::Operations {

// The materials a process acts on, as the process registry lists them for that process, with
// a lookup cheap enough for the inner loops of an engine.
class MaterialSet {
public:
    MaterialSet() = default;
    explicit MaterialSet(const std::set<unsigned>& ids);

    // The compatible materials of the named process; empty when the registry has no such
    // process or cannot be reached.
    static MaterialSet compatibleWith(const QString& processName);

    bool contains(std::uint32_t id) const {
        if (id < table.size())
            return table[id] != 0;
        return id >= tableLimit && ids.count(id) != 0;
    }
    bool empty() const { return ids.empty(); }
    const std::set<unsigned>& getIds() const { return ids; }

private:
    // Ids are small in practice; one beyond this (a registry file could still hold it) is
    // looked up in the set instead of growing the table without bound.
    static constexpr std::uint32_t tableLimit = 1u << 16;

    std::set<unsigned> ids;
    std::vector<std::uint8_t> table;
};

} // namespace Core::Operations

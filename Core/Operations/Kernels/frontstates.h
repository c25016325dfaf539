#pragma once

#include "Model/Automaton/cellindex.h"
#include "Model/Automaton/materialcells.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace Core::Operations {

// What the vector rules keep for a cell besides its material: whether it is settled (a seed or
// a cell the process cannot change) and the vector to the nearest seed it knows of.
struct VectorState {
    std::uint8_t mark = 0;
    float vectorX = 0.0f;
    float vectorY = 0.0f;
    float vectorZ = 0.0f;

    // Bit for bit, so that a state is only ever left unwritten when writing it would change
    // nothing at all.
    bool sameAs(const VectorState& other) const {
        return mark == other.mark && std::memcmp(&vectorX, &other.vectorX, sizeof(float)) == 0 &&
               std::memcmp(&vectorY, &other.vectorY, sizeof(float)) == 0 &&
               std::memcmp(&vectorZ, &other.vectorZ, sizeof(float)) == 0;
    }
};

// For rules that decide from materials alone.
struct NoState {
    bool sameAs(const NoState&) const { return true; }
};

// A cell as a rule sees it: its material and its state.
template <class State> struct FrontCell : State { Model::Automaton::MaterialId material = 0; };

// The states of the cells of one run. A cell the run has not given a state of its own has the
// idle state of its material (what the rule starts such a cell with); states of their own are
// kept in pages of 16 cells along z, made the first time a cell of the page takes a state
// other than its idle one. A front that stays near the surface therefore costs memory for the
// cells near the surface only, however large the volume.
//
// Each possible page has a 32-bit number in the table (0: not made), half a pointer: a film of
// ten cells on a billion-cell volume touches a page or two in every one of its million columns,
// so the table and the width of the pages, not the front, decide what a run costs.
//
// A page belongs to one (x, y) row, so only the strip that owns the row ever makes or writes it;
// strips read each other's pages only in passes where nobody writes (see FrontPropagation).
template <class State> class FrontStates {
public:
    using CellIndex = Model::Automaton::CellIndex;
    using MaterialId = Model::Automaton::MaterialId;
    static constexpr int pageShift = 4;
    static constexpr int pageCells = 1 << pageShift;

    // `idleOf(material)` gives the idle state of a material; `stripOfX` the strip that owns each
    // x layer.
    template <class IdleOf>
    void setUp(int sizeX, int sizeY, int sizeZ, std::vector<int> stripOfX, int strips,
               IdleOf&& idleOf) {
        rowLength = sizeZ;
        rowsPerLayer = sizeY;
        pagesPerRow = (sizeZ + pageCells - 1) / pageCells;
        const std::size_t pages =
            std::size_t(sizeX) * std::size_t(sizeY) * std::size_t(pagesPerRow);
        // Each strip may leave one chunk part-used; every page number must fit 32 bits.
        const std::size_t chunkCount =
            (pages + pagesPerChunk - 1) / pagesPerChunk + std::size_t(strips);
        if (chunkCount > (std::size_t(1) << (32 - chunkShift)) - 1)
            throw std::bad_alloc();
        table.assign(pages, 0);
        chunks.clear();
        chunks.resize(chunkCount);
        nextChunk.store(0, std::memory_order_relaxed);
        owner = std::move(stripOfX);
        pools.clear();
        pools.resize(std::size_t(strips));
        idle.resize(commonMaterials);
        for (MaterialId m = 0; m < commonMaterials; ++m)
            idle[m] = idleOf(m);
    }
    // Lets every page go.
    void clear() {
        std::vector<PageNumber>().swap(table);
        std::vector<std::unique_ptr<State[]>>().swap(chunks);
        pools.clear();
#if defined(__GLIBC__)
        // The chunks came from the pool threads' heaps, which keep freed memory for the next
        // allocation: a film on a billion cells would leave a few hundred megabytes resident
        // beside the cells for every later step and surface.
        malloc_trim(0);
#endif
    }

    template <class IdleOf> const State& idleOf(MaterialId m, IdleOf&& rare) const {
        if (m < commonMaterials)
            return idle[m];
        thread_local State computed;
        computed = rare(m);
        return computed;
    }

    // The page of row `row` holding z, or null.
    State* page(CellIndex row, int z) const {
        const PageNumber number =
            table[std::size_t(row) * std::size_t(pagesPerRow) + std::size_t(z >> pageShift)];
        if (number == 0)
            return nullptr;
        const PageNumber k = number - 1;
        return chunks[k >> chunkShift].get() + std::size_t(k & (pagesPerChunk - 1)) * pageCells;
    }

    // Makes the page of (row, z), every cell of it in the idle state of its material.
    template <class IdleOf>
    State* makePage(CellIndex row, int z, Model::Automaton::MaterialCells materials,
                    IdleOf&& rare) {
        PageNumber& slot =
            table[std::size_t(row) * std::size_t(pagesPerRow) + std::size_t(z >> pageShift)];
        Pool& pool = pools[std::size_t(owner[std::size_t(row / CellIndex(rowsPerLayer))])];
        if (pool.chunksTaken == 0 || pool.used == pagesPerChunk) {
            // Strips take chunk numbers as they need them; which strip gets which number
            // depends on timing, the states in them do not.
            pool.chunk = nextChunk.fetch_add(1, std::memory_order_relaxed);
            chunks[pool.chunk] = std::make_unique<State[]>(std::size_t(pagesPerChunk) * pageCells);
            ++pool.chunksTaken;
            pool.used = 0;
        }
        const PageNumber k = (pool.chunk << chunkShift) | PageNumber(pool.used++);
        State* fresh = chunks[pool.chunk].get() + std::size_t(k & (pagesPerChunk - 1)) * pageCells;
        const int first = z & ~(pageCells - 1);
        const CellIndex rowStart = row * CellIndex(rowLength);
        for (int k = 0; k < pageCells && first + k < rowLength; ++k)
            fresh[k] = idleOf(materials[std::ptrdiff_t(rowStart + CellIndex(first + k))], rare);
        slot = k + 1;
        return fresh;
    }

    // Pages made so far, for the memory a run takes.
    std::size_t pageCount() const {
        std::size_t pages = 0;
        for (const Pool& pool : pools)
            pages += pool.chunksTaken == 0
                         ? 0
                         : (pool.chunksTaken - 1) * std::size_t(pagesPerChunk) + pool.used;
        return pages;
    }

private:
    // Ids below this have their idle state in a table; the registry's ids all do.
    static constexpr MaterialId commonMaterials = 1 << 12;
    static constexpr int chunkShift = 10;
    static constexpr int pagesPerChunk = 1 << chunkShift;
    using PageNumber = std::uint32_t;

    // The chunk a strip is filling.
    struct Pool {
        PageNumber chunk = 0;
        std::size_t chunksTaken = 0;
        int used = 0;
    };

    int rowLength = 0;
    int rowsPerLayer = 0;
    int pagesPerRow = 0;
    std::vector<PageNumber> table;
    std::vector<std::unique_ptr<State[]>> chunks;
    std::atomic<PageNumber> nextChunk{0};
    std::vector<int> owner;
    std::vector<Pool> pools;
    std::vector<State> idle;
};

} // namespace Core::Operations

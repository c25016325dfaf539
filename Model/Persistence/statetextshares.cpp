#include "Model/Persistence/statetextshares.h"

#include "Util/pooltasks.h"

#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Model::Persistence {

using Model::Automaton::CellIndex;

namespace {

constexpr std::size_t none = std::numeric_limits<std::size_t>::max();

inline bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// What one share holds, up to the run's end if that lies in it.
struct Scan {
    std::size_t stop = none; // the first byte that is neither digit nor space
    std::size_t lastSpaceEnd = 0;
    CellIndex parts = 0; // parts that begin in the share, before `stop`
};

#if defined(__SSE2__)
// Bit i set for each of the sixteen bytes at `at` that is a space, and for each that is a digit.
inline void classify(const char* at, unsigned& spaces, unsigned& digits) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    // A digit less '0' is 0 to 9 unsigned, and so its own minimum with 9.
    const __m128i fromZero = _mm_sub_epi8(bytes, _mm_set1_epi8('0'));
    const __m128i digit = _mm_cmpeq_epi8(_mm_min_epu8(fromZero, _mm_set1_epi8(9)), fromZero);
    spaces = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(' '))));
    digits = unsigned(_mm_movemask_epi8(digit));
}
#endif

void scanShare(const char* bytes, std::size_t begin, std::size_t end, Scan& scan) {
    bool spaceBefore = begin == 0 || bytes[begin - 1] == ' ';
    std::size_t i = begin;
#if defined(__SSE2__)
    for (; i + 16 <= end; i += 16) {
        unsigned spaces = 0;
        unsigned digits = 0;
        classify(bytes + i, spaces, digits);
        unsigned valid = 0xffff;
        const unsigned accepted = spaces | digits;
        if (accepted != 0xffff) {
            const unsigned first = unsigned(__builtin_ctz(~accepted));
            valid = (1u << first) - 1;
            scan.stop = i + first;
        }
        // A part begins at a digit after a space.
        const unsigned starts = ~spaces & ((spaces << 1) | unsigned(spaceBefore)) & valid;
        scan.parts += CellIndex(__builtin_popcount(starts));
        if (const unsigned seen = spaces & valid)
            scan.lastSpaceEnd = i + std::size_t(32 - __builtin_clz(seen));
        if (scan.stop != none)
            return;
        spaceBefore = (spaces >> 15) != 0;
    }
#endif
    for (; i < end; ++i) {
        const bool space = bytes[i] == ' ';
        if (!space && !isDigit(bytes[i])) {
            scan.stop = i;
            return;
        }
        scan.parts += CellIndex(!space && spaceBefore);
        if (space)
            scan.lastSpaceEnd = i + 1;
        spaceBefore = space;
    }
}

} // namespace

StateTextShares::StateTextShares(const char* bytes, std::size_t length, std::size_t shareBytes,
                                 QThreadPool& pool) {
    shareBytes = std::max<std::size_t>(shareBytes, 1);
    const std::size_t count = length / shareBytes + (length % shareBytes != 0);
    std::vector<Scan> scans(count);
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> earliestStop{length};
    const int tasks =
        int(std::min<std::size_t>(std::size_t(std::max(1, pool.maxThreadCount())), count));
    Util::runTasksAndWait(pool, tasks, [&](int) {
        for (;;) {
            const std::size_t k = next.fetch_add(1, std::memory_order_relaxed);
            const std::size_t begin = k * shareBytes;
            // Shares are taken in order: once one begins past a stop, so do all that follow.
            if (k >= count || begin >= earliestStop.load(std::memory_order_relaxed))
                return;
            Scan& scan = scans[k];
            scanShare(bytes, begin, std::min(length, begin + shareBytes), scan);
            std::size_t known = earliestStop.load(std::memory_order_relaxed);
            while (scan.stop < known &&
                   !earliestStop.compare_exchange_weak(known, scan.stop, std::memory_order_relaxed))
                ;
        }
    });

    // Every share that begins before the earliest stop was read whole (up to its own stop).
    end = earliestStop.load();
    CellIndex counted = 0;
    for (std::size_t k = 0; k < count && k * shareBytes < end; ++k) {
        partsEnd = std::max(partsEnd, scans[k].lastSpaceEnd);
        counted += scans[k].parts;
    }
    // A part begins just after the last space unless the run ends there.
    parts = counted - CellIndex(partsEnd < end);
    CellIndex before = 0;
    for (std::size_t k = 0; k < count && k * shareBytes < partsEnd; ++k) {
        const std::size_t begin = k * shareBytes;
        shares.push_back({begin, std::min(partsEnd, begin + shareBytes), before});
        before += scans[k].parts;
    }
}

std::size_t StateTextShares::runLength(const char* first, std::size_t length) {
    std::size_t run = 0;
#if defined(__SSE2__)
    for (; run + 16 <= length; run += 16) {
        unsigned spaces = 0;
        unsigned digits = 0;
        classify(first + run, spaces, digits);
        if ((spaces | digits) != 0xffff)
            return run + std::size_t(__builtin_ctz(~(spaces | digits)));
    }
#endif
    while (run < length && (first[run] == ' ' || isDigit(first[run])))
        ++run;
    return run;
}

} // namespace Model::Persistence

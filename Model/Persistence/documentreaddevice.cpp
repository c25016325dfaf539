#include "Model/Persistence/documentreaddevice.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Model::Persistence {

namespace {

constexpr char stateTag[] = "<State>";
constexpr std::size_t stateTagLength = sizeof(stateTag) - 1;
// Each piece of State text the buffer holds is parsed on the pool; large pieces keep the
// threads busy between the hand-overs.
constexpr std::size_t bufferBytes = std::size_t(8) << 20;
constexpr std::size_t smallestBuffer = std::size_t(1) << 12;

// A document smaller than the usual buffer fits whole into one of its own size: reading a small
// file must not cost a megabyte of fresh pages.
std::size_t bufferFor(qint64 documentSize) {
    if (documentSize < 0)
        return bufferBytes;
    return std::clamp(std::size_t(documentSize) + 1, smallestBuffer, bufferBytes);
}

inline bool isDigitOrSpace(char c) {
    return c == ' ' || (c >= '0' && c <= '9');
}

// 0x80 in every byte of `v` that is zero, 0 in the others.
constexpr std::uint64_t zeroBytes(std::uint64_t v) {
    constexpr std::uint64_t low7 = 0x7f7f7f7f7f7f7f7full;
    return ~(((v & low7) + low7) | v | low7);
}

// True when each of the eight bytes of `word` is a digit or a space.
constexpr bool digitsOrSpaces(std::uint64_t word) {
    constexpr std::uint64_t ones = 0x0101010101010101ull;
    constexpr std::uint64_t high = 0x80 * ones;
    // A digit is 0x30 to 0x39: high half 3, low half below 10 (adding 6 leaves bit 4 clear).
    const std::uint64_t digits = zeroBytes((word & 0xf0 * ones) ^ 0x30 * ones) &
                                 ~(((word & 0x0f * ones) + 0x06 * ones) << 3);
    const std::uint64_t spaces = zeroBytes(word ^ 0x20 * ones);
    return ((digits | spaces) & high) == high;
}

// Length of the run of digits and spaces that [first, first + length) begins with. The State
// text of a large volume is gigabytes of them, read here on one thread while the pool waits,
// so sixteen (or eight) at a time.
std::size_t digitsAndSpacesAt(const char* first, std::size_t length) {
    std::size_t run = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_set1_epi8('0');
    const __m128i nine = _mm_set1_epi8(9);
    const __m128i space = _mm_set1_epi8(' ');
    for (; run + 16 <= length; run += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + run));
        // A digit less '0' is 0 to 9 unsigned, and so its own minimum with 9.
        const __m128i fromZero = _mm_sub_epi8(bytes, zero);
        const __m128i digit = _mm_cmpeq_epi8(_mm_min_epu8(fromZero, nine), fromZero);
        const __m128i accepted = _mm_or_si128(digit, _mm_cmpeq_epi8(bytes, space));
        if (_mm_movemask_epi8(accepted) != 0xffff)
            break;
    }
#endif
    for (; run + 8 <= length; run += 8) {
        std::uint64_t word;
        std::memcpy(&word, first + run, 8);
        if (!digitsOrSpaces(word))
            break;
    }
    while (run < length && isDigitOrSpace(first[run]))
        ++run;
    return run;
}

} // namespace

DocumentReadDevice::DocumentReadDevice(QIODevice& source)
    : source(source), size(source.isSequential() ? -1 : source.size()), buffer(bufferFor(size)) {
    // Unbuffered, so that every read of the XML reader reaches readData() and the cut after
    // "<State>" is where the reader stops.
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

bool DocumentReadDevice::atEnd() const {
    return begin == end && (sourceDone || source.atEnd());
}

qint64 DocumentReadDevice::bytesAvailable() const {
    return qint64(end - begin) + source.bytesAvailable();
}

bool DocumentReadDevice::refill() {
    if (sourceDone)
        return false;
    if (begin > 0) {
        std::memmove(buffer.data(), buffer.data() + begin, end - begin);
        end -= begin;
        begin = 0;
    }
    const qint64 read = source.read(buffer.data() + end, qint64(buffer.size() - end));
    if (read <= 0) {
        sourceDone = true;
        return false;
    }
    end += std::size_t(read);
    return true;
}

qint64 DocumentReadDevice::readData(char* data, qint64 maxSize) {
    if (maxSize <= 0)
        return 0;
    // Enough bytes to see a whole "<State>" beyond what may be delivered.
    const std::size_t wanted = std::size_t(maxSize) + stateTagLength;
    if (end - begin < wanted && end - begin < buffer.size() / 2)
        refill();
    std::size_t length = std::min<std::size_t>(std::size_t(maxSize), end - begin);
    if (length == 0)
        return sourceDone ? -1 : 0;

    // Stop just after the first "<State>" that starts within this piece.
    const char* first = buffer.data() + begin;
    const char* last = buffer.data() + end;
    const char* found = std::search(first, std::min(last, first + length + stateTagLength - 1),
                                    stateTag, stateTag + stateTagLength);
    bool cutAtTag = false;
    if (found != std::min(last, first + length + stateTagLength - 1)) {
        const std::size_t tagEnd = std::size_t(found - first) + stateTagLength;
        if (tagEnd <= std::size_t(maxSize)) {
            length = tagEnd;
            cutAtTag = true;
        } else if (found > first) {
            length = std::size_t(found - first);
        }
    }

    std::memcpy(data, first, length);
    countCharacters(first, length);
    begin += length;
    deliveredUpToStateTag = cutAtTag;
    return qint64(length);
}

void DocumentReadDevice::countCharacters(const char* bytes, std::size_t length) {
    // Strict UTF-8: the reader's decoder gives one character per sequence (two for the four
    // byte ones, a surrogate pair). Anything else and the counts may disagree.
    for (std::size_t i = 0; i < length && strictUtf8; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (continuationBytes > 0) {
            if (b < secondByteLow || b > secondByteHigh) {
                strictUtf8 = false;
                break;
            }
            secondByteLow = 0x80;
            secondByteHigh = 0xBF;
            --continuationBytes;
            continue;
        }
        if (b < 0x80) {
            ++charactersDelivered;
        } else if (b >= 0xC2 && b <= 0xDF) {
            ++charactersDelivered;
            continuationBytes = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            ++charactersDelivered;
            continuationBytes = 2;
            secondByteLow = b == 0xE0 ? 0xA0 : 0x80;
            secondByteHigh = b == 0xED ? 0x9F : 0xBF;
        } else if (b >= 0xF0 && b <= 0xF4) {
            charactersDelivered += 2;
            continuationBytes = 3;
            secondByteLow = b == 0xF0 ? 0x90 : 0x80;
            secondByteHigh = b == 0xF4 ? 0x8F : 0xBF;
        } else {
            strictUtf8 = false;
        }
    }
}

bool DocumentReadDevice::standsAfterStateTag(qint64 readerCharacterOffset) const {
    return strictUtf8 && deliveredUpToStateTag && continuationBytes == 0 &&
           readerCharacterOffset == charactersDelivered;
}

void DocumentReadDevice::takeDigitsAndSpaces(const RunConsumer& take) {
    deliveredUpToStateTag = false;
    for (;;) {
        if (begin == end && !refill())
            return;
        const char* first = buffer.data() + begin;
        const std::size_t available = end - begin;
        const std::size_t run = digitsAndSpacesAt(first, available);
        if (run > 0)
            take(first, run);
        begin += run;
        if (run < available)
            return;
    }
}

} // namespace Model::Persistence

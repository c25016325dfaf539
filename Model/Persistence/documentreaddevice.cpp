#include "Model/Persistence/documentreaddevice.h"

#include <QBuffer>
#include <QFileDevice>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

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

// Another program may cut a file short while it is mapped and read; reading a page beyond its
// new end then raises SIGBUS. While a document is read from a map, such a page of it is given
// zeros instead, which are neither digits nor markup, so the reader stops there and the device
// can say that the file was cut short. A SIGBUS anywhere else goes where it went before.
struct WatchedRange {
    std::atomic<std::uintptr_t> begin{0};
    std::atomic<std::uintptr_t> end{0};
    std::atomic<bool> cut{false};
};

class CutShortGuard {
public:
    // A slot that watches [begin, begin + length), or -1 when every slot is taken.
    static int watch(const void* begin, std::size_t length) {
        const std::lock_guard<std::mutex> lock(mutex);
        install();
        for (int slot = 0; slot < slotCount; ++slot) {
            WatchedRange& range = ranges[slot];
            if (range.end.load() == 0) {
                range.cut.store(false);
                range.begin.store(reinterpret_cast<std::uintptr_t>(begin));
                range.end.store(reinterpret_cast<std::uintptr_t>(begin) + length);
                return slot;
            }
        }
        return -1;
    }
    static void release(int slot) {
        const std::lock_guard<std::mutex> lock(mutex);
        ranges[slot].end.store(0);
        ranges[slot].begin.store(0);
    }
    static bool wasCut(int slot) { return ranges[slot].cut.load(); }

private:
    static constexpr int slotCount = 64;

    static void install() {
        if (installed)
            return;
        const long size = sysconf(_SC_PAGESIZE);
        pageSize = size > 0 ? std::uintptr_t(size) : 4096;
        struct sigaction action {};
        action.sa_sigaction = &onBusError;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        installed = ::sigaction(SIGBUS, &action, &previous) == 0;
    }

    static void onBusError(int signal, siginfo_t* info, void* context) {
        const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
        for (WatchedRange& range : ranges) {
            if (address < range.begin.load() || address >= range.end.load())
                continue;
            void* const page = reinterpret_cast<void*>(address & ~(pageSize - 1));
            if (mmap(page, pageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) !=
                MAP_FAILED) {
                range.cut.store(true);
                return;
            }
        }
        if ((previous.sa_flags & SA_SIGINFO) && previous.sa_sigaction) {
            previous.sa_sigaction(signal, info, context);
        } else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
            previous.sa_handler(signal);
        } else {
            // Delivered again as the handler returns, it now ends the program as it would have
            // without the guard.
            struct sigaction fallback {};
            fallback.sa_handler = SIG_DFL;
            ::sigaction(SIGBUS, &fallback, nullptr);
            raise(signal);
        }
    }

    static inline std::mutex mutex;
    static inline bool installed = false;
    static inline std::uintptr_t pageSize = 4096;
    static inline struct sigaction previous {};
    static inline WatchedRange ranges[slotCount];
};

} // namespace

DocumentReadDevice::DocumentReadDevice(QIODevice& source)
    : source(source), size(source.isSequential() ? -1 : source.size()) {
    const qint64 from = source.isSequential() ? 0 : source.pos();
    if (size > from) {
        // A file is mapped only for reading: what the system cannot map is read as a stream.
        auto* file = qobject_cast<QFileDevice*>(&source);
        if (file && (mapped = file->map(from, size - from))) {
            guardSlot = CutShortGuard::watch(mapped, std::size_t(size - from));
            if (guardSlot < 0) {
                file->unmap(mapped);
                mapped = nullptr;
            }
            inPlace = reinterpret_cast<const char*>(mapped);
        } else if (auto* bytes = qobject_cast<QBuffer*>(&source)) {
            inPlace = bytes->data().constData() + from;
        }
    }
    if (inPlace) {
        end = std::size_t(size - from);
        sourceDone = true;
        dropCarriageReturns = source.openMode().testFlag(QIODevice::Text);
    } else {
        buffer.resize(bufferFor(size));
    }
    // Unbuffered, so that every read of the XML reader reaches readData() and the cut after
    // "<State>" is where the reader stops.
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

DocumentReadDevice::~DocumentReadDevice() {
    if (!mapped)
        return;
    CutShortGuard::release(guardSlot);
    static_cast<QFileDevice&>(source).unmap(mapped);
}

bool DocumentReadDevice::wasCutShort() const {
    return mapped && CutShortGuard::wasCut(guardSlot);
}

bool DocumentReadDevice::atEnd() const {
    return begin == end && (sourceDone || source.atEnd());
}

qint64 DocumentReadDevice::bytesAvailable() const {
    return qint64(end - begin) + (inPlace ? 0 : source.bytesAvailable());
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
    if (!inPlace && end - begin < wanted && end - begin < buffer.size() / 2)
        refill();
    qint64 delivered = 0;
    // A piece of carriage returns alone delivers nothing: the next piece is read at once.
    while (delivered == 0) {
        std::size_t length = std::min<std::size_t>(std::size_t(maxSize), end - begin);
        if (length == 0)
            return sourceDone ? -1 : 0;

        // Stop just after the first "<State>" that starts within this piece.
        const char* first = bytes() + begin;
        const char* last = bytes() + end;
        const char* const searchEnd = std::min(last, first + length + stateTagLength - 1);
        const char* found = std::search(first, searchEnd, stateTag, stateTag + stateTagLength);
        bool cutAtTag = false;
        if (found != searchEnd) {
            const std::size_t tagEnd = std::size_t(found - first) + stateTagLength;
            if (tagEnd <= std::size_t(maxSize)) {
                length = tagEnd;
                cutAtTag = true;
            } else if (found > first) {
                length = std::size_t(found - first);
            }
        }

        if (dropCarriageReturns) {
            delivered = std::remove_copy(first, first + length, data, '\r') - data;
        } else {
            std::memcpy(data, first, length);
            delivered = qint64(length);
        }
        countCharacters(data, std::size_t(delivered));
        begin += length;
        deliveredUpToStateTag = cutAtTag;
    }
    return delivered;
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
        const std::size_t available = end - begin;
        const std::size_t run = std::min(available, take(bytes() + begin, available));
        begin += run;
        if (run < available)
            return;
    }
}

} // namespace Model::Persistence

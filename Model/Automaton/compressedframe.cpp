#include "Model/Automaton/compressedframe.h"

#include <zstd.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace Model::Automaton {

namespace {
constexpr std::size_t bufferBytes = 1 << 18;
} // namespace

struct CompressedFrameWriter::Context {
    Context() : stream(ZSTD_createCCtx()) {
        if (!stream)
            throw std::bad_alloc();
        ZSTD_CCtx_setParameter(stream, ZSTD_c_compressionLevel, 1);
    }
    ~Context() { ZSTD_freeCCtx(stream); }
    ZSTD_CCtx* stream;
};

CompressedFrameWriter::CompressedFrameWriter() : context(std::make_unique<Context>()) {}
CompressedFrameWriter::~CompressedFrameWriter() = default;

void CompressedFrameWriter::write(const void* data, std::size_t bytes) {
    compress(data, bytes, false);
}

std::string CompressedFrameWriter::finish() {
    compress(nullptr, 0, true);
    std::string done;
    done.swap(frame);
    done.shrink_to_fit();
    return done;
}

void CompressedFrameWriter::compress(const void* data, std::size_t bytes, bool end) {
    // Compressed bytes pass through a buffer of the writer's own: growing the frame by the
    // largest block for every write would clear that much memory for the few bytes a short
    // run compresses to.
    if (!staging)
        staging.reset(new char[ZSTD_CStreamOutSize()]);
    ZSTD_inBuffer in{data, bytes, 0};
    for (;;) {
        ZSTD_outBuffer out{staging.get(), ZSTD_CStreamOutSize(), 0};
        const std::size_t left =
            ZSTD_compressStream2(context->stream, &out, &in, end ? ZSTD_e_end : ZSTD_e_continue);
        // The only way compressing plain bytes in memory fails is running out of memory.
        if (ZSTD_isError(left))
            throw std::bad_alloc();
        frame.append(staging.get(), out.pos);
        if (end ? left == 0 : in.pos == in.size)
            return;
    }
}

struct CompressedFrameReader::Context {
    Context() : stream(ZSTD_createDCtx()) {
        if (!stream)
            throw std::bad_alloc();
    }
    ~Context() { ZSTD_freeDCtx(stream); }
    ZSTD_DCtx* stream;
};

CompressedFrameReader::CompressedFrameReader(const std::string& frame)
    : context(std::make_unique<Context>()), frame(frame), buffer(new char[bufferBytes]) {}
CompressedFrameReader::~CompressedFrameReader() = default;

bool CompressedFrameReader::refill() {
    if (damaged || frameEnded)
        return false;
    position = 0;
    filled = 0;
    while (filled == 0) {
        ZSTD_inBuffer in{frame.data(), frame.size(), consumed};
        ZSTD_outBuffer out{buffer.get(), bufferBytes, 0};
        const std::size_t hint = ZSTD_decompressStream(context->stream, &out, &in);
        consumed = in.pos;
        filled = out.pos;
        if (ZSTD_isError(hint)) {
            damaged = true;
            return false;
        }
        if (hint == 0) {
            // A frame followed by anything is not one of ours.
            frameEnded = true;
            damaged = consumed != frame.size();
            return filled > 0 && !damaged;
        }
        if (filled == 0 && consumed == frame.size()) {
            damaged = true; // cut off
            return false;
        }
    }
    return true;
}

bool CompressedFrameReader::read(void* into, std::size_t bytes) {
    char* to = static_cast<char*>(into);
    while (bytes > 0) {
        if (position == filled && !refill())
            return false;
        const std::size_t count = std::min(bytes, filled - position);
        std::memcpy(to, buffer.get() + position, count);
        position += count;
        to += count;
        bytes -= count;
    }
    return true;
}

bool CompressedFrameReader::atEnd() {
    if (position < filled)
        return false;
    if (!frameEnded && refill())
        return false;
    return frameEnded && !damaged;
}

} // namespace Model::Automaton

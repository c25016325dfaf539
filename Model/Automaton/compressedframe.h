#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace Model::Automaton {

// A frame of Zstandard-compressed bytes, written and read a piece at a time, so that the cells
// of a whole slab pass through it without ever being held uncompressed at once. The cells the
// undo records and the kept copies hold are long runs of one material, which the fastest level
// shrinks a thousandfold at the speed of memory.
class CompressedFrameWriter {
public:
    CompressedFrameWriter();
    ~CompressedFrameWriter();
    CompressedFrameWriter(const CompressedFrameWriter&) = delete;
    CompressedFrameWriter& operator=(const CompressedFrameWriter&) = delete;

    void write(const void* data, std::size_t bytes);
    // Ends the frame and hands it over; the writer starts a new one.
    std::string finish();

private:
    void compress(const void* data, std::size_t bytes, bool end);

    struct Context;
    std::unique_ptr<Context> context;
    std::unique_ptr<char[]> staging;
    std::string frame;
};

class CompressedFrameReader {
public:
    // Reads `frame`, which must outlive the reader.
    explicit CompressedFrameReader(const std::string& frame);
    ~CompressedFrameReader();
    CompressedFrameReader(const CompressedFrameReader&) = delete;
    CompressedFrameReader& operator=(const CompressedFrameReader&) = delete;

    // The next `bytes` bytes of the frame's contents; false when the frame ends before them or
    // is damaged.
    bool read(void* into, std::size_t bytes);
    // Whether every byte of the contents was read and the frame ended where it should.
    bool atEnd();

private:
    bool refill();

    struct Context;
    std::unique_ptr<Context> context;
    const std::string& frame;
    std::size_t consumed = 0;
    std::unique_ptr<char[]> buffer;
    std::size_t position = 0;
    std::size_t filled = 0;
    bool frameEnded = false;
    bool damaged = false;
};

} // namespace Model::Automaton

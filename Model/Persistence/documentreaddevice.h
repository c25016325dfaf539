#pragma once

#include <QIODevice>

#include <cstddef>
#include <functional>
#include <vector>

namespace Model::Persistence {

// Hands a document's bytes to the XML reader and lets the cell-volume archiver take the long
// runs of digits and spaces of a "State" text straight from the bytes, without the reader
// holding the text (two bytes per character) and scanning it character by character.
//
// A document that lies in memory as a whole, a file the system maps or a buffer's bytes, is
// read where it lies: the run is handed over in one piece, which the archiver parses on the
// pool from the first byte, and nothing is copied but what the XML reader reads. Any other
// source is read in pieces into a buffer of its own, and the run is handed over a piece at a
// time. A file opened as text reads as QIODevice reads it, without its carriage returns.
//
// Every read the XML reader makes ends at the latest just after a "<State>" in the bytes. When
// the reader then reports a State start element and has consumed every character delivered
// (its character offset equals the characters delivered), that "<State>" was the start tag the
// reader just read, and the bytes that follow are the element's text. takeDigitsAndSpaces()
// passes the digits and spaces there to the archiver and leaves the rest (the end tag, or
// whatever else the text holds) for the reader. The reader never sees the digits; they contain
// no line break and no markup, so its line numbers, tokens and errors stay as they were.
//
// The character count assumes UTF-8. Bytes that are not strict UTF-8 switch the shortcut off
// for the rest of the document, and the reader reads the State text itself.
class DocumentReadDevice : public QIODevice {
public:
    // `source` is open for reading and outlives this device, which opens itself. The document
    // is what the source holds from its position on.
    explicit DocumentReadDevice(QIODevice& source);
    ~DocumentReadDevice() override;

    bool isSequential() const override { return true; }
    bool atEnd() const override;
    qint64 bytesAvailable() const override;

    // Size of the whole document in bytes, or -1 when the source cannot tell.
    qint64 documentSize() const { return size; }
    // True when the document is read where it lies in memory.
    bool readsInPlace() const { return inPlace != nullptr; }
    // True when the mapped file was cut short by someone else while it was read: what lay
    // beyond its new end read as zeros.
    bool wasCutShort() const;

    // True when the reader, standing on a State start element at `readerCharacterOffset`,
    // has read exactly the bytes delivered so far and they ended with "<State>".
    bool standsAfterStateTag(qint64 readerCharacterOffset) const;

    // Offers the bytes that follow to `take`, which takes the run of digits and spaces they
    // begin with and answers how many bytes that run has (taking fewer than offered ends the
    // run). Bytes read in place are offered at once, up to the end of the document; others a
    // piece at a time, a run's part possibly cut between two pieces.
    using RunConsumer = std::function<std::size_t(const char* bytes, std::size_t length)>;
    void takeDigitsAndSpaces(const RunConsumer& take);

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    // Moves unread bytes to the front and reads more; false when nothing more came.
    bool refill();
    void countCharacters(const char* bytes, std::size_t length);
    // The document's bytes in memory, or the buffer; [begin, end) of them are unread.
    const char* bytes() const { return inPlace ? inPlace : buffer.data(); }

    QIODevice& source;
    qint64 size;
    // The document where it lies, and the file map that holds it, if any.
    const char* inPlace = nullptr;
    uchar* mapped = nullptr;
    int guardSlot = -1;
    // Carriage returns are dropped, as QIODevice drops them from a source opened as text.
    bool dropCarriageReturns = false;
    std::vector<char> buffer;
    std::size_t begin = 0;
    std::size_t end = 0;
    bool sourceDone = false;

    // What the reader has been given: characters (UTF-16 units) and whether the last piece
    // ended with "<State>".
    qint64 charactersDelivered = 0;
    bool deliveredUpToStateTag = false;
    // UTF-8 decoding state across reads.
    int continuationBytes = 0;
    unsigned char secondByteLow = 0x80;
    unsigned char secondByteHigh = 0xBF;
    bool strictUtf8 = true;
};

} // namespace Model::Persistence

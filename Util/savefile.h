#pragma once

#include <QSaveFile>

namespace Util {

// A QSaveFile that never puts an incomplete file in place and always says why it did not.
//
// A plain QSaveFile (Qt 5.15) has three ways to lose data on a full disk: a short write (the
// disk filled up part-way through) counts as a success of fewer bytes with no error, so a
// caller that does not compare the counts commits a truncated file; bytes still in its buffer
// that cannot be flushed do not stop commit(), which puts an empty or truncated file in place
// of the good one; and once commit() has refused, the reason is gone ("Unknown error").
// Here the rest of a short write is written again, which completes or fails with the system's
// reason; the first failure is kept; and commit() flushes first and refuses after any failure,
// discarding the temporary file and leaving the reason in errorString().
class SaveFile : public QSaveFile {
public:
    using QSaveFile::QSaveFile;

    // Hides QSaveFile::commit(); call it on a SaveFile, not through a QSaveFile pointer.
    bool commit() {
        if (failure.isEmpty() && isOpen() && !flush())
            failure = errorString();
        if (failure.isEmpty())
            return QSaveFile::commit();
        cancelWriting();
        QSaveFile::commit(); // discards the temporary file
        setErrorString(failure);
        return false;
    }

protected:
    qint64 writeData(const char* data, qint64 size) override {
        qint64 written = 0;
        while (written < size) {
            const qint64 count = QSaveFile::writeData(data + written, size - written);
            if (count <= 0) {
                if (failure.isEmpty())
                    failure = errorString();
                return -1;
            }
            written += count;
        }
        return written;
    }

private:
    QString failure;
};

} // namespace Util

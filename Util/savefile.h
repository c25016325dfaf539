#pragma once

#include <QSaveFile>

namespace Util {

// A QSaveFile whose writes are whole or fail with the system's reason.
//
// A plain QSaveFile takes a short write (the disk filled up part-way through a buffer) as a
// success of fewer bytes, sets no error, and then commits: a caller that does not compare the
// counts puts a truncated file in place of the good one, and one that does can only say
// "Unknown error". Here the rest is written again, which either completes or fails with the
// cause ("No space left on device"); that failure marks the file, so that commit() refuses and
// errorString() names the cause.
class SaveFile : public QSaveFile {
public:
    using QSaveFile::QSaveFile;

protected:
    qint64 writeData(const char* data, qint64 size) override {
        qint64 written = 0;
        while (written < size) {
            const qint64 count = QSaveFile::writeData(data + written, size - written);
            if (count <= 0)
                return -1;
            written += count;
        }
        return written;
    }
};

} // namespace Util

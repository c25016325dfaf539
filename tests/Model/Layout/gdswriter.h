#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdint>
#include <initializer_list>
#include <string>

// Writes GDSII records byte by byte, for streams no well-behaved writer would produce.
class GdsWriter {
public:
    GdsWriter& record(std::uint8_t type, std::uint8_t dataType, const QByteArray& payload = {}) {
        const int length = 4 + payload.size();
        bytes.append(char(length >> 8)).append(char(length & 0xff));
        bytes.append(char(type)).append(char(dataType)).append(payload);
        return *this;
    }
    GdsWriter& shorts(std::uint8_t type, std::initializer_list<int> values) {
        QByteArray p;
        for (int v : values)
            p.append(char((v >> 8) & 0xff)).append(char(v & 0xff));
        return record(type, 2, p);
    }
    GdsWriter& ints(std::uint8_t type, std::initializer_list<std::int32_t> values) {
        QByteArray p;
        for (std::int32_t v : values)
            for (int shift : {24, 16, 8, 0})
                p.append(char((std::uint32_t(v) >> shift) & 0xff));
        return record(type, 3, p);
    }
    GdsWriter& text(std::uint8_t type, const std::string& value) {
        QByteArray p = QByteArray::fromStdString(value);
        if (p.size() % 2)
            p.append('\0');
        return record(type, 6, p);
    }
    // A library with database unit 1 nm and user unit 1 µm.
    GdsWriter& begin() {
        shorts(0x00, {600});
        shorts(0x01, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
        text(0x02, "LIB");
        // 1e-3 and 1e-9 as GDSII eight-byte reals.
        record(0x03, 5, QByteArray::fromHex("3E4189374BC6A7F03944B82FA09B5A54"));
        return *this;
    }
    GdsWriter& cell(const std::string& name) {
        shorts(0x05, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
        return text(0x06, name);
    }
    GdsWriter& endCell() { return record(0x07, 0); }
    // A square boundary (x, y)-(x + size, y + size) in database units.
    GdsWriter& square(int layer, int datatype, int x, int y, int size) {
        record(0x08, 0);
        shorts(0x0d, {layer});
        shorts(0x0e, {datatype});
        ints(0x10, {x, y, x + size, y, x + size, y + size, x, y + size, x, y});
        return record(0x11, 0);
    }
    GdsWriter& box(int layer, int boxType, int x, int y, int size) {
        record(0x2d, 0);
        shorts(0x0d, {layer});
        shorts(0x2e, {boxType});
        ints(0x10, {x, y, x + size, y, x + size, y + size, x, y + size, x, y});
        return record(0x11, 0);
    }
    GdsWriter& reference(const std::string& name, int x, int y) {
        record(0x0a, 0);
        text(0x12, name);
        ints(0x10, {x, y});
        return record(0x11, 0);
    }
    GdsWriter& array(const std::string& name, int columns, int rows, int pitch) {
        record(0x0b, 0);
        text(0x12, name);
        shorts(0x13, {columns, rows});
        ints(0x10, {0, 0, columns * pitch, 0, 0, rows * pitch});
        return record(0x11, 0);
    }
    GdsWriter& end() { return record(0x04, 0); }

    bool save(const QString& path) const {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }

    QByteArray bytes;
};

#pragma once

#include <QByteArray>
#include <QLoggingCategory>

#include <cstdint>
#include <cstdlib>
#include <random>

namespace testing_support {

// Damaged copies of a valid file, the way disks, transfers and hand edits damage them: bytes
// overwritten, the end cut off, spans dropped or repeated, numbers replaced by extreme ones.
// Seeded, so a failure names the copy that caused it.
class FileMutator {
public:
    explicit FileMutator(QByteArray original, std::uint32_t seed = 20261208)
        : original(std::move(original)), random(seed) {}

    QByteArray next() {
        QByteArray bytes = original;
        const int mutations = 1 + pick(3);
        for (int i = 0; i < mutations && !bytes.isEmpty(); ++i)
            mutate(bytes);
        return bytes;
    }

    // How many copies a test makes: a short run by default, more when asked for with
    // CELLVANE_FUZZ_COPIES.
    static int copies(int byDefault) {
        if (const char* asked = std::getenv("CELLVANE_FUZZ_COPIES"))
            return std::max(1, std::atoi(asked));
        return byDefault;
    }

private:
    int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); }

    void mutate(QByteArray& bytes) {
        const int size = bytes.size();
        switch (pick(6)) {
        case 0: { // overwrite a few bytes, favouring the characters XML is made of
            static const char alphabet[] = "<>/\"= -0123456789;#xX&!?\0\xff\n";
            for (int n = 1 + pick(4); n > 0; --n)
                bytes[pick(size)] =
                    pick(3) == 0 ? char(pick(256)) : alphabet[pick(int(sizeof(alphabet)) - 1)];
            break;
        }
        case 1: // cut the end off
            bytes.truncate(pick(size));
            break;
        case 2: { // drop a span
            const int from = pick(size);
            bytes.remove(from, 1 + pick(std::min(64, size - from)));
            break;
        }
        case 3: { // repeat an element (from one '<' to the next), sometimes many times
            const int start = bytes.indexOf('<', pick(size));
            const int end = start < 0 ? -1 : bytes.indexOf('<', start + 1);
            if (end > start) {
                const QByteArray element = bytes.mid(start, end - start);
                bytes.insert(end, element.repeated(pick(4) == 0 ? 50 : 1));
            }
            break;
        }
        case 4: { // replace a quoted value by an extreme one
            static const char* const extremes[] = {
                "4294967295", "4294967296", "-1",   "0",     "99999",   "1e308",  "nan", "inf", "",
                "-0",         "2147483648", "0x10", "  7  ", "1;2;3;4", "#GG0000"};
            const int quote = bytes.indexOf('"', pick(size));
            const int close = quote < 0 ? -1 : bytes.indexOf('"', quote + 1);
            if (close > quote)
                bytes.replace(quote + 1, close - quote - 1,
                              extremes[pick(int(sizeof(extremes) / sizeof(extremes[0])))]);
            break;
        }
        default: { // insert junk
            QByteArray junk(1 + pick(16), '\0');
            for (char& c : junk)
                c = char(pick(256));
            bytes.insert(pick(size + 1), junk);
            break;
        }
        }
    }

    QByteArray original;
    std::mt19937 random;
};

// Silences debug logging while it lives: thousands of damaged files would otherwise bury the
// test's output in reader chatter.
class QuietDebugLog {
public:
    QuietDebugLog() { QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false")); }
    ~QuietDebugLog() { QLoggingCategory::setFilterRules(QString()); }
};

} // namespace testing_support

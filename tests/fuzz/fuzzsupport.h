#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>

// What every fuzz target shares. Each target runs in a scratch home folder of its own, made
// before any static initialiser can reach the registries' settings folder, and with Qt's
// messages silenced: a reader that logs every damaged element would spend the run printing.
namespace Fuzz {

// Stops the run with `property` on standard error; libFuzzer keeps the input as a finding.
[[noreturn]] void fail(const char* property, const char* file, int line);

// A file in the scratch home folder.
QString scratchPath(const QString& name);
void writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);

// Runs `action` when the scope ends. A target leaves shared state as it found it, so that
// what one input allocated is freed before the next: libFuzzer looks for leaks whenever an
// input allocates more than it frees, and that search costs more than the input.
class AtExit {
public:
    explicit AtExit(std::function<void()> action) : action(std::move(action)) {}
    ~AtExit() { action(); }
    AtExit(const AtExit&) = delete;
    AtExit& operator=(const AtExit&) = delete;

private:
    std::function<void()> action;
};

inline QByteArray bytesOf(const std::uint8_t* data, std::size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), int(size));
}

} // namespace Fuzz

// A property every accepted or refused input must have; a violation is a finding like a crash.
#define FUZZ_CHECK(condition, property)                                                            \
    do {                                                                                           \
        if (!(condition))                                                                          \
            ::Fuzz::fail(property, __FILE__, __LINE__);                                            \
    } while (false)

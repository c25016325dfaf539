#include "fuzzsupport.h"

#include <QDir>
#include <QFile>
#include <QThreadPool>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace Fuzz {

namespace {

std::string& scratchHome() {
    static std::string path;
    return path;
}

void dropMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "Qt fatal message: %s\n", qPrintable(message));
        std::abort();
    }
}

void removeScratchHome() {
    if (!scratchHome().empty())
        QDir(QString::fromStdString(scratchHome())).removeRecursively();
}

// Runs before the ordinary static initialisers, among them the registries' start-up, which
// reads and writes the settings folder in $HOME.
__attribute__((constructor(101))) void enterScratchHome() {
    // In memory where there is such a folder: the registries save through QSaveFile, which
    // syncs every file to disk, and that would cost more than reading it.
    char inMemory[] = "/dev/shm/cellvane-fuzz.XXXXXX";
    char onDisk[] = "/tmp/cellvane-fuzz.XXXXXX";
    const char* pattern = mkdtemp(inMemory) ? inMemory : mkdtemp(onDisk);
    if (!pattern) {
        std::perror("cellvane fuzz: no scratch home folder");
        std::abort();
    }
    scratchHome() = pattern;
    setenv("HOME", pattern, 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qInstallMessageHandler(dropMessage);
    std::atexit(removeScratchHome);
}

} // namespace

void fail(const char* property, const char* file, int line) {
    std::fprintf(stderr, "\n==cellvane-fuzz== property violated at %s:%d: %s\n", file, line,
                 property);
    std::fflush(stderr);
    std::abort();
}

QString scratchPath(const QString& name) {
    return QDir(QString::fromStdString(scratchHome())).filePath(name);
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                   file.write(bytes) == bytes.size(),
               "the scratch file could not be written");
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace Fuzz

// Called by libFuzzer once before the first input. The readers' volumes are tiny, and the
// engines' pool gains them nothing: every hand-off to a pool thread is a wake-up that costs more
// than the volume, and on a busy machine it makes a run wait far longer than it computes.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    QThreadPool::globalInstance()->setMaxThreadCount(1);
    return 0;
}

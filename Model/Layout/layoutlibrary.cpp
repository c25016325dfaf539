#include "Model/Layout/layoutlibrary.h"

#include "Model/Layout/gdsrecords.h"
#include "Util/savefile.h"

#include <QDataStream>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTemporaryFile>

#include <libGDSII.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <set>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define CELLVANE_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define CELLVANE_SANITIZED 1
#endif
#ifdef CELLVANE_SANITIZED
#include <sanitizer/common_interface_defs.h>
#endif

namespace Model::Layout {

namespace {
Q_LOGGING_CATEGORY(lcLayout, "Model/Layout/layoutlibrary", QtInfoMsg)

// What the reader may allocate beyond the address space it inherits.
constexpr rlim_t readerBytes = rlim_t(2) << 30;

// The address space this process holds now: the reader inherits all of it, a large cell
// volume included, without touching it, so its own limit counts from there.
rlim_t addressSpaceBytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    bool number = false;
    const qulonglong pages = fields.value(0).toULongLong(&number);
    return number ? rlim_t(pages) * rlim_t(::sysconf(_SC_PAGESIZE)) : 0;
}
constexpr quint32 exchangeVersion = 1;

LayoutElement::Kind kindOf(ElementType type) {
    switch (type) {
    case BOUNDARY:
    case BOX:
        return LayoutElement::Kind::Boundary;
    case PATH:
        return LayoutElement::Kind::Path;
    case SREF:
        return LayoutElement::Kind::Reference;
    case AREF:
        return LayoutElement::Kind::Array;
    default:
        return LayoutElement::Kind::Other;
    }
}

// Takes the library's cells with the names as written; false when the two disagree on how
// many cells and references the file holds.
bool convert(const libGDSII::GDSIIData& data, const GdsRecords& records,
             std::vector<LayoutCell>& cells, QString& problem) {
    std::map<std::string, int> index;
    for (std::size_t cell = 0; cell < records.cellNames().size(); ++cell)
        index.emplace(records.cellNames()[cell], int(cell));
    if (data.Structs.size() != records.cellNames().size()) {
        problem = QStringLiteral("its cells are damaged");
        return false;
    }
    std::size_t reference = 0;
    cells.resize(data.Structs.size());
    for (std::size_t s = 0; s < data.Structs.size(); ++s) {
        cells[s].name = records.cellNames()[s];
        for (const GDSIIElement* source : data.Structs[s]->Elements) {
            LayoutElement element;
            element.kind = kindOf(source->Type);
            element.layer = source->Layer;
            element.datatype = source->DataType;
            element.pathType = source->PathType;
            element.width = source->Width;
            element.columns = source->Columns;
            element.rows = source->Rows;
            element.reflected = source->Refl;
            element.magnification = source->Mag;
            element.angle = source->Angle;
            element.xy.assign(source->XY.begin(), source->XY.end());
            if (source->SName) {
                if (reference >= records.referencedNames().size()) {
                    problem = QStringLiteral("its references are damaged");
                    return false;
                }
                element.reflected = records.referenceReflected()[reference];
                const auto found = index.find(records.referencedNames()[reference++]);
                element.cell = found == index.end() ? -1 : found->second;
            }
            cells[s].elements.push_back(std::move(element));
        }
    }
    if (reference != records.referencedNames().size()) {
        problem = QStringLiteral("its references are damaged");
        return false;
    }
    return true;
}

bool writeAll(int fd, const QByteArray& bytes) {
    const auto writeSome = [fd](const char* data, qint64 size) -> qint64 {
        ssize_t count;
        do
            count = ::write(fd, data, std::size_t(size));
        while (count < 0 && errno == EINTR);
        return count;
    };
    return Util::writeFully(writeSome, bytes.constData(), bytes.size());
}

// Runs in the child: reads with the library and sends back 'L' and the cells, or 'E' and why
// not. Never returns.
[[noreturn]] void readInChild(const QString& file, const GdsRecords& records, int fd, int seconds,
                              rlim_t memoryLimit) {
    // The library may still fault on a hostile file (it reads past short buffers): the child
    // then dies as a plain process and the parent refuses the file. Handlers inherited from the
    // parent (a sanitizer's, a fuzzer's) would report the reader's death as the program's.
    for (const int deadly : {SIGSEGV, SIGBUS, SIGABRT, SIGILL, SIGFPE})
        std::signal(deadly, SIG_DFL);
#ifdef CELLVANE_SANITIZED
    __sanitizer_set_death_callback(nullptr);
    // A sanitizer reserves terabytes of shadow memory: no address space limit fits beside it.
    (void)memoryLimit;
#endif
    const int silent = ::open("/dev/null", O_WRONLY);
    if (silent >= 0) {
        // The library prints its progress and its fatal errors.
        ::dup2(silent, STDOUT_FILENO);
        ::dup2(silent, STDERR_FILENO);
    }
    rlimit cpu{rlim_t(seconds), rlim_t(seconds)};
    ::setrlimit(RLIMIT_CPU, &cpu);
#ifndef CELLVANE_SANITIZED
    rlimit memory{};
    if (::getrlimit(RLIMIT_AS, &memory) == 0) {
        // Never above a limit the user set.
        const rlim_t limit =
            memory.rlim_max == RLIM_INFINITY ? memoryLimit : std::min(memoryLimit, memory.rlim_max);
        memory.rlim_cur = limit;
        memory.rlim_max = limit;
        ::setrlimit(RLIMIT_AS, &memory);
    }
#endif
    QByteArray answer;
    try {
        libGDSII::GDSIIData data(file.toStdString());
        std::vector<LayoutCell> cells;
        QString problem;
        if (data.ErrMsg)
            answer = "E" + QByteArray::fromStdString(*data.ErrMsg);
        else if (!convert(data, records, cells, problem))
            answer = "E" + problem.toUtf8();
        else
            answer = "L" + LayoutLibrary(data.FileUnits[1] * 1e6, std::move(cells)).serialise();
    } catch (...) {
        answer = "Eit holds more than can be read";
    }
    writeAll(fd, answer);
    ::_exit(0);
}

} // namespace

int LayoutLibrary::cellIndex(const std::string& name) const {
    for (std::size_t i = 0; i < cellList.size(); ++i)
        if (cellList[i].name == name)
            return int(i);
    return -1;
}

std::vector<int> LayoutLibrary::topCells() const {
    std::vector<bool> placed(cellList.size(), false);
    for (const LayoutCell& cell : cellList)
        for (const LayoutElement& element : cell.elements)
            if (element.cell >= 0 && std::size_t(element.cell) < cellList.size())
                placed[std::size_t(element.cell)] = true;
    std::vector<int> tops;
    for (std::size_t i = 0; i < cellList.size(); ++i)
        if (!placed[i])
            tops.push_back(int(i));
    return tops;
}

std::vector<std::pair<int, int>> LayoutLibrary::layersUnder(int top) const {
    std::set<std::pair<int, int>> layers;
    std::vector<bool> seen(cellList.size(), false);
    std::vector<int> stack;
    if (top >= 0 && std::size_t(top) < cellList.size())
        stack.push_back(top);
    while (!stack.empty()) {
        const int cell = stack.back();
        stack.pop_back();
        if (seen[std::size_t(cell)])
            continue;
        seen[std::size_t(cell)] = true;
        for (const LayoutElement& element : cellList[std::size_t(cell)].elements) {
            if (element.kind == LayoutElement::Kind::Boundary ||
                element.kind == LayoutElement::Kind::Path)
                layers.emplace(element.layer, element.datatype);
            else if (element.cell >= 0 && std::size_t(element.cell) < cellList.size())
                stack.push_back(element.cell);
        }
    }
    return {layers.begin(), layers.end()};
}

bool LayoutLibrary::validate(QString& problem) const {
    if (!(unitMicrometres >= 1e-6 && unitMicrometres <= 1e3)) {
        problem = QStringLiteral("its database unit of %1 m is no length a layout is drawn in")
                      .arg(unitMicrometres * 1e-6);
        return false;
    }
    for (const LayoutCell& cell : cellList) {
        const QString name = QString::fromStdString(cell.name);
        for (const LayoutElement& e : cell.elements) {
            const auto refuse = [&](const QString& what) {
                problem = QStringLiteral("cell \"%1\" holds %2").arg(name, what);
                return false;
            };
            const std::size_t points = e.xy.size() / 2;
            switch (e.kind) {
            case LayoutElement::Kind::Boundary:
                if (e.xy.size() % 2 != 0 || points < 3)
                    return refuse(QStringLiteral("a boundary with a damaged outline"));
                break;
            case LayoutElement::Kind::Path:
                if (e.xy.size() % 2 != 0 || points < 1)
                    return refuse(QStringLiteral("a path with damaged points"));
                break;
            case LayoutElement::Kind::Array:
                if (e.xy.size() != 6)
                    return refuse(QStringLiteral("an array with damaged points"));
                if (e.columns < 1 || e.rows < 1 || e.columns > 32767 || e.rows > 32767)
                    return refuse(
                        QStringLiteral("an array of %1 x %2 cells").arg(e.columns).arg(e.rows));
                [[fallthrough]];
            case LayoutElement::Kind::Reference:
                if (e.xy.size() < 2)
                    return refuse(QStringLiteral("a reference with no position"));
                if (e.cell < 0 || std::size_t(e.cell) >= cellList.size())
                    return refuse(QStringLiteral("a reference to a cell the file does not hold"));
                if (!std::isfinite(e.angle) || !std::isfinite(e.magnification) ||
                    !(std::fabs(e.magnification) >= 1e-6 && std::fabs(e.magnification) <= 1e6))
                    return refuse(
                        QStringLiteral("a reference scaled by %1 and turned by %2 degrees")
                            .arg(e.magnification)
                            .arg(e.angle));
                break;
            case LayoutElement::Kind::Other:
                break;
            }
        }
    }
    return true;
}

QByteArray LayoutLibrary::serialise() const {
    QByteArray body;
    QDataStream out(&body, QIODevice::WriteOnly);
    out << exchangeVersion << unitMicrometres << quint32(cellList.size());
    for (const LayoutCell& cell : cellList) {
        out << QByteArray::fromStdString(cell.name) << quint32(cell.elements.size());
        for (const LayoutElement& e : cell.elements) {
            out << quint8(e.kind) << qint32(e.layer) << qint32(e.datatype) << qint32(e.pathType)
                << qint32(e.width) << qint32(e.columns) << qint32(e.rows) << qint32(e.cell)
                << bool(e.reflected) << e.magnification << e.angle << quint32(e.xy.size());
            for (std::int32_t v : e.xy)
                out << qint32(v);
        }
    }
    return body;
}

bool LayoutLibrary::deserialise(const QByteArray& bytes) {
    QDataStream in(bytes);
    quint32 version = 0;
    quint32 cells = 0;
    double unit = 0.0;
    in >> version >> unit >> cells;
    // Every count is checked against the bytes left before anything is sized by it.
    const auto left = [&in, &bytes] { return quint64(bytes.size()) - quint64(in.device()->pos()); };
    if (in.status() != QDataStream::Ok || version != exchangeVersion || cells > left() / 8)
        return false;
    std::vector<LayoutCell> read(cells);
    for (LayoutCell& cell : read) {
        QByteArray name;
        quint32 elements = 0;
        in >> name >> elements;
        if (in.status() != QDataStream::Ok || elements > left() / 40)
            return false;
        cell.name = name.toStdString();
        cell.elements.resize(elements);
        for (LayoutElement& e : cell.elements) {
            quint8 kind = 0;
            qint32 values[7];
            bool reflected = false;
            quint32 count = 0;
            in >> kind;
            for (qint32& v : values)
                in >> v;
            in >> reflected >> e.magnification >> e.angle >> count;
            if (in.status() != QDataStream::Ok || kind > quint8(LayoutElement::Kind::Other) ||
                count > left() / 4)
                return false;
            e.kind = LayoutElement::Kind(kind);
            e.layer = values[0];
            e.datatype = values[1];
            e.pathType = values[2];
            e.width = values[3];
            e.columns = values[4];
            e.rows = values[5];
            e.cell = values[6];
            e.reflected = reflected;
            e.xy.resize(count);
            for (std::int32_t& v : e.xy) {
                qint32 value = 0;
                in >> value;
                v = value;
            }
        }
    }
    if (in.status() != QDataStream::Ok || !in.atEnd())
        return false;
    unitMicrometres = unit;
    cellList = std::move(read);
    return true;
}

bool LayoutLibrary::read(const QString& path, LayoutLibrary& library, QString& problem,
                         ReadLimits limits, Util::ProgressReporter& progress) {
    progress.start(0, QStringLiteral("Reading the layout"));
    const int seconds = std::max(1, (limits.milliseconds + 999) / 1000);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        problem = QStringLiteral("it cannot be opened: %1").arg(file.errorString());
        return false;
    }
    if (file.size() > maximumFileBytes) {
        problem = QStringLiteral("it is larger than %1 MB").arg(maximumFileBytes >> 20);
        return false;
    }
    GdsRecords records;
    if (!records.check(file.readAll(), problem) ||
        !records.checkHierarchy(problem, limits.placements))
        return false;
    QTemporaryFile stream;
    if (!stream.open() || stream.write(records.libraryStream()) != records.libraryStream().size() ||
        !stream.flush()) {
        problem = QStringLiteral("no scratch file could be written for it");
        return false;
    }
    int channel[2];
    if (::pipe2(channel, O_CLOEXEC) != 0) {
        problem = QStringLiteral("no reader could be started for it");
        return false;
    }
    const rlim_t memoryLimit = addressSpaceBytes() + readerBytes;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(channel[0]);
        ::close(channel[1]);
        problem = QStringLiteral("no reader could be started for it");
        return false;
    }
    if (child == 0) {
        ::close(channel[0]);
        readInChild(stream.fileName(), records, channel[1], seconds, memoryLimit);
    }
    ::close(channel[1]);

    // The cells take about as many bytes as the stream; anything beyond a generous bound is a
    // reader gone wrong.
    const qint64 limit = 16 * qint64(records.libraryStream().size()) + (1 << 20);
    QByteArray answer;
    bool overrun = false;
    bool late = false;
    bool cancelled = false;
    char buffer[65536];
    QElapsedTimer clock;
    clock.start();
    while (true) {
        if (progress.wasCancelled()) {
            cancelled = true;
            break;
        }
        pollfd wait{channel[0], POLLIN, 0};
        const qint64 left = limits.milliseconds - clock.elapsed();
        // Woken every tenth of a second to hear a cancel.
        const int ready = left > 0 ? ::poll(&wait, 1, int(std::min<qint64>(left, 100))) : 0;
        if (ready == 0) {
            if (left > 100)
                continue;
            late = true;
            break;
        }
        if (ready < 0 && errno == EINTR)
            continue;
        const ssize_t n = ::read(channel[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        answer.append(buffer, int(n));
        if (answer.size() > limit) {
            overrun = true;
            break;
        }
    }
    ::close(channel[0]);
    if (late || overrun || cancelled)
        ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    qCDebug(lcLayout) << "Read" << path << "in a child:" << answer.size() << "bytes, status"
                      << status;
    if (cancelled) {
        problem = QStringLiteral("reading it was cancelled");
        return false;
    }
    if (late) {
        problem = QStringLiteral("reading it took longer than %1 s").arg(seconds);
        return false;
    }
    if (answer.startsWith('E')) {
        problem = QString::fromUtf8(answer.mid(1));
        return false;
    }
    if (overrun || !answer.startsWith('L') || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        problem =
            WIFSIGNALED(status) && (WTERMSIG(status) == SIGXCPU || WTERMSIG(status) == SIGKILL)
                ? QStringLiteral("reading it took longer than %1 s").arg(seconds)
                : QStringLiteral("the layout reader failed on it (it is damaged or holds "
                                 "more than can be read)");
        return false;
    }
    LayoutLibrary read;
    if (!read.deserialise(answer.mid(1))) {
        problem = QStringLiteral("the layout reader failed on it");
        return false;
    }
    if (!read.validate(problem))
        return false;
    library = std::move(read);
    return true;
}

} // namespace Model::Layout

#include "Core/Operations/Undo/recoveryjournal.h"

#include "Core/Operations/Undo/recoveredstep.h"
#include "Core/Operations/Undo/recoverysession.h"
#include "Core/Operations/Undo/runsnapshots.h"
#include "Core/Operations/Undo/totalvolumeundoredohelper.h"
#include "Core/Operations/operationcontext.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Materials/materialfactory.h"
#include "Model/Persistence/documentarchiver.h"
#include "Model/Persistence/materialarchiver.h"

#include "Util/savefile.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QRunnable>
#include <QThreadPool>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <fcntl.h>
#include <unistd.h>

#include <new>
#include <set>
#include <utility>

namespace Core::Operations {

Q_LOGGING_CATEGORY(lcRecoveryJournal, "Core/Operations/Undo/recoveryjournal", QtInfoMsg)

const QString RecoveryJournal::manifestName = QLatin1String(RecoverySession::journalName);

namespace {

// 2: the cells of a volume are every record applied since the base, in order (records hold only
// the cells a step changed).
constexpr int formatVersion = 2;

// Forces what was appended to `path` (the undo records), or a removal from the folder `path`,
// onto the disk before the manifest that relies on it. Whole files are replaced through
// Util::SaveFile, which syncs for itself.
bool syncToDisk(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

QString reasonFor(const QString& name, const QFileDevice& file) {
    return QStringLiteral("%1: %2").arg(name, file.errorString());
}

// Replaces `path` by what `write` writes, through the one writer of whole files (which syncs the
// data and the folder). Empty on success, else the reason.
QString writeAtomically(const QString& path, const std::function<bool(QIODevice&)>& write) {
    const QString name = QFileInfo(path).fileName();
    Util::SaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return reasonFor(name, file);
    if (!write(file)) {
        const QString reason = reasonFor(name, file);
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return reasonFor(name, file);
    return QString();
}

QString undoFileIn(const QString& folder) {
    return folder + QStringLiteral("/undo.temp");
}
QString redoFileIn(const QString& folder) {
    return folder + QStringLiteral("/redo.temp");
}

} // namespace

struct RecoveryJournal::Manifest {
    QString folder;
    QDateTime time;
    int steps = 0;
    QString fileName;
    QString base;
    std::vector<std::pair<int, JournalCells>> cells;
    // With each of `cells`, the volume's last process before its step and after.
    std::vector<std::pair<unsigned, unsigned>> cellHistory;
    // Every registered material, as a document writes it: the table the records' ids are in.
    QStringList materials;
    std::map<int, unsigned> lastOperations;
    std::map<int, bool> latticeRebuilds;
    bool syncSnapshots = false;

    QByteArray toJson() const {
        QJsonObject root;
        root[QStringLiteral("version")] = formatVersion;
        root[QStringLiteral("time")] = time.toString(Qt::ISODateWithMs);
        root[QStringLiteral("steps")] = steps;
        root[QStringLiteral("file")] = fileName;
        root[QStringLiteral("base")] = base;
        QJsonArray cellList;
        for (std::size_t k = 0; k < cells.size(); ++k) {
            const auto& [index, where] = cells[k];
            cellList.append(
                QJsonObject{{QStringLiteral("volume"), index},
                            {QStringLiteral("in"),
                             where.inUndoFile ? QStringLiteral("undo") : QStringLiteral("redo")},
                            {QStringLiteral("key"), where.key},
                            {QStringLiteral("instance"), where.instance},
                            {QStringLiteral("name"), where.name},
                            {QStringLiteral("before"), qint64(cellHistory[k].first)},
                            {QStringLiteral("after"), qint64(cellHistory[k].second)}});
        }
        root[QStringLiteral("cells")] = cellList;
        root[QStringLiteral("materials")] = QJsonArray::fromStringList(materials);
        QJsonArray history;
        for (const auto& [index, last] : lastOperations)
            history.append(QJsonObject{{QStringLiteral("volume"), index},
                                       {QStringLiteral("last"), qint64(last)}});
        root[QStringLiteral("history")] = history;
        QJsonArray lattice;
        for (const auto& [index, needed] : latticeRebuilds)
            lattice.append(QJsonObject{{QStringLiteral("volume"), index},
                                       {QStringLiteral("rebuild"), needed}});
        root[QStringLiteral("lattice")] = lattice;
        return QJsonDocument(root).toJson();
    }
};

RecoveryJournal::RecoveryJournal(OperationContext& context)
    : context(context), writer(std::make_unique<QThreadPool>()), takeNext(QRunnable::create([this] {
          std::function<void()> job;
          {
              std::lock_guard<std::mutex> guard(handoff);
              job = std::move(jobs.front());
              jobs.pop_front();
          }
          job();
          std::lock_guard<std::mutex> published(handoff);
      })) {
    takeNext->setAutoDelete(false);
    // One writer keeps the writes in the order of the steps.
    writer->setMaxThreadCount(1);
    writer->setExpiryTimeout(-1);
}

RecoveryJournal::~RecoveryJournal() {
    waitForWrites();
}

void RecoveryJournal::waitForWrites() {
    writer->waitForDone();
    // Everything the jobs wrote is seen from here on.
    std::lock_guard<std::mutex> guard(handoff);
}

void RecoveryJournal::queue(std::function<void()> job) {
    {
        std::lock_guard<std::mutex> guard(handoff);
        jobs.push_back(std::move(job));
    }
    writer->start(takeNext.get());
}

void RecoveryJournal::fail(const QString& reason) {
    qCWarning(lcRecoveryJournal) << "The recovery journal could not be written:" << reason;
    {
        std::lock_guard<std::mutex> guard(problemLock);
        problem = reason;
    }
    setProtected(false, reason);
}

void RecoveryJournal::setProtected(bool protectedNow, const QString& reason) {
    std::function<void(bool, const QString&)> tell;
    {
        std::lock_guard<std::mutex> guard(problemLock);
        if (journalProtected == protectedNow)
            return;
        journalProtected = protectedNow;
        tell = protectionChanged;
    }
    if (tell)
        tell(protectedNow, reason);
}

void RecoveryJournal::setProtectionCallback(std::function<void(bool, const QString&)> callback) {
    waitForWrites();
    std::lock_guard<std::mutex> guard(problemLock);
    protectionChanged = std::move(callback);
}

bool RecoveryJournal::isUpToDate() {
    waitForWrites();
    return committedSteps == steps;
}

QString RecoveryJournal::takeProblem() {
    std::lock_guard<std::mutex> guard(problemLock);
    return std::exchange(problem, QString());
}

void RecoveryJournal::setCommittedCallback(std::function<void(int)> callback) {
    waitForWrites();
    committed = std::move(callback);
}

int RecoveryJournal::indexOf(int volumeId) const {
    const Model::ObjectList objects = context.document->getObjects();
    for (std::size_t i = 0; i < objects.size(); ++i) {
        if (objects[i]->getId() == volumeId)
            return int(i);
    }
    return -1;
}

void RecoveryJournal::stepFinished(const std::optional<JournalCells>& cells) {
    RecoverySession& session = context.snapshotFiles.getSession();
    // At most one step's journal is being written at a time: steps that finish faster than
    // their journals reach the disk would otherwise let a kill take several of them.
    waitForWrites();
    ++steps;
    if (!session.isValid()) {
        setProtected(false, session.getFailure());
        return;
    }
    if (!pendingBase.isEmpty()) {
        // The base of an earlier step is the journal's only if its manifest was committed; when
        // it was not, the journal on disk is still the one before it, and the document has
        // moved on from that base in ways records cannot hold: only a whole base can follow.
        haveBase = committedBase == pendingBase;
        if (haveBase) {
            baseName = pendingBase;
            changedCells.clear();
            changedHistory.clear();
        }
        pendingBase.clear();
    }

    Manifest manifest;
    manifest.folder = session.path();
    manifest.time = QDateTime::currentDateTime();
    manifest.steps = steps;
    manifest.fileName = context.document->getFileName();
    const Model::ObjectList objects = context.document->getObjects();
    for (std::size_t i = 0; i < objects.size(); ++i) {
        const int id = objects[i]->getId();
        const ProcessHistory& history = context.processHistory;
        if (const unsigned last = history.lastOperation(id))
            manifest.lastOperations[int(i)] = last;
        if (const auto found = history.getLatticeRebuilds().find(id);
            found != history.getLatticeRebuilds().end())
            manifest.latticeRebuilds[int(i)] = found->second;
    }

    for (const Model::Materials::Material& material :
         Model::Materials::MaterialFactory::getInstance()->getMaterials()) {
        QString text;
        QXmlStreamWriter writer(&text);
        Model::Persistence::MaterialArchiver::saveMaterial(&writer, material);
        writer.writeEndDocument(); // closes the element
        manifest.materials << text;
    }
    std::pair<unsigned, unsigned> history;
    if (cells) {
        const auto seen = lastSeen.find(cells->volumeId);
        history = {seen == lastSeen.end() ? 0u : seen->second,
                   context.processHistory.lastOperation(cells->volumeId)};
    }
    lastSeen = context.processHistory.getLastOperations();

    const int index = cells ? indexOf(cells->volumeId) : -1;
    if (haveBase && index >= 0 && context.snapshotFiles.isUsable()) {
        // The cells are in the snapshot files already; they only need to reach the disk.
        changedCells.emplace_back(index, *cells);
        changedHistory.push_back(history);
        manifest.base = baseName;
        manifest.cells = changedCells;
        manifest.cellHistory = changedHistory;
        manifest.syncSnapshots = true;
        queue([this, manifest] { writeManifest(manifest); });
        return;
    }

    // Whatever happens below, the records since the base no longer describe the document.
    haveBase = false;
    // The whole document, copied here so that the next step can go on while it is written.
    auto copy = std::make_shared<Model::Document>();
    try {
        for (const Model::ObjectPtr& object : objects)
            copy->addObject(Model::ObjectPtr(object->clone()));
    } catch (const std::bad_alloc&) {
        // Without a copy the journal stays at the last step it could write.
        fail(QStringLiteral("not enough memory to copy the document"));
        return;
    }
    pendingBase = QStringLiteral("base-%1.cvx").arg(++baseNumber);
    manifest.base = pendingBase;
    queue([this, manifest, copy] {
        // Archivers of its own: the window's may be busy reading on the other thread.
        const Model::Persistence::ArchiverTable archivers =
            Model::Persistence::DocumentArchiver::standardArchivers();
        Model::Persistence::DocumentArchiver archiver(archivers);
        const QString reason =
            writeAtomically(manifest.folder + QLatin1Char('/') + manifest.base,
                            [&](QIODevice& device) { return archiver.write(&device, *copy); });
        if (!reason.isEmpty()) {
            fail(reason);
            return;
        }
        if (writeManifest(manifest))
            committedBase = manifest.base;
        else
            QFile::remove(manifest.folder + QLatin1Char('/') + manifest.base);
    });
}

bool RecoveryJournal::writeManifest(const Manifest& manifest) {
    if (manifest.syncSnapshots &&
        (!syncToDisk(undoFileIn(manifest.folder)) || !syncToDisk(redoFileIn(manifest.folder)))) {
        fail(QStringLiteral("the undo snapshot files could not be synced"));
        return false;
    }
    const QByteArray json = manifest.toJson();
    const QString reason =
        writeAtomically(manifest.folder + QLatin1Char('/') + manifestName,
                        [&](QIODevice& device) { return device.write(json) == json.size(); });
    if (!reason.isEmpty()) {
        fail(reason);
        return false;
    }
    // Older bases are no longer named by the journal.
    const QDir folder(manifest.folder);
    for (const QString& name : folder.entryList({QStringLiteral("base-*.cvx")}, QDir::Files)) {
        if (name != manifest.base)
            QFile::remove(folder.filePath(name));
    }
    committedSteps = manifest.steps;
    setProtected(true, QString());
    if (committed)
        committed(manifest.steps);
    return true;
}

void RecoveryJournal::documentClean() {
    steps = 0;
    haveBase = false;
    pendingBase.clear();
    changedCells.clear();
    changedHistory.clear();
    RecoverySession& session = context.snapshotFiles.getSession();
    if (!session.isValid()) {
        committedSteps = 0; // nothing is queued without a session
        return;
    }
    const QString folder = session.path();
    queue([this, folder] {
        QFile::remove(folder + QLatin1Char('/') + manifestName);
        syncToDisk(folder);
        committedSteps = 0;
    });
}

namespace {

std::optional<QJsonObject> readManifest(const QString& folder, QString* problem) {
    QFile file(folder + QLatin1Char('/') + RecoveryJournal::manifestName);
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly)) {
        if (problem)
            *problem = reasonFor(RecoveryJournal::manifestName, file);
        return std::nullopt;
    }
    // A manifest is a few hundred bytes; anything far larger is not one of ours.
    const QByteArray text = file.read(1 << 20);
    QJsonParseError error{};
    const QJsonDocument json = QJsonDocument::fromJson(text, &error);
    const QJsonObject root = json.object();
    if (json.isNull() || root.value(QStringLiteral("version")).toInt() != formatVersion ||
        !root.value(QStringLiteral("steps")).isDouble() ||
        !root.value(QStringLiteral("base")).isString()) {
        if (problem)
            *problem = QStringLiteral("%1 is damaged").arg(RecoveryJournal::manifestName);
        return std::nullopt;
    }
    return root;
}

} // namespace

std::optional<RecoveryJournal::Summary> RecoveryJournal::readSummary(const QString& folder,
                                                                     QString* problem) {
    const std::optional<QJsonObject> root = readManifest(folder, problem);
    if (!root)
        return std::nullopt;
    Summary summary;
    summary.time =
        QDateTime::fromString(root->value(QStringLiteral("time")).toString(), Qt::ISODateWithMs);
    summary.steps = root->value(QStringLiteral("steps")).toInt();
    summary.fileName = root->value(QStringLiteral("file")).toString();
    return summary;
}

std::optional<RecoveryJournal::Recovered>
RecoveryJournal::load(const QString& folder, OperationContext& context, QString* problem) {
    const auto refuse = [&](const QString& reason) -> std::optional<Recovered> {
        if (problem)
            *problem = reason;
        return std::nullopt;
    };
    QString manifestProblem;
    const std::optional<QJsonObject> root = readManifest(folder, &manifestProblem);
    if (!root)
        return refuse(manifestProblem.isEmpty() ? QStringLiteral("%1 is missing").arg(manifestName)
                                                : manifestProblem);
    Recovered recovered;
    recovered.summary = *readSummary(folder, nullptr);

    const QString base = root->value(QStringLiteral("base")).toString();
    if (base.isEmpty() || base.contains(QLatin1Char('/')))
        return refuse(QStringLiteral("%1 names no base document").arg(manifestName));
    QFile baseFile(folder + QLatin1Char('/') + base);
    if (!baseFile.open(QIODevice::ReadOnly | QIODevice::Text))
        return refuse(reasonFor(base, baseFile));
    try {
        Model::Persistence::DocumentArchiver archiver(context.snapshotFiles.getArchivers());
        Model::Persistence::DocumentArchiver::ReadResult read = archiver.read(&baseFile);
        if (read.status != Model::Persistence::DocumentArchiver::ReadStatus::Complete)
            return refuse(QStringLiteral("%1 is damaged%2")
                              .arg(base, read.error.isEmpty()
                                             ? QString()
                                             : QStringLiteral(" (%1)").arg(read.error)));
        recovered.objects = std::move(read.objects);
        recovered.folder = folder;

        // The records hold the ids of the program that wrote them; the base's were translated
        // as it was read, and the journal's table gives those of materials registered after it.
        auto ids = std::make_shared<Model::Persistence::MaterialIdMap>(read.materialIds);
        std::vector<std::uint32_t> registered;
        for (const QJsonValue& entry : root->value(QStringLiteral("materials")).toArray()) {
            QXmlStreamReader xml(entry.toString());
            bool ok = false;
            const Model::Materials::Material material =
                xml.readNextStartElement()
                    ? Model::Persistence::MaterialArchiver::loadMaterial(&xml, &ok)
                    : Model::Materials::Material();
            if (!ok || ids->count(material.getId()))
                continue;
            if (!Model::Persistence::DocumentArchiver::registerMaterial(material, *ids, registered))
                return refuse(
                    QStringLiteral("its material %1 cannot be registered").arg(material.getName()));
        }
        recovered.materialIds = ids;

        // Each record holds the cells one step changed, so the volume's cells are the base's
        // with every record since applied in the order of the steps.
        std::set<Model::Automaton::TotalVolume*> changed;
        for (const QJsonValue& entry : root->value(QStringLiteral("cells")).toArray()) {
            const QJsonObject cells = entry.toObject();
            const int index = cells.value(QStringLiteral("volume")).toInt(-1);
            auto* volume = index >= 0 && index < int(recovered.objects.size())
                               ? dynamic_cast<Model::Automaton::TotalVolume*>(
                                     recovered.objects[std::size_t(index)].get())
                               : nullptr;
            if (!volume)
                return refuse(
                    QStringLiteral("%1 names a cell volume that is not there").arg(manifestName));
            const QString in = cells.value(QStringLiteral("in")).toString();
            TotalVolumeUndoRedoHelper helper(cells.value(QStringLiteral("key")).toString(),
                                             cells.value(QStringLiteral("instance")).toInt(-1),
                                             context);
            helper.setMaterialIds(ids);
            const QString file =
                in == QLatin1String("undo") ? undoFileIn(folder) : redoFileIn(folder);
            RecoveredRecord record;
            record.volume = index;
            record.cells = {volume->getId(), in == QLatin1String("undo"), helper.getKey(),
                            helper.getInstance(), cells.value(QStringLiteral("name")).toString()};
            record.lastBefore = unsigned(cells.value(QStringLiteral("before")).toDouble());
            record.lastAfter = unsigned(cells.value(QStringLiteral("after")).toDouble());
            recovered.records.push_back(record);
            if (!helper.applyRecord(file, *volume))
                return refuse(QStringLiteral("the cells of step %1 %2 are missing from %3")
                                  .arg(helper.getKey())
                                  .arg(helper.getInstance())
                                  .arg(QFileInfo(file).fileName()));
            changed.insert(volume);
        }
        for (Model::Automaton::TotalVolume* volume : changed)
            volume->getPainter().rebuild();
    } catch (const std::bad_alloc&) {
        return refuse(QStringLiteral("there is not enough memory to read it"));
    }
    for (const QJsonValue& entry : root->value(QStringLiteral("history")).toArray()) {
        const QJsonObject item = entry.toObject();
        recovered.lastOperations[item.value(QStringLiteral("volume")).toInt()] =
            unsigned(item.value(QStringLiteral("last")).toDouble());
    }
    for (const QJsonValue& entry : root->value(QStringLiteral("lattice")).toArray()) {
        const QJsonObject item = entry.toObject();
        recovered.latticeRebuilds[item.value(QStringLiteral("volume")).toInt()] =
            item.value(QStringLiteral("rebuild")).toBool();
    }
    return recovered;
}

void RecoveryJournal::apply(OperationContext& context, const Recovered& recovered) {
    for (std::size_t i = 0; i < recovered.objects.size(); ++i) {
        const Model::ObjectPtr& object = recovered.objects[i];
        context.document->addObject(object);
        if (const auto last = recovered.lastOperations.find(int(i));
            last != recovered.lastOperations.end())
            context.processHistory.recordOperation(object->getId(), last->second);
        if (const auto rebuild = recovered.latticeRebuilds.find(int(i));
            rebuild != recovered.latticeRebuilds.end())
            context.processHistory.setLatticeRebuildNeeded(object->getId(), rebuild->second);
    }
    context.document->setFileName(recovered.summary.fileName);
    context.document->setModified(true);
    restoreUndoHistory(context, recovered);
    context.notifyUpdateObservers();
}

void RecoveryJournal::restoreUndoHistory(OperationContext& context, const Recovered& recovered) {
    SnapshotFiles& files = context.snapshotFiles;
    if (recovered.records.empty() || !files.isUsable())
        return;
    // This window's snapshot files are new and empty: the dead program's become them.
    for (const auto& [from, to] : {std::pair{undoFileIn(recovered.folder), files.getUndoFile()},
                                   std::pair{redoFileIn(recovered.folder), files.getRedoFile()}}) {
        QFile::remove(to);
        if (!QFile::copy(from, to)) {
            qCWarning(lcRecoveryJournal) << "The undo history could not be recovered:" << from;
            QFile(to).open(QIODevice::WriteOnly);
            return;
        }
        for (const auto& [key, instance] : TotalVolumeUndoRedoHelper::recordNames(to))
            RunSnapshots::reserveInstances(key, instance);
    }
    // The records replay the steps since the base, their undos and redos in order: what they
    // leave on the two stacks is what the program had on its own.
    std::vector<RecoveredRecord> undoable, redoable;
    const auto same = [](const RecoveredRecord& a, const RecoveredRecord& b) {
        return a.volume == b.volume && a.cells.key == b.cells.key &&
               a.cells.instance == b.cells.instance;
    };
    for (const RecoveredRecord& record : recovered.records) {
        if (!record.cells.inUndoFile) {
            if (!redoable.empty() && same(redoable.back(), record))
                redoable.pop_back();
            else
                redoable.clear();
            undoable.push_back(record);
        } else if (!undoable.empty() && same(undoable.back(), record)) {
            redoable.push_back(undoable.back());
            undoable.pop_back();
        } else {
            // An undo of a step from before the base: what came before it is not known.
            undoable.clear();
            redoable.clear();
        }
    }
    const auto stepOf = [&](const RecoveredRecord& record) {
        auto volume = std::dynamic_pointer_cast<Model::Automaton::TotalVolume>(
            recovered.objects[std::size_t(record.volume)]);
        return std::make_shared<RecoveredStep>(context, record.cells, volume, record.lastBefore,
                                               record.lastAfter, recovered.materialIds);
    };
    UndoRedoStack& stacks = context.undoRedoStack;
    for (const RecoveredRecord& record : undoable)
        stacks.pushUndo(stepOf(record));
    for (const RecoveredRecord& record : redoable)
        stacks.pushRedo(stepOf(record));
    stacks.notifyUndoObservers();
    stacks.notifyRedoObservers();
}

} // namespace Core::Operations

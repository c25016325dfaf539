#include "Core/ProcessList/processlistrun.h"

#include "Core/Operations/BatchRun/processrecordexecutor.h"
#include "Core/Operations/Document/documentexport.h"
#include "Core/Operations/Document/documentfile.h"
#include "Core/Operations/Document/documentnetlist.h"
#include "Core/Operations/Undo/processhistory.h"
#include "Core/ProcessList/headlesspictures.h"
#include "Core/ProcessList/parametercodec.h"
#include "Core/ProcessList/processlistarchiver.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Export/meshexport.h"
#include "Model/Export/scenepicture.h"
#include "Model/Layout/layoutmask.h"
#include "Model/Metrology/metricsreport.h"
#include "Model/document.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTextStream>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <set>
#include <vector>

namespace Ui {

using Core::Operations::DocumentExport;
using Core::Operations::ProcessRecordExecutor;
using Model::Automaton::TotalVolume;

namespace {

QString shown(const QString& fileName) {
    return QDir::toNativeSeparators(fileName);
}

// A length a step made, as a metric in µm.
Model::Metrology::Measurement madeLength(double microns) {
    Model::Metrology::Measurement made;
    made.quantities.push_back({QString(), microns, QStringLiteral("µm")});
    return made;
}

// Whether a file can be made at `fileName`: its folder exists and takes new files, and
// nothing but a plain file (or, where `folderToo`, a folder) has that name already; the
// writers replace what is there, a device or a pipe included. Checked before a long run
// rather than found out at its end, and before anything is written.
bool takesFile(const QString& fileName, QTextStream& log, const char* what,
               bool folderToo = false) {
    const QFileInfo file(fileName);
    const QFileInfo folder(file.absolutePath());
    const char* problem = nullptr;
    if (file.exists() && !file.isFile() && !(folderToo && file.isDir()))
        problem = "it exists and is not a regular file";
    else if (!folder.isDir())
        problem = "its folder does not exist";
    else if (!folder.isWritable())
        problem = "its folder is not writable";
    if (!problem)
        return true;
    log << "cellvane-run: cannot write the " << what << ' ' << shown(fileName) << ": " << problem
        << Qt::endl;
    return false;
}

// How the executor reads `name` in a step of `type`, if it does.
std::optional<Core::Operations::RecordField> fieldOf(int type, const QString& name) {
    const auto fields = ProcessRecordExecutor::fieldsOf(type);
    if (fields)
        for (const auto& field : *fields)
            if (field.name == name)
                return field;
    return std::nullopt;
}

// An empty value of the kind the executor reads `name` as, when a step may go without it (an
// optional value, or one read behind a switch); invalid otherwise.
QVariant optionalValueOf(int type, const QString& name) {
    using Kind = Core::Operations::RecordField::Kind;
    const auto field = fieldOf(type, name);
    if (!field || (!field->optional && field->whenFlag.isEmpty()))
        return {};
    switch (field->kind) {
    case Kind::Real:
    case Kind::Single:
    case Kind::Count:
        return QVariant(0.0);
    case Kind::Integer:
        return QVariant(0);
    case Kind::Whole:
        return QVariant(0u);
    case Kind::Flag:
        return QVariant(false);
    case Kind::Text:
        return QVariant(QString());
    default:
        return {};
    }
}

// The pictures of a run ("Save Image", "Save Cross-Section"), drawn while it goes under a
// hidden name beside the file asked for and put in its place only when the whole list ran, so
// that a run that stops part-way leaves an earlier picture of that name as it was.
class PendingPictures {
public:
    PendingPictures() = default;
    PendingPictures(const PendingPictures&) = delete;
    PendingPictures& operator=(const PendingPictures&) = delete;
    ~PendingPictures() { discard(); }

    // Points a picture step's file name at a hidden name of its own; other steps pass as they are.
    QVariantMap stage(int type, QVariantMap parameters) {
        namespace names = Core::Operations::RecordParameters;
        if (type != Core::Operations::ProcessTypes::SaveImage &&
            type != Core::Operations::ProcessTypes::SaveCrossSection)
            return parameters;
        const QString wanted = parameters.value(names::fileName).toString();
        if (wanted.isEmpty())
            return parameters;
        const QFileInfo file(wanted);
        // The hidden name keeps the suffix, which says what format the picture is written in.
        const QString suffix = file.suffix().isEmpty() ? QStringLiteral("png") : file.suffix();
        const QString hidden = file.dir().filePath(QStringLiteral(".%1.cellvane-run-%2-%3.%4")
                                                       .arg(file.fileName())
                                                       .arg(QCoreApplication::applicationPid())
                                                       .arg(pictures.size())
                                                       .arg(suffix));
        pictures.push_back({hidden, wanted});
        parameters.insert(names::fileName, hidden);
        return parameters;
    }
    // A problem names the file asked for, not the hidden one.
    QString shown(QString problem) const {
        for (const Picture& picture : pictures)
            problem.replace(QDir::toNativeSeparators(picture.hidden),
                            QDir::toNativeSeparators(picture.wanted));
        return problem;
    }
    // Puts every picture in place, in the order drawn (a later one of the same name wins).
    bool commit(QTextStream& log) {
        bool ok = true;
        for (const Picture& picture : pictures) {
            if (!QFileInfo::exists(picture.hidden))
                continue;
            if (std::rename(QFile::encodeName(picture.hidden).constData(),
                            QFile::encodeName(picture.wanted).constData()) != 0) {
                log << "cellvane-run: could not write " << QDir::toNativeSeparators(picture.wanted)
                    << ": " << QString::fromLocal8Bit(std::strerror(errno)) << Qt::endl;
                ok = false;
                continue;
            }
            log << "Wrote " << QDir::toNativeSeparators(picture.wanted) << Qt::endl;
        }
        discard();
        return ok;
    }
    bool isEmpty() const { return pictures.empty(); }
    void discard() {
        for (const Picture& picture : pictures)
            QFile::remove(picture.hidden);
        pictures.clear();
    }

private:
    struct Picture {
        QString hidden;
        QString wanted;
    };
    std::vector<Picture> pictures;
};

} // namespace

QString ProcessListRun::describe(const ProcessData& process) {
    QStringList shownValues;
    const QMap<QString, QVariant> parameters = process.getParameters();
    const QMap<QString, bool> visibility = process.getVisibility();
    for (auto entry = parameters.cbegin(); entry != parameters.cend(); ++entry)
        if (visibility.value(entry.key(), false)) {
            const QString unit = Core::Operations::RecordParameters::unitOf(entry.key());
            shownValues << entry.key() + QStringLiteral(": ") +
                               ParameterCodec::encode(entry.value()) +
                               (unit.isEmpty() ? QString() : QLatin1Char(' ') + unit);
        }
    QString text = ProcessData::displayName(process.getProcessType());
    if (!shownValues.isEmpty())
        text += QStringLiteral(" (") + shownValues.join(QStringLiteral(", ")) + QLatin1Char(')');
    return text;
}

bool ProcessListRun::applyLayout(ProcessData& process, const QString& name, const QString& setting,
                                 const QString& value, QString& problem) {
    Model::Layout::LayoutMaskSource source;
    if (!Model::Layout::LayoutMaskSource::parseFileAndLayer(value, source)) {
        problem = QStringLiteral("--set %1: \"%2\" takes FILE:LAYER/DATATYPE, such as chip.gds:5/0")
                      .arg(setting, name);
        return false;
    }
    // The side's mask is made again from the layout when the step runs, on the volume it runs
    // on; placement and polarity stay as they were (none: at the corner, drawn protects).
    const QString side = name.left(name.size() - int(qstrlen("Layout")));
    const auto mask = Core::Operations::RecordParameters::mask(side);
    const auto layout = Core::Operations::RecordParameters::layout(side);
    const QMap<QString, QVariant> parameters = process.getParameters();
    if (!parameters.contains(layout.source) ||
        !parameters.value(layout.source).toString().startsWith(source.file + QLatin1Char(':')))
        process.setParameter(layout.cell, QString(), true);
    process.setParameter(layout.source, source.fileAndLayer(), true);
    process.setParameter(mask.bits, QVariant::fromValue(std::vector<unsigned char>()), false);
    process.setParameter(mask.file, source.file, true);
    process.setParameter(mask.width, QVariant(0u), true);
    process.setParameter(mask.height, QVariant(0u), true);
    if (!parameters.contains(layout.placement))
        process.setParameter(layout.placement, Model::Layout::LayoutMaskSource().placementText(),
                             true);
    return true;
}

bool ProcessListRun::takesParameter(const QList<ProcessData>& list, const QString& parameter,
                                    QString& problem) {
    const int dot = parameter.indexOf(QLatin1Char('.'));
    bool number = false;
    const int step = dot < 1 ? 0 : parameter.left(dot).toInt(&number);
    if (!number || step < 1 || step > list.size()) {
        problem = QStringLiteral("the list has no step %1 (it has steps 1 to %2)")
                      .arg(dot < 1 ? parameter : parameter.left(dot))
                      .arg(list.size());
        return false;
    }
    const ProcessData& process = list[step - 1];
    const QString name = parameter.mid(dot + 1);
    if (process.getProcessType() == ProcessData::Photolithography &&
        (name == QStringLiteral("TopLayout") || name == QStringLiteral("BottomLayout")))
        return true;
    if (process.getParameters().contains(name) ||
        optionalValueOf(process.getProcessType(), name).isValid())
        return true;
    problem = QStringLiteral("step %1 (%2) has no parameter \"%3\"; it has %4")
                  .arg(step)
                  .arg(ProcessData::displayName(process.getProcessType()), name,
                       QStringList(process.getParameters().keys()).join(QStringLiteral(", ")));
    return false;
}

bool ProcessListRun::applySetting(QList<ProcessData>& list, const QString& setting,
                                  QString& problem) {
    const int dot = setting.indexOf(QLatin1Char('.'));
    const int equals = setting.indexOf(QLatin1Char('='), dot + 1);
    if (dot < 1 || equals < dot + 2) {
        problem = QStringLiteral("--set takes STEP.NAME=VALUE, not '%1'").arg(setting);
        return false;
    }
    if (!takesParameter(list, setting.left(equals), problem)) {
        problem = QStringLiteral("--set %1: %2").arg(setting, problem);
        return false;
    }
    const int step = setting.left(dot).toInt();
    ProcessData& process = list[step - 1];
    const QString name = setting.mid(dot + 1, equals - dot - 1);
    if (process.getProcessType() == ProcessData::Photolithography &&
        (name == QStringLiteral("TopLayout") || name == QStringLiteral("BottomLayout")))
        return applyLayout(process, name, setting, setting.mid(equals + 1), problem);
    QMap<QString, QVariant> parameters = process.getParameters();
    if (!parameters.contains(name)) {
        // A value the step may do without (a recipe, an option newer than the list) is taken
        // as a new parameter of the kind the step reads it as.
        const QVariant blank = optionalValueOf(process.getProcessType(), name);
        process.setParameter(name, blank, true);
        parameters.insert(name, blank);
    }
    QVariant value;
    QString expected;
    if (!ParameterCodec::parse(ParameterCodec::typeName(parameters.value(name)),
                               setting.mid(equals + 1), value, expected)) {
        problem = QStringLiteral("--set %1: \"%2\" of step %3 takes %4")
                      .arg(setting, name)
                      .arg(step)
                      .arg(expected);
        return false;
    }
    process.replaceParameter(name, value);
    // A value read only behind a switch turns the switch its way, so that what was set is
    // what runs: a KOH concentration makes the etch go by recipe, a depth by depth.
    if (const auto field = fieldOf(process.getProcessType(), name);
        field && !field->whenFlag.isEmpty() &&
        process.getParameters().value(field->whenFlag).toBool() != field->whenFlagIs) {
        if (process.getParameters().contains(field->whenFlag))
            process.replaceParameter(field->whenFlag, field->whenFlagIs);
        else
            process.setParameter(field->whenFlag, field->whenFlagIs, false);
    }
    // Another value of a side's layout (its cell, offset, turn, polarity): the stored mask no
    // longer matches it, so the step makes the mask again when it runs.
    if (process.getProcessType() == ProcessData::Photolithography)
        for (const QString& side : {QStringLiteral("Top"), QStringLiteral("Bottom")})
            if (name.startsWith(side + QStringLiteral("Layout "))) {
                const auto mask = Core::Operations::RecordParameters::mask(side);
                process.replaceParameter(mask.bits,
                                         QVariant::fromValue(std::vector<unsigned char>()));
                process.replaceParameter(mask.width, QVariant(0u));
                process.replaceParameter(mask.height, QVariant(0u));
            }
    return true;
}

ProcessListRun::Status ProcessListRun::run(const Options& options, QTextStream& log) {
    Model::Document document;
    return run(options, log, document);
}

ProcessListRun::Status ProcessListRun::run(const Options& options, QTextStream& log,
                                           Model::Document& document) {
    QList<ProcessData> list;
    ProcessListArchiver archiver;
    if (!archiver.loadProcessList(options.list, list)) {
        log << "cellvane-run: " << archiver.errorString() << Qt::endl;
        return BadInput;
    }
    for (const QString& setting : options.settings) {
        QString problem;
        if (!applySetting(list, setting, problem)) {
            log << "cellvane-run: " << shown(options.list) << ": " << problem << Qt::endl;
            return BadInput;
        }
    }
    if (!options.mesh.isEmpty() && Model::Export::MeshExport::formatOf(options.mesh) ==
                                       Model::Export::MeshExport::Format::Unknown) {
        log << "cellvane-run: " << Model::Export::MeshExport::unknownFormat(options.mesh)
            << Qt::endl;
        return BadInput;
    }
    // An output that cannot be written is a failure (1), not bad usage.
    if ((!options.output.isEmpty() && !takesFile(options.output, log, "document")) ||
        (!options.mesh.isEmpty() && !takesFile(options.mesh, log, "mesh", true)) ||
        (!options.vti.isEmpty() && !takesFile(options.vti, log, "cells")) ||
        (!options.netlist.isEmpty() && !takesFile(options.netlist, log, "netlist")) ||
        (!options.metrics.isEmpty() && !takesFile(options.metrics, log, "metrics")))
        return StepFailed;

    std::shared_ptr<TotalVolume> start;
    if (!options.input.isEmpty()) {
        const auto opened = DocumentExport::open(options.input, options.volume, log);
        if (!opened)
            return BadInput;
        // The document is the input's, scale included.
        if (opened->volume)
            document.setMicrometresPerSceneUnit(opened->volume->getMicrometresPerSceneUnit());
        for (const Model::ObjectPtr& object : opened->objects)
            document.addObject(object);
        start = opened->volume;
    }

    Core::Operations::ProcessHistory history;
    const QSize imageSize = options.imageSize.isValid()
                                ? options.imageSize
                                : QSize(Model::Export::ScenePicture::defaultWidth,
                                        Model::Export::ScenePicture::defaultHeight);
    HeadlessPictures pictures(document, imageSize, log);
    ProcessRecordExecutor executor(
        history,
        {[&document](const std::shared_ptr<TotalVolume>& created) { document.addObject(created); },
         [&pictures](TotalVolume& volume, const QString& fileName) {
             return pictures.save(volume, fileName, false);
         }});
    executor.setVolume(start);
    executor.setMicrometresPerSceneUnit(document.getMicrometresPerSceneUnit());

    Status status = Done;
    const QString listName = shown(options.list);
    Model::Metrology::MetricsReport metrics;
    PendingPictures pending;
    for (int position = 0; position < list.size(); ++position) {
        const ProcessData& process = list[position];
        const QString step = QStringLiteral("step %1 of %2, %3")
                                 .arg(position + 1)
                                 .arg(list.size())
                                 .arg(describe(process));
        const QString counter = QStringLiteral("[%1/%2] ").arg(position + 1).arg(list.size());
        QElapsedTimer timer;
        timer.start();
        const auto result =
            executor.execute(process.getProcessType(),
                             pending.stage(process.getProcessType(), process.getParameters()),
                             options.progress ? *options.progress : Util::ProgressReporter::none());
        if (result.measurement) {
            metrics.add(position + 1,
                        process.getParameters()
                            .value(Core::Operations::RecordParameters::measurement)
                            .toString(),
                        result.resultName, *result.measurement);
            for (const auto& value :
                 Model::Metrology::namedValues(*result.measurement, result.resultName))
                log << counter << value.name << " = "
                    << Model::Metrology::formatValue(value.value, value.unit) << Qt::endl;
        }
        if (result.isDone()) {
            if (!result.note.isEmpty())
                log << counter << result.note << Qt::endl;
            // What a step made, beside what was measured: a study sees the film it got.
            for (const auto& made : result.made)
                metrics.add(position + 1, QStringLiteral("made"),
                            QStringLiteral("%1.%2 made").arg(position + 1).arg(made.parameter),
                            madeLength(made.microns));
            log << counter << describe(process) << ": " << timer.elapsed() << " ms" << Qt::endl;
            continue;
        }
        // The steps after a failed one would work on the wrong structure: the run stops here.
        status =
            result.outcome == ProcessRecordExecutor::Outcome::Cancelled ? Cancelled : StepFailed;
        log << "cellvane-run: " << listName << ": " << step << ": " << pending.shown(result.problem)
            << Qt::endl;
        if (result.outcome == ProcessRecordExecutor::Outcome::NoVolume)
            log << "cellvane-run: start from a document with --input, or begin the list with a "
                   "\"Create Substrate\" step"
                << Qt::endl;
        if (position + 1 < list.size())
            log << "cellvane-run: the run stopped at step " << position + 1 << "; steps "
                << position + 2 << " to " << list.size() << " did not run" << Qt::endl;
        break;
    }
    if (status != Done) {
        if (!options.output.isEmpty() || !options.mesh.isEmpty() || !options.vti.isEmpty() ||
            !options.netlist.isEmpty() || !options.metrics.isEmpty() || !pending.isEmpty())
            log << "cellvane-run: the list did not run whole; no result was written" << Qt::endl;
        return status;
    }

    const auto volume = executor.getVolume();
    if ((!options.mesh.isEmpty() || !options.vti.isEmpty() || !options.netlist.isEmpty()) &&
        !volume) {
        log << "cellvane-run: there is no cell volume to export" << Qt::endl;
        return StepFailed;
    }
    // A volume without beams has no netlist; found out before anything else is written.
    std::optional<QString> netlist;
    if (!options.netlist.isEmpty()) {
        netlist = Core::Operations::DocumentNetlist::netlistOf(*volume, options.netlist, log);
        if (!netlist) {
            log << "cellvane-run: no result was written" << Qt::endl;
            return StepFailed;
        }
    }

    if (!options.output.isEmpty()) {
        QString problem;
        if (!Core::Operations::DocumentFile::writeDocument(
                document, Core::Operations::DocumentFile::archivers(), options.output, &problem)) {
            log << "cellvane-run: could not write " << shown(options.output) << ": " << problem
                << Qt::endl;
            return StepFailed;
        }
        log << "Wrote " << shown(options.output) << Qt::endl;
    }
    if (!options.mesh.isEmpty() || !options.vti.isEmpty()) {
        DocumentExport::Request request;
        request.mesh = options.mesh;
        request.vti = options.vti;
        if (DocumentExport::exportVolume(*volume, request, log) != DocumentExport::Done)
            return StepFailed;
    }
    if (netlist && Core::Operations::DocumentNetlist::write(options.netlist, *netlist, log) !=
                       Core::Operations::DocumentNetlist::Done)
        return StepFailed;
    if (!options.metrics.isEmpty()) {
        QString problem;
        if (!metrics.write(options.metrics, &problem)) {
            log << "cellvane-run: " << problem << Qt::endl;
            return StepFailed;
        }
        log << "Wrote " << shown(options.metrics) << Qt::endl;
    }
    return pending.commit(log) ? Done : StepFailed;
}

} // namespace Ui

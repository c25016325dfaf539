// Every step the executor of process records runs, as a method of Volume (and "Create
// Substrate" as Document.create_substrate), with the values the step reads as keyword
// arguments. Nothing here names a step's values: they are gathered from the executor, which
// reports every value a step asks for, so a step kind added to the executor appears here too.
#include "bindings.h"

#include "Core/Operations/BatchRun/processrecordexecutor.h"
#include "Core/Operations/SiEtching/compensationbar.h"
#include "Core/ProcessList/headlesspictures.h"
#include "Core/ProcessList/processdata.h"
#include "Core/ProcessList/processlistrun.h"
#include "Model/Automaton/photomask.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Export/scenepicture.h"
#include "Model/Materials/materialfactory.h"
#include "Util/metatypes.h"
#include "Util/pooltasks.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <QTextStream>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <optional>
#include <set>
#include <vector>

namespace CellvanePython {

namespace {

using Core::Operations::ProcessRecordExecutor;
using Core::Operations::ProcessTypes;
using Core::Operations::RecordField;
using Model::Automaton::TotalVolume;
using Kind = RecordField::Kind;

// "Horizontal to Vertical Ratio" -> "horizontal_to_vertical_ratio", "DepositOn" -> "deposit_on",
// "Si wet etching" -> "si_wet_etching", "Save Cross-Section" -> "save_cross_section".
std::string snakeCase(const QString& name) {
    std::string word;
    QChar previous;
    for (const QChar c : name) {
        if (c.isLetterOrNumber()) {
            if (c.isUpper() && previous.isLower() && !word.empty() && word.back() != '_')
                word += '_';
            word += char(c.toLower().toLatin1());
        } else if (!word.empty() && word.back() != '_') {
            word += '_';
        }
        previous = c;
    }
    while (!word.empty() && word.back() == '_')
        word.pop_back();
    return word;
}

// Where the plain snake-case form of a value's name would read badly in a call.
std::string keywordFor(const QString& recordName) {
    static const std::map<QString, std::string> shorter{
        {QStringLiteral("Volume Size"), "size"},
        {QStringLiteral("Lower Left Front Corner"), "position"},
        {QStringLiteral("Substrate Delta"), "substrate_corner"},
        {QStringLiteral("Substrate Center"), "center"},
        {QStringLiteral("Substrate Radius"), "radius"},
        {QStringLiteral("SphericalSubstrate"), "spherical"},
    };
    const auto found = shorter.find(recordName);
    return found != shorter.end() ? found->second : snakeCase(recordName);
}

// The verbs scripts reach for first, beside the names the batch dialog lists the steps under.
const std::map<int, std::string>& verbs() {
    static const std::map<int, std::string> names{
        {ProcessTypes::CVD, "deposit"},
        {ProcessTypes::SiWetEtching, "wet_etch"},
        {ProcessTypes::SiOxidation, "oxidize"},
    };
    return names;
}

// One keyword argument and the record values it fills.
struct Keyword {
    enum class Form {
        Plain,    // one value
        Material, // a material id, given by name or id
        Mask,     // the bits of a mask with its width and height
        Axes,     // "<name> X", "<name> Y", "<name> Z" as one (x, y, z)
        Switch,   // a flag that decides which other values are read
    };
    std::string name;
    Form form = Form::Plain;
    std::vector<RecordField> fields;
    bool optional = false;
    QString whenFlag;
    bool whenFlagIs = false;
};

struct StepMethod {
    int type = 0;
    QString display;
    std::string name;
    std::vector<Keyword> keywords;
    std::vector<RecordField> fields;
};

const RecordField* fieldNamed(const std::vector<RecordField>& fields, const QString& name) {
    for (const RecordField& field : fields)
        if (field.name == name)
            return &field;
    return nullptr;
}

std::vector<Keyword> keywordsOf(const std::vector<RecordField>& fields) {
    std::vector<Keyword> keywords;
    std::set<QString> used;
    const QString materialSuffix = QStringLiteral("MaterialId");
    for (const RecordField& field : fields) {
        if (used.count(field.name))
            continue;
        Keyword keyword;
        keyword.optional = field.optional;
        keyword.whenFlag = field.whenFlag;
        keyword.whenFlagIs = field.whenFlagIs;
        keyword.fields = {field};
        const QString base = field.name.left(field.name.size() - 2);
        const RecordField* width = fieldNamed(fields, field.name + QStringLiteral(" Width"));
        const RecordField* height = fieldNamed(fields, field.name + QStringLiteral(" Height"));
        const RecordField* y = fieldNamed(fields, base + QStringLiteral(" Y"));
        const RecordField* z = fieldNamed(fields, base + QStringLiteral(" Z"));
        if (field.kind == Kind::Whole && field.name.endsWith(materialSuffix)) {
            keyword.form = Keyword::Form::Material;
            keyword.name = keywordFor(field.name.chopped(2));
        } else if (field.kind == Kind::Bits && width && height) {
            keyword.form = Keyword::Form::Mask;
            keyword.name = keywordFor(field.name);
            keyword.fields = {field, *width, *height};
            // No mask means light everywhere, as in the batch dialog without an image.
            keyword.optional = true;
        } else if (field.name.endsWith(QStringLiteral(" X")) && y && z) {
            keyword.form = Keyword::Form::Axes;
            keyword.name = keywordFor(base);
            keyword.fields = {field, *y, *z};
        } else if (field.kind == Kind::Flag &&
                   std::any_of(fields.begin(), fields.end(),
                               [&](const RecordField& f) { return f.whenFlag == field.name; })) {
            keyword.form = Keyword::Form::Switch;
            keyword.name = keywordFor(field.name);
            keyword.optional = true;
        } else {
            keyword.name = keywordFor(field.name);
        }
        for (const RecordField& consumed : keyword.fields)
            used.insert(consumed.name);
        keywords.push_back(std::move(keyword));
    }
    return keywords;
}

const std::vector<StepMethod>& stepMethods() {
    static const std::vector<StepMethod> methods = [] {
        std::vector<StepMethod> all;
        for (const int type : ProcessRecordExecutor::processTypes()) {
            StepMethod method;
            method.type = type;
            method.display = Ui::ProcessData::displayName(type);
            method.name = snakeCase(method.display);
            method.fields = *ProcessRecordExecutor::fieldsOf(type);
            method.keywords = keywordsOf(method.fields);
            all.push_back(std::move(method));
        }
        return all;
    }();
    return methods;
}

const char* kindText(Kind kind) {
    switch (kind) {
    case Kind::Real:
    case Kind::Single:
        return "number";
    case Kind::Integer:
        return "whole number";
    case Kind::Whole:
        return "whole number >= 0";
    case Kind::Count:
        return "number of cells or steps";
    case Kind::Flag:
        return "bool";
    case Kind::Text:
        return "str";
    case Kind::Vector:
        return "(x, y, z)";
    case Kind::Bits:
        return "bytes of 0/1";
    }
    return "";
}

std::string describeKeyword(const Keyword& keyword) {
    QString text = QString::fromStdString(keyword.name);
    switch (keyword.form) {
    case Keyword::Form::Material:
        text += QStringLiteral(": a material name or id");
        break;
    case Keyword::Form::Mask:
        text += QStringLiteral(": a 2-D array mask[x, y], true where the mask is opaque, or "
                               "the path of a mask image (black or red pixels opaque); none by "
                               "default");
        break;
    case Keyword::Form::Axes:
        text += QStringLiteral(": (x, y, z), each a %1").arg(kindText(keyword.fields[0].kind));
        break;
    case Keyword::Form::Switch:
        text += QStringLiteral(": bool; follows from the values given when left out");
        break;
    case Keyword::Form::Plain:
        text += QStringLiteral(": %1").arg(kindText(keyword.fields[0].kind));
        break;
    }
    QStringList names;
    for (const RecordField& field : keyword.fields)
        names << QLatin1Char('"') + field.name + QLatin1Char('"');
    text += QStringLiteral(" (record value %1").arg(names.join(QStringLiteral(", ")));
    if (keyword.optional)
        text += QStringLiteral("; optional");
    if (!keyword.whenFlag.isEmpty())
        text += QStringLiteral("; read when \"%1\" is %2")
                    .arg(keyword.whenFlag,
                         keyword.whenFlagIs ? QStringLiteral("true") : QStringLiteral("false"));
    return (text + QLatin1Char(')')).toStdString();
}

std::string docOf(const StepMethod& method, const char* subject) {
    std::string doc = "Runs the step \"" + method.display.toStdString() + "\" on " + subject +
                      ", through the executor of process lists (type code " +
                      std::to_string(method.type) + ").\n\nKeyword arguments:\n";
    for (const Keyword& keyword : method.keywords)
        doc += "    " + describeKeyword(keyword) + "\n";
    doc += "    progress: callable(done, total, stage), called between the engine's steps; "
           "raising from it stops the step\n\n"
           "A refused value raises ValueError with the program's message and changes nothing. "
           "Ctrl-C (KeyboardInterrupt) stops a running step and leaves the cells as before it. "
           "The interpreter lock is released while the step runs.";
    return doc;
}

// A Python value as a record value. Whatever it holds goes to the executor, which says what
// it refuses in the program's words.
QVariant valueOf(const py::handle& value) {
    if (py::isinstance<py::bool_>(value))
        return QVariant(value.cast<bool>());
    if (py::isinstance<py::int_>(value)) {
        try {
            return QVariant(value.cast<qlonglong>());
        } catch (const py::cast_error&) {
            return QVariant(py::cast<double>(py::float_(value.cast<py::object>())));
        }
    }
    if (py::isinstance<py::float_>(value))
        return QVariant(value.cast<double>());
    if (py::isinstance<py::str>(value))
        return QVariant(toQString(value));
    // numpy scalars and other numbers.
    if (py::hasattr(value, "__index__"))
        return QVariant(py::int_(value.cast<py::object>()).cast<qlonglong>());
    if (py::hasattr(value, "__float__"))
        return QVariant(py::float_(value.cast<py::object>()).cast<double>());
    if (py::isinstance<py::sequence>(value) && py::len(value) == 3) {
        const py::sequence xyz = value.cast<py::sequence>();
        try {
            return QVariant::fromValue(Util::Vector3D(xyz[0].cast<double>(), xyz[1].cast<double>(),
                                                      xyz[2].cast<double>()));
        } catch (const py::cast_error&) {
        }
    }
    throw py::type_error(("cannot pass a value of type " +
                          std::string(py::str(value.get_type().attr("__name__"))) +
                          " as a step value")
                             .c_str());
}

void putMaterial(const Keyword& keyword, const py::handle& value, QVariantMap& record) {
    const QString& name = keyword.fields[0].name;
    if (!py::isinstance<py::str>(value)) {
        record.insert(name, valueOf(value));
        return;
    }
    const QString wanted = toQString(value);
    for (const auto& material : Model::Materials::MaterialFactory::getInstance()->getMaterials())
        if (material.getName() == wanted) {
            record.insert(name, QVariant(material.getId()));
            return;
        }
    refuse(QStringLiteral("there is no material \"%1\"").arg(wanted));
}

void putMask(const Keyword& keyword, const py::handle& value, QVariantMap& record) {
    Model::Automaton::PhotoMask mask;
    if (value.is_none()) {
    } else if (py::isinstance<py::str>(value) || py::hasattr(value, "__fspath__")) {
        const QString path = pathOf(value);
        if (!Model::Automaton::PhotoMask::load(path, mask))
            fileError(QStringLiteral("cannot read the mask image %1").arg(path));
    } else {
        const py::object numpy = py::module_::import("numpy");
        const py::array given = numpy.attr("asarray")(value);
        if (given.ndim() != 2)
            refuse(QStringLiteral("%1 must be a 2-D array mask[x, y], not one of %2 dimensions")
                       .arg(QString::fromStdString(keyword.name))
                       .arg(given.ndim()));
        const char kind = given.dtype().kind();
        if (kind != 'b' && kind != 'i' && kind != 'u' && kind != 'f')
            refuse(
                QStringLiteral("%1 holds booleans or numbers, not an array of dtype %2")
                    .arg(QString::fromStdString(keyword.name), toQString(py::str(given.dtype()))));
        const auto opaque = py::array_t<bool, py::array::c_style | py::array::forcecast>(
            numpy.attr("not_equal")(given, 0));
        mask.width = unsigned(opaque.shape(0));
        mask.height = unsigned(opaque.shape(1));
        // Row-major [x, y] is the mask's own order: bit x * height + y.
        mask.bits.assign(opaque.data(), opaque.data() + opaque.size());
    }
    record.insert(keyword.fields[0].name, QVariant::fromValue(std::vector<unsigned char>(
                                              mask.bits.begin(), mask.bits.end())));
    record.insert(keyword.fields[1].name, QVariant(mask.width));
    record.insert(keyword.fields[2].name, QVariant(mask.height));
}

void putAxes(const Keyword& keyword, const py::handle& value, QVariantMap& record) {
    if (!py::isinstance<py::sequence>(value) || py::isinstance<py::str>(value) ||
        py::len(value) != 3)
        refuse(QStringLiteral("%1 takes three values (x, y, z)")
                   .arg(QString::fromStdString(keyword.name)));
    const py::sequence xyz = value.cast<py::sequence>();
    for (std::size_t axis = 0; axis < 3; ++axis)
        record.insert(keyword.fields[axis].name, valueOf(xyz[axis]));
}

// The record the keyword arguments describe. Missing and unknown keywords are a TypeError,
// as for any Python call.
QVariantMap recordOf(const StepMethod& method, const std::string& callName, py::dict given) {
    QVariantMap record;
    // Which way each switch goes: as given, or as the values given imply.
    std::map<QString, bool> switches;
    for (const Keyword& keyword : method.keywords) {
        if (keyword.form == Keyword::Form::Switch && given.contains(keyword.name.c_str()))
            switches[keyword.fields[0].name] = given[keyword.name.c_str()].cast<bool>();
    }
    // The first keyword that implies a way, for naming the pair that disagrees.
    std::map<QString, const Keyword*> impliedBy;
    for (const Keyword& keyword : method.keywords) {
        if (keyword.whenFlag.isEmpty() || !given.contains(keyword.name.c_str()))
            continue;
        const auto first = impliedBy.find(keyword.whenFlag);
        if (first != impliedBy.end() && first->second->whenFlagIs != keyword.whenFlagIs &&
            !switches.count(keyword.whenFlag))
            refuse(QStringLiteral("%1 and %2 do not go together")
                       .arg(QString::fromStdString(first->second->name),
                            QString::fromStdString(keyword.name)));
        impliedBy.emplace(keyword.whenFlag, &keyword);
    }
    for (const auto& [flag, keyword] : impliedBy)
        if (!switches.count(flag))
            switches[flag] = keyword->whenFlagIs;
    for (const Keyword& keyword : method.keywords) {
        if (keyword.form == Keyword::Form::Switch) {
            record.insert(keyword.fields[0].name, QVariant(switches[keyword.fields[0].name]));
            continue;
        }
        const bool wanted =
            keyword.whenFlag.isEmpty() || switches[keyword.whenFlag] == keyword.whenFlagIs;
        const char* key = keyword.name.c_str();
        if (!given.contains(key)) {
            if (keyword.form == Keyword::Form::Mask)
                putMask(keyword, py::none(), record);
            else if (wanted && !keyword.optional)
                throw py::type_error(callName + "() missing keyword argument '" + keyword.name +
                                     "'");
            continue;
        }
        const py::object value = given[key];
        if (!wanted)
            refuse(QStringLiteral("%1 does not go with %2=%3")
                       .arg(QString::fromStdString(keyword.name),
                            QString::fromStdString(keywordFor(keyword.whenFlag)),
                            switches[keyword.whenFlag] ? QStringLiteral("True")
                                                       : QStringLiteral("False")));
        switch (keyword.form) {
        case Keyword::Form::Material:
            putMaterial(keyword, value, record);
            break;
        case Keyword::Form::Mask:
            putMask(keyword, value, record);
            break;
        case Keyword::Form::Axes:
            putAxes(keyword, value, record);
            break;
        default:
            record.insert(keyword.fields[0].name, valueOf(value));
        }
    }
    for (const auto& entry : given) {
        const std::string key = py::str(entry.first);
        const bool known = std::any_of(method.keywords.begin(), method.keywords.end(),
                                       [&](const Keyword& k) { return k.name == key; });
        if (!known)
            throw py::type_error(callName + "() got an unexpected keyword argument '" + key + "'");
    }
    return record;
}

py::object takeProgress(py::dict& given) {
    if (!given.contains("progress"))
        return py::none();
    py::object callback = given["progress"];
    PyDict_DelItemString(given.ptr(), "progress");
    if (!callback.is_none() && !PyCallable_Check(callback.ptr()))
        throw py::type_error("progress must be callable(done, total, stage) or None");
    return callback;
}

// Runs one record on `volume` (null for "Create Substrate", which adds the volume it makes to
// the document) and turns what went wrong into a Python exception.
Volume runRecord(const Document& document, const Volume* volume, int type, const QString& display,
                 const QVariantMap& record, py::object callback,
                 ProcessRecordExecutor::Result* reported = nullptr) {
    PythonProgress progress(std::move(callback));
    const std::shared_ptr<VolumeState> state =
        volume ? volume->state : std::make_shared<VolumeState>();
    std::shared_ptr<TotalVolume> result = volume ? volume->cells : nullptr;
    ProcessRecordExecutor::Result outcome;
    {
        py::gil_scoped_release unlocked;
        std::lock_guard<std::mutex> running(state->running);
        QString log;
        QTextStream logStream(&log);
        Model::Document& shown = document.state->document;
        Ui::HeadlessPictures pictures(shown,
                                      QSize(Model::Export::ScenePicture::defaultWidth,
                                            Model::Export::ScenePicture::defaultHeight),
                                      logStream);
        // Every hook ProcessListRun gives the executor is given here too, so that a step runs
        // from Python as it runs from a list.
        ProcessRecordExecutor executor(state->history,
                                       {[&](const std::shared_ptr<TotalVolume>& created) {
                                            shown.addObject(created);
                                            result = created;
                                        },
                                        [&](TotalVolume& cells, const QString& fileName) {
                                            return pictures.save(cells, fileName);
                                        }});
        executor.setVolume(result);
        executor.setMicrometresPerSceneUnit(shown.getMicrometresPerSceneUnit());
        outcome = executor.execute(type, record, progress);
    }
    using Outcome = ProcessRecordExecutor::Outcome;
    switch (outcome.outcome) {
    case Outcome::Done:
        break;
    case Outcome::Cancelled:
        progress.raiseStop();
    case Outcome::Failed:
        if (outcome.problem.contains(QStringLiteral("not enough memory"))) {
            PyErr_SetString(
                PyExc_MemoryError,
                (display + QStringLiteral(": ") + outcome.problem).toUtf8().constData());
            throw py::error_already_set();
        }
        fileError(display + QStringLiteral(": ") + outcome.problem);
    default:
        refuse(display + QStringLiteral(": ") + outcome.problem);
    }
    if (reported)
        *reported = outcome;
    return document.volumeOf(result);
}

const StepMethod& createSubstrate() {
    for (const StepMethod& method : stepMethods())
        if (method.type == ProcessTypes::CreateSubstrate)
            return method;
    throw std::logic_error("the executor does not create substrates");
}

Volume createSubstrateIn(const Document& document, py::kwargs arguments) {
    py::dict given(arguments);
    py::object callback = takeProgress(given);
    // A box filling the volume's floor unless told otherwise; the substrate's height is the
    // one value without a sensible default.
    const bool spherical = given.contains("radius") || given.contains("center") ||
                           (given.contains("spherical") && given["spherical"].cast<bool>());
    if (!given.contains("position"))
        given["position"] = py::make_tuple(0, 0, 0);
    if (!spherical && !given.contains("substrate_corner"))
        given["substrate_corner"] = py::make_tuple(0, 0, 0);
    if (!spherical && !given.contains("substrate_size") && given.contains("size"))
        given["substrate_size"] = given["size"];
    const StepMethod& method = createSubstrate();
    const QVariantMap record = recordOf(method, "create_substrate", given);
    return runRecord(document, nullptr, method.type, method.display, record, callback);
}

// Steps that change cells return None; a measurement returns its values by name, in µm (or
// degrees, µm², µm³ as the measurement says).
py::object runStepOn(const StepMethod& method, const std::string& callName, const Volume& volume,
                     py::kwargs arguments) {
    py::dict given(arguments);
    py::object callback = takeProgress(given);
    const QVariantMap record = recordOf(method, callName, given);
    ProcessRecordExecutor::Result outcome;
    runRecord(Document{volume.document}, &volume, method.type, method.display, record, callback,
              &outcome);
    if (!outcome.measurement)
        return py::none();
    py::dict values;
    for (const auto& value :
         Model::Metrology::namedValues(*outcome.measurement, outcome.resultName))
        values[py::str(value.name.toStdString())] = value.value;
    return std::move(values);
}

// A record as the batch dialog or a list file gives it, values by their record names.
void runRawRecord(const Volume& volume, int type, const py::dict& values, py::object callback) {
    QVariantMap record;
    for (const auto& entry : values) {
        const QString name = toQString(entry.first);
        if (py::isinstance<py::bytes>(entry.second) ||
            py::isinstance<py::bytearray>(entry.second)) {
            const std::string bytes = entry.second.cast<std::string>();
            record.insert(
                name, QVariant::fromValue(std::vector<unsigned char>(bytes.begin(), bytes.end())));
        } else {
            record.insert(name, valueOf(entry.second));
        }
    }
    runRecord(Document{volume.document}, &volume, type, Ui::ProcessData::displayName(type), record,
              std::move(callback));
}

Document runList(const py::object& path, const py::object& input, int volumeNumber,
                 const py::object& settings, std::optional<int> threads, py::object callback) {
    Ui::ProcessListRun::Options options;
    options.list = pathOf(path);
    if (!input.is_none())
        options.input = pathOf(input);
    options.volume = volumeNumber;
    if (!settings.is_none())
        for (const auto& entry : settings.cast<py::dict>()) {
            QString value;
            if (py::isinstance<py::bool_>(entry.second))
                value =
                    entry.second.cast<bool>() ? QStringLiteral("true") : QStringLiteral("false");
            else
                value = toQString(py::str(entry.second));
            options.settings << toQString(py::str(entry.first)) + QLatin1Char('=') + value;
        }
    int threadCount = 0;
    if (threads) {
        threadCount = *threads;
        if (threadCount < 1)
            refuse(QStringLiteral("threads takes a number from 1, not %1").arg(threadCount));
    }
    PythonProgress progress(std::move(callback));
    options.progress = &progress;
    Document document;
    QString log;
    Ui::ProcessListRun::Status status = Ui::ProcessListRun::Done;
    {
        py::gil_scoped_release unlocked;
        // This run's own pool: the global one is shared with every other thread's runs.
        std::optional<Util::WorkPool> pool;
        if (threadCount)
            pool.emplace(threadCount);
        QTextStream logStream(&log);
        status = Ui::ProcessListRun::run(options, logStream, document.state->document);
    }
    if (status == Ui::ProcessListRun::Done)
        return document;
    if (status == Ui::ProcessListRun::Cancelled)
        progress.raiseStop();
    // The runner's own lines, without the program's name they start with on a terminal.
    QStringList problems;
    const QString prefix = QStringLiteral("cellvane-run: ");
    for (const QString& line : log.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        if (line.startsWith(prefix))
            problems << line.mid(prefix.size());
    const QString message = problems.isEmpty() ? log.trimmed() : problems.join(QLatin1Char('\n'));
    if (status == Ui::ProcessListRun::BadInput && !message.contains(QStringLiteral("--set ")))
        fileError(message);
    refuse(message);
}

py::list stepKinds() {
    static const char* const kinds[] = {"real", "single", "integer", "whole", "count",
                                        "flag", "text",   "vector",  "bits"};
    static const char* const forms[] = {"plain", "material", "mask", "axes", "switch"};
    py::list all;
    for (const StepMethod& method : stepMethods()) {
        py::list keywords;
        for (const Keyword& keyword : method.keywords) {
            py::list names;
            for (const RecordField& field : keyword.fields)
                names.append(field.name.toStdString());
            py::dict entry;
            entry["name"] = keyword.name;
            entry["form"] = forms[int(keyword.form)];
            entry["kind"] = kinds[int(keyword.fields[0].kind)];
            entry["fields"] = names;
            entry["optional"] = keyword.optional;
            entry["when"] = keyword.whenFlag.isEmpty()
                                ? py::object(py::none())
                                : py::object(py::make_tuple(keyword.whenFlag.toStdString(),
                                                            keyword.whenFlagIs));
            keywords.append(entry);
        }
        py::list methodNames;
        if (method.type != ProcessTypes::CreateSubstrate) {
            methodNames.append(method.name);
            const auto verb = verbs().find(method.type);
            if (verb != verbs().end())
                methodNames.append(verb->second);
        } else {
            methodNames.append("create_substrate");
        }
        py::dict kind;
        kind["type"] = method.type;
        kind["display_name"] = method.display.toStdString();
        kind["methods"] = methodNames;
        kind["keywords"] = keywords;
        all.append(kind);
    }
    return all;
}

// The etchant of a script's name, or a ValueError.
Core::Operations::Etchant etchantNamed(const std::string& name) {
    Core::Operations::Etchant etchant;
    if (!Core::Operations::etchantFromName(QString::fromStdString(name), etchant))
        refuse(QStringLiteral("etchant must be KOH or TMAH, not \"%1\"")
                   .arg(QString::fromStdString(name)));
    return etchant;
}

// Cells beyond the corner of a bar eaten back to it at `depth` cells of (100) depth.
int compensationBarCells(double depth, const std::string& etchant) {
    const auto& rates = Core::Operations::calibrated(etchantNamed(etchant)).table.rates;
    if (!std::isfinite(depth) || depth < 0.0 || depth > 1e6)
        refuse(QStringLiteral("depth must be between 0 and 1e6 cells, not %1").arg(depth));
    return int(std::lround(Core::Operations::compensationBarLength(rates, depth)));
}

py::array_t<bool> compensatedMesaMask(const std::array<long, 2>& size,
                                      const std::array<long, 4>& mesa, double depth, long barWidth,
                                      const std::string& etchant) {
    const int length = compensationBarCells(depth, etchant);
    if (size[0] < 1 || size[1] < 1 ||
        std::uint64_t(size[0]) * std::uint64_t(size[1]) >
            Model::Automaton::PhotoMask::maximumPixels)
        refuse(QStringLiteral("size must be at least 1 by 1 and at most %1 columns")
                   .arg(Model::Automaton::PhotoMask::maximumPixels));
    const long limit = 1L << 30;
    if (mesa[0] >= mesa[2] || mesa[1] >= mesa[3] ||
        std::any_of(mesa.begin(), mesa.end(), [&](long v) { return v < -limit || v > limit; }))
        refuse(QStringLiteral("mesa must be (x0, y0, x1, y1) with x0 < x1 and y0 < y1"));
    if (barWidth < 1 || barWidth > limit)
        refuse(QStringLiteral("bar_width must be at least 1 cell, not %1").arg(barWidth));
    const auto mask = Core::Operations::compensatedMesaMask(
        unsigned(size[0]), unsigned(size[1]),
        QRect(int(mesa[0]), int(mesa[1]), int(mesa[2] - mesa[0]), int(mesa[3] - mesa[1])), length,
        int(barWidth));
    py::array_t<bool> out({py::ssize_t(size[0]), py::ssize_t(size[1])});
    // Row-major [x, y] is the mask's own order: bit x * height + y.
    std::copy(mask.bits.begin(), mask.bits.end(), out.mutable_data());
    return out;
}

} // namespace

void bindSteps(py::module_& module) {
    auto volumeClass = py::reinterpret_borrow<py::class_<Volume>>(module.attr("Volume"));
    for (const StepMethod& method : stepMethods()) {
        if (method.type == ProcessTypes::CreateSubstrate)
            continue;
        std::vector<std::string> names{method.name};
        const auto verb = verbs().find(method.type);
        if (verb != verbs().end())
            names.push_back(verb->second);
        for (const std::string& name : names) {
            const StepMethod* step = &method;
            volumeClass.def(
                name.c_str(),
                [step, name](const Volume& volume, py::kwargs arguments) {
                    return runStepOn(*step, name, volume, std::move(arguments));
                },
                docOf(method, "this cell volume").c_str());
        }
    }
    volumeClass.def("_run_record", &runRawRecord, py::arg("type"), py::arg("values"),
                    py::arg("progress") = py::none(),
                    "Runs a record given by type code and its values under their record names, "
                    "as a process list holds it (bytes for a mask's bits). For tests and "
                    "records taken from lists.");

    auto documentClass = py::reinterpret_borrow<py::class_<Document>>(module.attr("Document"));
    documentClass.def("create_substrate", &createSubstrateIn,
                      (docOf(createSubstrate(), "a new cell volume of this document") +
                       "\n\nDefaults: position (0, 0, 0), substrate_corner (0, 0, 0), "
                       "substrate_size the whole size; giving radius or center makes a "
                       "spherical substrate. Returns the new Volume.")
                          .c_str());

    module.def("run_list", &runList, py::arg("path"), py::kw_only(), py::arg("input") = py::none(),
               py::arg("volume") = 1, py::arg("set") = py::none(), py::arg("threads") = py::none(),
               py::arg("progress") = py::none(),
               "Runs a process list (*.plst) as cellvane-run does: from cell volume `volume` "
               "(from 1) of the document `input`, or from the list's own \"Create Substrate\" "
               "step. `set` replaces values before the run, {\"2.Thickness\": 5} as --set "
               "2.Thickness=5 does; `threads` runs the simulations on that many pool threads. "
               "Returns the resulting Document. OSError when the list or the document cannot be "
               "read, ValueError when a setting or a step is refused; KeyboardInterrupt stops "
               "the running step with its cells as before it.");
    module.def("compensation_bar_length", &compensationBarCells, py::kw_only(), py::arg("depth"),
               py::arg("etchant") = "KOH",
               "Cells beyond a mesa's convex corner of a <110> compensation bar that the "
               "calibrated wet etch of `etchant` (KOH or TMAH) eats back to the corner at "
               "`depth` cells of (100) depth: (v_end / R100) depth, v_end the speed of the bar "
               "end's fastest calibrated flanks along the bar.");
    module.def("compensated_mesa_mask", &compensatedMesaMask, py::kw_only(), py::arg("size"),
               py::arg("mesa"), py::arg("depth"), py::arg("bar_width"), py::arg("etchant") = "KOH",
               "A top mask, as photolithography's top_mask takes it (mask[x, y], true where "
               "opaque), `size` = (width, height) columns: the mesa (x0, y0, x1, y1), half-open, "
               "edged along <110>, and at each of its convex corners a compensation bar "
               "`bar_width` cells wide and compensation_bar_length(depth, etchant) long, "
               "continuing one edge past the corner, turning like a pinwheel. Cut off at the "
               "mask's sides. ValueError for an empty size or mesa, a width below 1, a negative "
               "depth or another etchant.");
    module.def("step_kinds", &stepKinds,
               "Every step kind of the executor of process records: its type code, the batch "
               "dialog's name for it, the methods that run it and their keyword arguments with "
               "the record values they fill.");
}

} // namespace CellvanePython

#include "Core/Operations/BatchRun/recordvalues.h"
#include "Model/Automaton/materialcells.h"

#include "Util/metatypes.h"

#include <cmath>
#include <limits>

namespace Core::Operations {

namespace {

using ByteVector = std::vector<unsigned char>;

// How a value that did not convert is shown: short, and readable for the plain kinds.
QString shown(const QVariant& value) {
    if (value.userType() == qMetaTypeId<ByteVector>())
        return QStringLiteral("a vector of %1 bytes").arg(value.value<ByteVector>().size());
    if (value.userType() == qMetaTypeId<Util::Vector3D>())
        return QStringLiteral("a vector");
    const QString text = value.toString();
    if (text.isEmpty())
        return QStringLiteral("a value of type %1").arg(QString::fromLatin1(value.typeName()));
    return QLatin1Char('"') + (text.size() > 40 ? text.left(40) + QStringLiteral("...") : text) +
           QLatin1Char('"');
}

} // namespace

void RecordValues::note(const QString& name, RecordField::Kind kind, bool optional) {
    if (asked)
        asked->push_back({name, kind, optional, {}, false});
}

bool RecordValues::absent(const QString& name, RecordField::Kind kind) {
    const auto found = parameters.constFind(name);
    if (found != parameters.constEnd() && found->isValid())
        return false;
    note(name, kind, true);
    return true;
}

float RecordValues::optionalSingle(const QString& name, float fallback) {
    return absent(name, RecordField::Kind::Single) ? fallback : single(name);
}

QString RecordValues::optionalText(const QString& name, const QString& fallback) {
    return absent(name, RecordField::Kind::Text) ? fallback : text(name);
}

double RecordValues::optionalReal(const QString& name, double fallback) {
    return absent(name, RecordField::Kind::Real) ? fallback : real(name);
}

int RecordValues::optionalInteger(const QString& name, int fallback) {
    return absent(name, RecordField::Kind::Integer) ? fallback : integer(name);
}

unsigned RecordValues::optionalMaterialId(const QString& name, unsigned fallback) {
    return absent(name, RecordField::Kind::Whole) ? fallback : materialId(name);
}

bool RecordValues::optionalFlag(const QString& name, bool fallback) {
    return absent(name, RecordField::Kind::Flag) ? fallback : flag(name);
}

const QVariant* RecordValues::find(const QString& name) {
    const auto found = parameters.constFind(name);
    if (found == parameters.constEnd() || !found->isValid()) {
        if (problem.isEmpty())
            problem = QStringLiteral("the parameter \"%1\" is missing").arg(name);
        return nullptr;
    }
    return &*found;
}

void RecordValues::fail(const QString& name, const QString& what, const QVariant& value) {
    if (problem.isEmpty())
        problem =
            QStringLiteral("the parameter \"%1\" holds %2, not %3").arg(name, shown(value), what);
}

bool RecordValues::number(const QString& name, double lowest, double highest, const char* kind,
                          double& value) {
    const QVariant* found = find(name);
    if (!found)
        return false;
    bool converted = false;
    // Texts and numbers convert; a bool, a colour or a vector is no number.
    if (found->userType() != QMetaType::Bool)
        value = found->toDouble(&converted);
    if (!converted || !std::isfinite(value) || value < lowest || value > highest) {
        fail(name, QString::fromLatin1(kind), *found);
        return false;
    }
    return true;
}

double RecordValues::real(const QString& name) {
    note(name, RecordField::Kind::Real);
    double value = 0.0;
    const double largest = std::numeric_limits<double>::max();
    return number(name, -largest, largest, "a number", value) ? value : 0.0;
}

float RecordValues::single(const QString& name) {
    note(name, RecordField::Kind::Single);
    double value = 0.0;
    const double largest = std::numeric_limits<float>::max();
    return number(name, -largest, largest, "a number", value) ? float(value) : 0.0f;
}

int RecordValues::integer(const QString& name) {
    note(name, RecordField::Kind::Integer);
    double value = 0.0;
    // The bounds are whole numbers a double holds exactly; one below the next whole number
    // still truncates into range.
    const bool ok = number(name, double(std::numeric_limits<int>::min()),
                           double(std::numeric_limits<int>::max()), "a whole number", value);
    return ok ? int(value) : 0;
}

unsigned RecordValues::whole(const QString& name) {
    note(name, RecordField::Kind::Whole);
    double value = 0.0;
    const bool ok = number(name, 0.0, double(std::numeric_limits<unsigned>::max()),
                           "a whole number of at least 0", value);
    return ok ? unsigned(value) : 0u;
}

unsigned RecordValues::materialId(const QString& name) {
    static_assert(Model::Automaton::largestMaterialId == 65535, "the refusal names the limit");
    note(name, RecordField::Kind::Whole);
    double value = 0.0;
    const bool ok = number(name, 0.0, double(Model::Automaton::largestMaterialId),
                           "a material id from 0 to 65535", value);
    return ok ? unsigned(value) : 0u;
}

int RecordValues::clampedCount(const QString& name) {
    note(name, RecordField::Kind::Count);
    std::vector<RecordField>* const recording = asked;
    asked = nullptr;
    const double value = real(name);
    asked = recording;
    const double top = double(std::numeric_limits<int>::max());
    if (value >= top)
        return std::numeric_limits<int>::max();
    if (value <= -top)
        return -std::numeric_limits<int>::max();
    return int(value);
}

bool RecordValues::flag(const QString& name) {
    note(name, RecordField::Kind::Flag);
    const QVariant* found = find(name);
    if (!found)
        return false;
    if (found->userType() == QMetaType::Bool)
        return found->toBool();
    const QString text = found->toString();
    if (text == QLatin1String("true") || text == QLatin1String("false"))
        return text == QLatin1String("true");
    fail(name, QStringLiteral("true or false"), *found);
    return false;
}

QString RecordValues::text(const QString& name) {
    note(name, RecordField::Kind::Text);
    const QVariant* found = find(name);
    if (!found)
        return QString();
    if (found->userType() != QMetaType::QString) {
        fail(name, QStringLiteral("a text"), *found);
        return QString();
    }
    return found->toString();
}

Util::Vector3D RecordValues::vector(const QString& name) {
    note(name, RecordField::Kind::Vector);
    const QVariant* found = find(name);
    if (!found)
        return {};
    if (found->userType() != qMetaTypeId<Util::Vector3D>()) {
        fail(name, QStringLiteral("a vector x;y;z"), *found);
        return {};
    }
    const auto vector = found->value<Util::Vector3D>();
    if (!std::isfinite(vector.x) || !std::isfinite(vector.y) || !std::isfinite(vector.z)) {
        fail(name, QStringLiteral("a vector of finite numbers"), *found);
        return {};
    }
    return vector;
}

std::vector<bool> RecordValues::bits(const QString& name) {
    note(name, RecordField::Kind::Bits);
    const QVariant* found = find(name);
    if (!found)
        return {};
    if (found->userType() != qMetaTypeId<ByteVector>()) {
        fail(name, QStringLiteral("a vector of 0/1 bytes"), *found);
        return {};
    }
    const ByteVector bytes = found->value<ByteVector>();
    std::vector<bool> bits(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bits[i] = bytes[i] != 0;
    return bits;
}

} // namespace Core::Operations

#pragma once

#include "Util/vector3d.h"

#include <QString>
#include <QVariantMap>

#include <vector>

namespace Core::Operations {

// One value a process record is read with: its name, the kind the reader asks for, and when
// it is read at all. The executor gathers them by reading a record of no values (fieldsOf),
// so that whoever fills records from elsewhere learns the names from the reads themselves.
struct RecordField {
    enum class Kind { Real, Single, Integer, Whole, Count, Flag, Text, Vector, Bits };
    QString name;
    Kind kind = Kind::Real;
    // May be left out; the step then uses its own default.
    bool optional = false;
    // Read only while the flag of this name holds `whenFlagIs`; empty when always read.
    QString whenFlag;
    bool whenFlagIs = false;
};

// Reads the values of a process record by name, each as the number type its step needs. The
// first value that is missing or does not convert is remembered, and the step must then not
// run: a record is used whole or not at all. Values that cannot be represented in the type
// asked for (not finite, out of its range) do not convert either.
class RecordValues {
public:
    explicit RecordValues(const QVariantMap& parameters) : parameters(parameters) {}

    double real(const QString& name);
    float single(const QString& name);
    // Whole numbers; a fraction is cut off, as a C++ conversion would.
    int integer(const QString& name);
    unsigned whole(const QString& name);
    // A whole number a cell can hold as its material.
    unsigned materialId(const QString& name);
    // A count of steps or cells given as any number: cut to a whole number and held within
    // what an int can count (a step count beyond it means "until nothing changes").
    int clampedCount(const QString& name);
    bool flag(const QString& name);
    QString text(const QString& name);
    // A value the record may leave out: `fallback` when it is absent; read as single() when
    // it is there.
    float optionalSingle(const QString& name, float fallback);
    QString optionalText(const QString& name, const QString& fallback = QString());
    double optionalReal(const QString& name, double fallback);
    int optionalInteger(const QString& name, int fallback);
    bool optionalFlag(const QString& name, bool fallback);
    unsigned optionalMaterialId(const QString& name, unsigned fallback);
    Util::Vector3D vector(const QString& name);
    // A byte vector as bits: a non-zero byte gives a set bit.
    std::vector<bool> bits(const QString& name);

    // Whether the record holds a value of this name at all (for values a record may lack).
    bool has(const QString& name) const { return parameters.contains(name); }

    bool isComplete() const { return problem.isEmpty(); }
    // Which value stopped the record, in words; empty while complete.
    const QString& getProblem() const { return problem; }

    // Every value asked for from now on is appended to `fields`, in the order asked.
    void recordFieldsTo(std::vector<RecordField>* fields) { asked = fields; }

private:
    // The value, or null (with the problem noted) when it is missing.
    const QVariant* find(const QString& name);
    // A finite number within [lowest, highest]; false, with the problem noted as "not `kind`",
    // otherwise.
    bool number(const QString& name, double lowest, double highest, const char* kind,
                double& value);
    void fail(const QString& name, const QString& what, const QVariant& value);

    void note(const QString& name, RecordField::Kind kind, bool optional = false);
    // Whether `name` is absent, noting it as an optional value of `kind` when it is.
    bool absent(const QString& name, RecordField::Kind kind);

    const QVariantMap& parameters;
    QString problem;
    std::vector<RecordField>* asked = nullptr;
};

} // namespace Core::Operations

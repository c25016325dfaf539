#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace Core::Study {

// The variants of a study: a CSV table with the header `id,STEP.NAME,...` and one row per
// variant, each cell a value as `cellvane-run --set STEP.NAME=VALUE` takes it. An empty cell
// keeps the list's own value for that variant. Ids name the variants' folders, so they are
// plain names: letters, digits, '.', '_' and '-', not starting with '.' (nor, in a new table,
// with '-').
class VariantTable {
public:
    struct Variant {
        QString id;
        // One per parameter, in the order of `parameters`.
        QStringList values;
    };

    QStringList parameters;
    std::vector<Variant> variants;

    // False, with the line and what is wrong, for a table that is not of that shape.
    static bool parse(const QByteArray& text, VariantTable& table, QString& problem);
    static bool read(const QString& fileName, VariantTable& table, QString& problem);
    // RFC 4180: fields with commas, quotes or line breaks are quoted.
    QByteArray csv() const;

    // The variant's values as the runner's --set arguments; empty cells give none.
    QStringList settings(const Variant& variant) const;
    const Variant* find(const QString& id) const;

    static bool isPlainId(const QString& id);
    static QString csvField(const QString& text);
};

} // namespace Core::Study

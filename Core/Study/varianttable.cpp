#include "Core/Study/varianttable.h"

#include <QFile>
#include <QRegularExpression>

#include <set>

namespace Core::Study {

namespace {

// Splits CSV text into records of fields (RFC 4180, with LF or CRLF line ends). False for a
// quote that is never closed or text after a closing quote.
bool splitRecords(const QString& text, std::vector<QStringList>& records, std::vector<int>& lines,
                  QString& problem) {
    QStringList record;
    QString field;
    bool quoted = false;
    bool afterQuote = false;
    bool recordHasText = false;
    int line = 1;
    int recordLine = 1;
    const auto endRecord = [&] {
        record << field;
        if (recordHasText || record.size() > 1) {
            records.push_back(record);
            lines.push_back(recordLine);
        }
        record.clear();
        field.clear();
        recordHasText = false;
        afterQuote = false;
    };
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                    afterQuote = true;
                }
            } else {
                if (c == QLatin1Char('\n'))
                    ++line;
                field += c;
            }
            continue;
        }
        if (c == QLatin1Char(',')) {
            record << field;
            field.clear();
            afterQuote = false;
            recordHasText = true;
        } else if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
            endRecord();
            recordLine = ++line;
        } else if (c == QLatin1Char('"') && field.isEmpty() && !afterQuote) {
            quoted = true;
            recordHasText = true;
        } else if (afterQuote) {
            problem = QStringLiteral("line %1: text after a closing quote").arg(line);
            return false;
        } else {
            field += c;
            recordHasText = true;
        }
    }
    if (quoted) {
        problem = QStringLiteral("line %1: a quoted field is never closed").arg(recordLine);
        return false;
    }
    if (!field.isEmpty() || !record.isEmpty() || recordHasText)
        endRecord();
    return true;
}

} // namespace

bool VariantTable::isPlainId(const QString& id) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_-][A-Za-z0-9._-]*$"));
    return id.size() <= 100 && plain.match(id).hasMatch();
}

bool VariantTable::parse(const QByteArray& bytes, VariantTable& table, QString& problem) {
    table = VariantTable();
    std::vector<QStringList> records;
    std::vector<int> lines;
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xfeff))) // spreadsheets save UTF-8 with a byte-order mark
        text.remove(0, 1);
    if (!splitRecords(text, records, lines, problem))
        return false;
    if (records.empty()) {
        problem = QStringLiteral("the table is empty; it needs the header id,STEP.NAME,...");
        return false;
    }
    const QStringList& header = records.front();
    if (header.first().trimmed() != QStringLiteral("id")) {
        problem = QStringLiteral("line 1: the first column must be \"id\", not \"%1\"")
                      .arg(header.first());
        return false;
    }
    static const QRegularExpression stepName(QStringLiteral("^[1-9][0-9]*\\.[^=]+$"));
    std::set<QString> seenParameters;
    for (int column = 1; column < header.size(); ++column) {
        const QString name = header[column].trimmed();
        if (!stepName.match(name).hasMatch()) {
            problem = QStringLiteral("line 1: column %1 is \"%2\"; a column names STEP.NAME, "
                                     "such as 2.Thickness")
                          .arg(column + 1)
                          .arg(name);
            return false;
        }
        if (!seenParameters.insert(name).second) {
            problem = QStringLiteral("line 1: \"%1\" is given twice").arg(name);
            return false;
        }
        table.parameters << name;
    }
    std::set<QString> seenIds;
    for (std::size_t row = 1; row < records.size(); ++row) {
        const QStringList& record = records[row];
        if (record.size() != header.size()) {
            problem = QStringLiteral("line %1: %2 fields where the header has %3")
                          .arg(lines[row])
                          .arg(record.size())
                          .arg(header.size());
            return false;
        }
        Variant variant;
        variant.id = record.first().trimmed();
        if (!isPlainId(variant.id)) {
            problem = QStringLiteral("line %1: the id \"%2\" is no plain name (letters, digits, "
                                     "'.', '_' and '-', not starting with '.')")
                          .arg(lines[row])
                          .arg(variant.id);
            return false;
        }
        // The id is handed to the task program as an argument.
        if (variant.id.startsWith(QLatin1Char('-'))) {
            problem = QStringLiteral("line %1: the id \"%2\" starts with '-', which programs "
                                     "take for an option")
                          .arg(lines[row])
                          .arg(variant.id);
            return false;
        }
        if (!seenIds.insert(variant.id).second) {
            problem = QStringLiteral("line %1: the id \"%2\" is given twice")
                          .arg(lines[row])
                          .arg(variant.id);
            return false;
        }
        for (int column = 1; column < record.size(); ++column)
            variant.values << record[column].trimmed();
        table.variants.push_back(variant);
    }
    if (table.variants.empty()) {
        problem = QStringLiteral("the table has no variants");
        return false;
    }
    return true;
}

bool VariantTable::read(const QString& fileName, VariantTable& table, QString& problem) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        problem = QStringLiteral("%1: %2").arg(fileName, file.errorString());
        return false;
    }
    // A table of variants is text a person can read; anything this large is not one.
    if (file.size() > 64 * 1024 * 1024) {
        problem = QStringLiteral("%1: too large for a table of variants").arg(fileName);
        return false;
    }
    if (!parse(file.readAll(), table, problem)) {
        problem = fileName + QStringLiteral(": ") + problem;
        return false;
    }
    return true;
}

QString VariantTable::csvField(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QByteArray VariantTable::csv() const {
    QStringList lines;
    QStringList header{QStringLiteral("id")};
    for (const QString& name : parameters)
        header << csvField(name);
    lines << header.join(QLatin1Char(','));
    for (const Variant& variant : variants) {
        QStringList fields{csvField(variant.id)};
        for (const QString& value : variant.values)
            fields << csvField(value);
        lines << fields.join(QLatin1Char(','));
    }
    return (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
}

QStringList VariantTable::settings(const Variant& variant) const {
    QStringList result;
    for (int i = 0; i < parameters.size() && i < variant.values.size(); ++i)
        if (!variant.values[i].isEmpty())
            result << parameters[i] + QLatin1Char('=') + variant.values[i];
    return result;
}

const VariantTable::Variant* VariantTable::find(const QString& id) const {
    for (const Variant& variant : variants)
        if (variant.id == id)
            return &variant;
    return nullptr;
}

} // namespace Core::Study

#include "Core/Study/studyplan.h"

#include <cmath>
#include <numeric>
#include <random>

namespace Core::Study {

bool VariedParameter::parse(const QString& text, VariedParameter& parameter, QString& problem) {
    parameter = VariedParameter();
    const int equals = text.indexOf(QLatin1Char('='));
    const int dot = text.indexOf(QLatin1Char('.'));
    bool number = false;
    if (equals < 0 || dot < 1 || dot > equals || text.left(dot).toInt(&number) < 1 || !number) {
        problem = QStringLiteral("--vary takes STEP.NAME=FROM:TO:STEP or STEP.NAME=A,B,..., not "
                                 "'%1'")
                      .arg(text);
        return false;
    }
    parameter.name = text.left(equals);
    const QString values = text.mid(equals + 1);
    if (values.contains(QLatin1Char(':'))) {
        const QStringList parts = values.split(QLatin1Char(':'));
        std::vector<double> numbers;
        for (const QString& part : parts) {
            bool ok = false;
            numbers.push_back(part.trimmed().toDouble(&ok));
            if (!ok || !std::isfinite(numbers.back())) {
                problem = QStringLiteral("--vary %1: \"%2\" is no number").arg(text, part);
                return false;
            }
        }
        if (parts.size() < 2 || parts.size() > 3 || numbers[1] < numbers[0]) {
            problem = QStringLiteral("--vary %1: a range is FROM:TO or FROM:TO:STEP with FROM "
                                     "not above TO")
                          .arg(text);
            return false;
        }
        parameter.low = numbers[0];
        parameter.high = numbers[1];
        if (parts.size() == 3) {
            const double step = numbers[2];
            // More levels than this is a mistyped step, not a study.
            if (!(step > 0) || (numbers[1] - numbers[0]) / step > 100000) {
                problem = QStringLiteral("--vary %1: the step must be above 0 and give at most "
                                         "100000 values")
                              .arg(text);
                return false;
            }
            const long count = long(std::floor((numbers[1] - numbers[0]) / step + 1e-9)) + 1;
            for (long k = 0; k < count; ++k)
                parameter.levels << StudyPlan::number(numbers[0] + double(k) * step);
        }
        return true;
    }
    for (const QString& value : values.split(QLatin1Char(',')))
        if (!value.trimmed().isEmpty())
            parameter.levels << value.trimmed();
    if (parameter.levels.isEmpty()) {
        problem = QStringLiteral("--vary %1: no values").arg(text);
        return false;
    }
    return true;
}

QString StudyPlan::number(double value) {
    if (value == 0)
        return QStringLiteral("0");
    return QString::number(value, 'g', 15);
}

QString StudyPlan::variantId(int index, int count) {
    const int width = std::max(3, int(QString::number(count).size()));
    return QStringLiteral("v%1").arg(index + 1, width, 10, QLatin1Char('0'));
}

std::uint64_t StudyPlan::gridSize(const std::vector<VariedParameter>& parameters,
                                  std::uint64_t limit) {
    std::uint64_t count = 1;
    for (const VariedParameter& parameter : parameters) {
        count *= std::max<std::uint64_t>(1, std::uint64_t(parameter.levels.size()));
        // Each factor is far below 2^32 and the product so far at most the limit: it cannot wrap.
        if (count > limit)
            return limit + 1;
    }
    return count;
}

VariantTable StudyPlan::grid(const std::vector<VariedParameter>& parameters) {
    VariantTable table;
    long long count = 1;
    for (const VariedParameter& parameter : parameters) {
        table.parameters << parameter.name;
        count *= std::max<long long>(1, parameter.levels.size());
    }
    for (long long index = 0; index < count; ++index) {
        VariantTable::Variant variant;
        variant.id = variantId(int(index), int(count));
        long long rest = index;
        QStringList values;
        for (auto parameter = parameters.rbegin(); parameter != parameters.rend(); ++parameter) {
            const long long levels = std::max<long long>(1, parameter->levels.size());
            values.prepend(parameter->levels.value(int(rest % levels)));
            rest /= levels;
        }
        variant.values = values;
        table.variants.push_back(variant);
    }
    return table;
}

VariantTable StudyPlan::latinHypercube(const std::vector<VariedParameter>& parameters, int count,
                                       std::uint64_t seed) {
    std::mt19937_64 random(seed);
    // 53 random bits as a number in [0, 1).
    const auto unit = [&random] { return double(random() >> 11) * 0x1.0p-53; };
    VariantTable table;
    std::vector<QStringList> columns;
    for (const VariedParameter& parameter : parameters) {
        table.parameters << parameter.name;
        std::vector<int> strata(static_cast<std::size_t>(count));
        std::iota(strata.begin(), strata.end(), 0);
        for (int i = count - 1; i > 0; --i)
            std::swap(strata[std::size_t(i)], strata[std::size_t(random() % std::uint64_t(i + 1))]);
        QStringList column;
        for (int i = 0; i < count; ++i) {
            const double u = (strata[std::size_t(i)] + unit()) / count;
            if (parameter.isContinuous()) {
                column << QString::number(parameter.low + u * (parameter.high - parameter.low), 'g',
                                          6);
            } else {
                const int levels = int(parameter.levels.size());
                column << parameter.levels[std::min(levels - 1, int(u * levels))];
            }
        }
        columns.push_back(column);
    }
    for (int i = 0; i < count; ++i) {
        VariantTable::Variant variant;
        variant.id = variantId(i, count);
        for (const QStringList& column : columns)
            variant.values << column[i];
        table.variants.push_back(variant);
    }
    return table;
}

} // namespace Core::Study

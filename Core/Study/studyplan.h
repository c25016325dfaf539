#pragma once

#include "Core/Study/varianttable.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace Core::Study {

// How one parameter varies in a planned study: "2.Thickness=1:3:0.5" (from 1 to 3 in steps of
// 0.5, both ends included), "4.Depth=5,10,15" (these values), or, for a sampled plan only,
// "2.Thickness=1:3" (anywhere from 1 to 3).
struct VariedParameter {
    QString name;
    // The levels, as text the runner's --set takes; empty for a continuous range.
    QStringList levels;
    double low = 0;
    double high = 0;

    bool isContinuous() const { return levels.isEmpty(); }
    // False, with the reason, for text of none of those forms.
    static bool parse(const QString& text, VariedParameter& parameter, QString& problem);
};

// Tables of variants made from varied parameters.
class StudyPlan {
public:
    // How many variants grid() makes, counted without making them; saturates at `limit` + 1,
    // so that a product too large to hold still compares above the limit.
    static std::uint64_t gridSize(const std::vector<VariedParameter>& parameters,
                                  std::uint64_t limit);
    // Every combination of the levels; the first parameter changes slowest.
    static VariantTable grid(const std::vector<VariedParameter>& parameters);
    // A Latin hypercube of `count` variants: each parameter's range cut into `count` equal
    // strata, each stratum used by exactly one variant, strata paired at random. A parameter
    // with levels takes the level its stratum falls on. The same seed gives the same table on
    // every machine (the generator and the mapping to numbers are our own, not the standard
    // library's distributions, whose output differs between implementations).
    static VariantTable latinHypercube(const std::vector<VariedParameter>& parameters, int count,
                                       std::uint64_t seed);
    // "v001", "v002", ...: ids that sort in table order.
    static QString variantId(int index, int count);
    // A number as a value of the table: 15 significant digits, so 0.1 + 0.2 is "0.3".
    static QString number(double value);
};

} // namespace Core::Study

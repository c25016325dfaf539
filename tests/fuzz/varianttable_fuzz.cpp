// Tables of variants: CSV made by hand or in a spreadsheet. Whatever the bytes, a table is
// refused with a reason or read as one whose ids are plain names (they name folders) and whose
// rows have a value per column; written out and read again it is the same table.

#include "fuzzsupport.h"

#include "Core/Study/studyplan.h"
#include "Core/Study/varianttable.h"

#include <set>

using namespace Core::Study;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes = Fuzz::bytesOf(data, size);
    // The same text as a --vary of a plan.
    VariedParameter parameter;
    QString problem;
    if (!VariedParameter::parse(QString::fromUtf8(bytes), parameter, problem))
        FUZZ_CHECK(!problem.isEmpty(), "a refused --vary gave no reason");
    else
        FUZZ_CHECK(parameter.levels.size() <= 100001, "a --vary gave more levels than allowed");

    VariantTable table;
    problem.clear();
    if (!VariantTable::parse(bytes, table, problem)) {
        FUZZ_CHECK(!problem.isEmpty(), "a refused table gave no reason");
        return 0;
    }
    FUZZ_CHECK(!table.variants.empty(), "an accepted table has no variant");
    std::set<QString> ids;
    for (const auto& variant : table.variants) {
        FUZZ_CHECK(VariantTable::isPlainId(variant.id) && !variant.id.contains(QLatin1Char('/')),
                   "an accepted id is no plain name");
        FUZZ_CHECK(ids.insert(variant.id).second, "an accepted id is given twice");
        FUZZ_CHECK(variant.values.size() == table.parameters.size(),
                   "a row has not one value per column");
    }
    VariantTable again;
    FUZZ_CHECK(VariantTable::parse(table.csv(), again, problem) && again.csv() == table.csv(),
               "a table written out reads back as another");
    return 0;
}

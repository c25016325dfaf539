// Process lists: an accepted list, saved and read back, gives the same records as far as the
// file can express them (each parameter's type name, text and visibility); a refused file
// leaves the caller's list as it was.

#include "fuzzsupport.h"

#include "Core/ProcessList/parametercodec.h"
#include "Core/ProcessList/processdata.h"
#include "Core/ProcessList/processlistarchiver.h"

using Ui::ParameterCodec;
using Ui::ProcessData;
using Ui::ProcessListArchiver;

namespace {

// A record as the file holds it.
bool sameInFile(const ProcessData& a, const ProcessData& b) {
    if (a.getProcessType() != b.getProcessType())
        return false;
    const auto parametersA = a.getParameters();
    const auto parametersB = b.getParameters();
    if (parametersA.keys() != parametersB.keys() || a.getVisibility() != b.getVisibility())
        return false;
    for (auto value = parametersA.cbegin(); value != parametersA.cend(); ++value) {
        const QVariant& other = parametersB[value.key()];
        if (ParameterCodec::typeName(value.value()) != ParameterCodec::typeName(other) ||
            ParameterCodec::encode(value.value()) != ParameterCodec::encode(other))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QString input = Fuzz::scratchPath(QStringLiteral("input.plst"));
    static const QString first = Fuzz::scratchPath(QStringLiteral("first.plst"));
    static const QString second = Fuzz::scratchPath(QStringLiteral("second.plst"));
    Fuzz::writeFile(input, Fuzz::bytesOf(data, size));

    // The caller's list already holds a record; loading appends to it or leaves it alone.
    ProcessData held(ProcessData::CVD);
    held.setParameter(QStringLiteral("Thickness"), 10.0, true);
    QList<ProcessData> list{held};
    ProcessListArchiver reader;
    if (!reader.loadProcessList(input, list)) {
        FUZZ_CHECK(!reader.errorString().isEmpty(), "a refused process list gave no reason");
        FUZZ_CHECK(list.size() == 1 && list.front().getId() == held.getId() &&
                       sameInFile(list.front(), held),
                   "a refused process list changed the caller's list");
        return 0;
    }
    FUZZ_CHECK(list.front().getId() == held.getId(), "loading replaced the caller's records");
    list.removeFirst();

    FUZZ_CHECK(ProcessListArchiver(list).saveProcessList(first), "an accepted list was not saved");
    QList<ProcessData> reread;
    FUZZ_CHECK(ProcessListArchiver().loadProcessList(first, reread),
               "the archiver refused a list it wrote itself");
    FUZZ_CHECK(reread.size() == list.size(), "a round trip changed the number of records");
    for (int i = 0; i < list.size(); ++i)
        FUZZ_CHECK(sameInFile(list[i], reread[i]), "a round trip changed a record");
    FUZZ_CHECK(ProcessListArchiver(reread).saveProcessList(second), "a reread list was not saved");
    FUZZ_CHECK(Fuzz::readFile(first) == Fuzz::readFile(second),
               "a round trip changed the written file");
    return 0;
}

#include "Core/Operations/materialset.h"

#include "Model/Process/processfactory.h"

namespace Core::Operations {

MaterialSet::MaterialSet(const std::set<unsigned>& ids) : ids(ids) {
    for (const unsigned id : ids) {
        if (id >= tableLimit)
            continue;
        if (id >= table.size())
            table.resize(std::size_t(id) + 1, 0);
        table[id] = 1;
    }
}

MaterialSet MaterialSet::compatibleWith(const QString& processName) {
    const auto registry = Model::Process::ProcessFactory::getInstance();
    if (!registry)
        return MaterialSet();
    std::set<unsigned> ids;
    for (const auto id : registry->getProcess(processName).getCompatibleMaterialIds())
        ids.insert(unsigned(id));
    return MaterialSet(ids);
}

} // namespace Core::Operations

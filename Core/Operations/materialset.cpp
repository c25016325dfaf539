#include "Core/Operations/materialset.h"

#include "Core/Operations/SiEtching/boronetchstop.h"
#include "Model/Materials/materialfactory.h"
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
    // A material doped to a concentration takes part wherever the material it was doped as
    // does: the registry's lists name only the materials they were written with.
    if (!ids.empty())
        for (const auto& material :
             Model::Materials::MaterialFactory::getInstance()->getMaterials())
            if (const auto base = BoronEtchStop::baseOf(material.getId()); base && ids.count(*base))
                ids.insert(material.getId());
    return MaterialSet(ids);
}

} // namespace Core::Operations

#include "Model/Process/process.h"

#include "Model/Materials/materialfactory.h"

namespace Model::Process {

std::vector<Materials::Material> Process::getCompatibleMaterials() const {
    const auto materials = Materials::MaterialFactory::getInstance();
    std::vector<Materials::Material> result;
    for (uint32_t materialId : compatibleMaterials) {
        Materials::Material material = materials->getMaterial(materialId);
        if (material.getId() != 0)
            result.push_back(std::move(material));
    }
    return result;
}

void Process::addCompatibleMaterial(uint32_t materialId) {
    compatibleMaterials.push_back(materialId);
}

void Process::removeCompatibleMaterial(uint32_t materialId) {
    compatibleMaterials.remove(materialId);
}

} // namespace Model::Process

#pragma once

#include "Model/Materials/material.h"

#include <QString>

#include <cstdint>
#include <list>
#include <vector>

namespace Model::Process {

// A fabrication process and the materials it may deposit, etch or produce, in the order its
// dialog offers them. A plain value, copied freely.
class Process {
public:
    Process() = default;
    Process(const QString& name, uint32_t id) : name(name), id(id) {}
    Process(const QString& name, uint32_t id, const std::list<uint32_t>& compatibleMaterials)
        : name(name), id(id), compatibleMaterials(compatibleMaterials) {}

    const QString& getName() const { return name; }
    uint32_t getId() const { return id; }
    std::list<uint32_t> getCompatibleMaterialIds() const { return compatibleMaterials; }
    // The registered materials of the list, in list order; ids the material registry does not
    // know are left out.
    std::vector<Materials::Material> getCompatibleMaterials() const;

    // Appends, duplicates included.
    void addCompatibleMaterial(uint32_t materialId);
    // Removes every occurrence.
    void removeCompatibleMaterial(uint32_t materialId);

private:
    QString name;
    uint32_t id = 0;
    std::list<uint32_t> compatibleMaterials;
};

} // namespace Model::Process

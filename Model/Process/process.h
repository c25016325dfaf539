#pragma once

#include "Model/Materials/material.h"

#include <QString>

#include <cstdint>
#include <list>
#include <map>
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

    // How fast the process's etchant removes each material, in µm/min, by material id: the
    // selectivity an etch by rate and time uses for the materials beside the one it etches.
    // Empty for processes without a table (and for every process of older settings files).
    const std::map<uint32_t, double>& getEtchRates() const { return etchRates; }
    void setEtchRates(std::map<uint32_t, double> rates) { etchRates = std::move(rates); }

private:
    QString name;
    uint32_t id = 0;
    std::list<uint32_t> compatibleMaterials;
    std::map<uint32_t, double> etchRates;
};

} // namespace Model::Process

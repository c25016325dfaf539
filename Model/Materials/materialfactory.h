#pragma once

#include "Model/Materials/material.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

namespace Model::Materials {

// The process-wide material registry: material id -> Material. It is filled during static
// initialisation from "materials.xml" in the settings folder, or from the built-in table, which
// is then written there. Every call locks the registry for its whole duration and hands out
// copies, so callers on any thread never see a record change under them.
class MaterialFactory {
public:
    static std::shared_ptr<MaterialFactory> getInstance();

    // What start-up does: load the file or, when that fails, keep the unreadable file as
    // "<name>.bak", fill the registry from the built-in table and write it. Returns whether
    // the file loaded.
    bool loadOrCreateDefaults();

    // Reads "materials.xml" into the registry without clearing it first; records of the file
    // replace registered ones with the same id. False, with the registry unchanged, when the
    // file is missing, unreadable or malformed.
    bool loadMaterials();
    // Replaces every record by the built-in table.
    void createDefaultMaterials();
    // Writes the registry to "materials.xml"; an unwritable settings folder is tolerated.
    // Records the last load refused (an id no cell can hold) are written back as they were.
    void saveMaterials();
    // Why records of the file the last load read were refused, each naming its line; each is
    // also logged as a warning when the file is read.
    QStringList getLoadProblems();

    // The registered record, or the empty material (id 0, "Empty").
    Material getMaterial(uint32_t id);
    // All records in ascending id order.
    std::vector<Material> getMaterials();
    // Inserts or replaces by id; id 0 is refused. Nothing is written to disk.
    bool updateMaterial(const Material& material);
    // Takes a record back out, for a reader that registered materials of a file it then
    // refused. Nothing is written to disk.
    void removeMaterial(uint32_t id);
    // A random unregistered id from 2000 up, for a material that clashes with a registered one;
    // never one a cell cannot hold, and 0 when every such id is taken.
    unsigned generateMaterialId();

    static QString fileName() { return QStringLiteral("materials.xml"); }

    MaterialFactory(const MaterialFactory&) = delete;
    MaterialFactory& operator=(const MaterialFactory&) = delete;

private:
    MaterialFactory() = default;
};

} // namespace Model::Materials

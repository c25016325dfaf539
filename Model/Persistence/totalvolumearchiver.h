#pragma once

#include "Model/Persistence/objectarchiver.h"

#include <QString>

namespace Model::Persistence {

class StateCells;

// Writes a cell volume as an "Object" element (sizes, cell sizes, the material id of every
// cell in cell order as the "State" text, the "Position") and builds one back from it.
//
// Reading never trusts the file: the volume's size is checked against the memory budget
// before anything is allocated, the State text is parsed as it streams past (surplus ids are
// dropped, missing ones leave cells empty), and numbers that do not parse fall back to
// harmless values.
class TotalVolumeArchiver : public ObjectArchiver {
public:
    static constexpr int objectType = 1;

    void setWriter(QXmlStreamWriter* value) override { writer = value; }
    void setReader(QXmlStreamReader* value) override { reader = value; }
    void setMaterialIdMap(MaterialIdMap* map) override { materialIdMap = map; }
    bool save(std::shared_ptr<Model::Object> object) override;
    std::shared_ptr<Model::Object> load() override;
    QString errorString() const override { return error; }
    QStringList warnings() const override { return warningList; }

    // The "Object" attribute that holds a cell volume's crystal orientation. It is written
    // only for wafers other than (100), so every other volume is written exactly as before;
    // readers that predate it pass over it and read the volume as (100).
    static QString orientationAttribute() { return QStringLiteral("crystal-orientation"); }

private:
    // Reads the ids of the State element the reader stands on, up to its end element.
    void readState(StateCells& state);

    QXmlStreamWriter* writer = nullptr;
    QXmlStreamReader* reader = nullptr;
    MaterialIdMap* materialIdMap = nullptr;
    QString error;
    QStringList warningList;
};

} // namespace Model::Persistence

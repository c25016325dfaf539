#pragma once

#include "Model/layer.h"

#include <QString>

#include <memory>
#include <mutex>
#include <vector>

namespace Model {

// The objects the user works on, in layers, and the file they came from.
class Document {
public:
    Document();

    // A cell volume added takes the document's scale; whoever reads a file into a document
    // sets the file's scale first.
    void addObject(const ObjectPtr& object);
    void removeObject(const ObjectPtr& object);
    ObjectList getObjects() const;
    ObjectPtr findObject(int id) const;
    void clear();

    // Draws with the current GL render mode: normal drawing, or pick names in selection mode.
    void draw(bool renderObjects, bool renderEdges);
    void drawForPicking();

    // Micrometres per scene unit: what one unit of the cell sizes and positions is in the
    // fabricated part. Every cell volume of the document carries the same scale.
    static constexpr double defaultMicrometresPerSceneUnit = 1.0;
    // A scale the document can hold: finite and positive.
    static bool isUsableScale(double micrometresPerSceneUnit);
    double getMicrometresPerSceneUnit() const;
    // Gives every cell volume of the document the new scale as well. An unusable value is
    // ignored.
    void setMicrometresPerSceneUnit(double value);

    QString getFileName() const;
    void setFileName(const QString& name);

    // Whether the objects changed since the document was created, opened or saved.
    bool isModified() const;
    void setModified(bool value);

private:
    void resetLayers();

    mutable std::mutex objectsLock;
    mutable std::mutex fileNameLock;
    std::vector<std::shared_ptr<Layer>> layers;
    std::shared_ptr<Layer> currentLayer;
    QString fileName;
    bool modified = false;
    double micrometresPerSceneUnit = defaultMicrometresPerSceneUnit;
};

} // namespace Model

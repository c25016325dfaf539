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

    void addObject(const ObjectPtr& object);
    void removeObject(const ObjectPtr& object);
    ObjectList getObjects() const;
    ObjectPtr findObject(int id) const;
    void clear();

    // Draws with the current GL render mode: normal drawing, or pick names in selection mode.
    void draw(bool renderObjects, bool renderEdges);
    void drawForPicking();

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
};

} // namespace Model

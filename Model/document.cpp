#include "Model/document.h"

#include "Model/Automaton/totalvolume.h"

#include <cmath>

#include <qopengl.h>

namespace Model {

Document::Document() {
    resetLayers();
}

void Document::resetLayers() {
    layers.clear();
    currentLayer = std::make_shared<Layer>();
    layers.push_back(currentLayer);
}

namespace {

Automaton::TotalVolume* asVolume(const ObjectPtr& object) {
    return dynamic_cast<Automaton::TotalVolume*>(object.get());
}

} // namespace

bool Document::isUsableScale(double value) {
    return std::isfinite(value) && value > 0.0;
}

void Document::addObject(const ObjectPtr& object) {
    std::lock_guard<std::mutex> lock(objectsLock);
    if (auto* volume = asVolume(object))
        volume->setMicrometresPerSceneUnit(micrometresPerSceneUnit);
    currentLayer->append(object);
}

double Document::getMicrometresPerSceneUnit() const {
    std::lock_guard<std::mutex> lock(objectsLock);
    return micrometresPerSceneUnit;
}

void Document::setMicrometresPerSceneUnit(double value) {
    if (!isUsableScale(value))
        return;
    std::lock_guard<std::mutex> lock(objectsLock);
    micrometresPerSceneUnit = value;
    for (const auto& layer : layers)
        for (const auto& object : layer->getObjects())
            if (auto* volume = asVolume(object))
                volume->setMicrometresPerSceneUnit(value);
}

void Document::removeObject(const ObjectPtr& object) {
    std::lock_guard<std::mutex> lock(objectsLock);
    currentLayer->remove(object);
}

ObjectList Document::getObjects() const {
    std::lock_guard<std::mutex> lock(objectsLock);
    ObjectList all;
    for (const auto& layer : layers)
        all.insert(all.end(), layer->getObjects().begin(), layer->getObjects().end());
    return all;
}

ObjectPtr Document::findObject(int id) const {
    std::lock_guard<std::mutex> lock(objectsLock);
    for (const auto& layer : layers) {
        for (const auto& object : layer->getObjects()) {
            if (object->getId() == id)
                return object;
        }
    }
    return nullptr;
}

void Document::clear() {
    {
        std::lock_guard<std::mutex> lock(objectsLock);
        resetLayers();
        micrometresPerSceneUnit = defaultMicrometresPerSceneUnit;
    }
    setFileName(QString());
    setModified(false);
}

void Document::draw(bool renderObjects, bool renderEdges) {
    GLint mode = GL_RENDER;
    glGetIntegerv(GL_RENDER_MODE, &mode);
    if (mode == GL_RENDER) {
        const ObjectList objects = getObjects();
        for (const auto& object : objects)
            object->draw(renderObjects, renderEdges);
    } else if (mode == GL_SELECT) {
        drawForPicking();
    }
}

void Document::drawForPicking() {
    // Drawing takes the volumes' own locks, so work on a copy of the list rather than under
    // objectsLock.
    const ObjectList objects = getObjects();
    for (const auto& object : objects) {
        glPushName(static_cast<GLuint>(object->getId()));
        object->drawForPicking();
        glPopName();
    }
}

QString Document::getFileName() const {
    std::lock_guard<std::mutex> lock(fileNameLock);
    return fileName;
}

void Document::setFileName(const QString& name) {
    std::lock_guard<std::mutex> lock(fileNameLock);
    fileName = name;
}

bool Document::isModified() const {
    std::lock_guard<std::mutex> lock(fileNameLock);
    return modified;
}

void Document::setModified(bool value) {
    std::lock_guard<std::mutex> lock(fileNameLock);
    modified = value;
}

} // namespace Model

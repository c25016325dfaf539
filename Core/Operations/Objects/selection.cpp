#include "Core/Operations/Objects/selection.h"

#include <GL/glu.h>
#include <qopengl.h>

#include <algorithm>
#include <vector>

namespace Core::Operations {

namespace {
constexpr int selectionBufferSize = 2048;
constexpr double pickRegionPixels = 4.0;
} // namespace

Selection::Selection(std::shared_ptr<Model::Document> document, ViewInteraction& viewInteraction)
    : document(std::move(document)), viewInteraction(viewInteraction) {}

bool Selection::pick(int x, int y) {
    if (!selectionMode)
        return false;

    std::vector<GLuint> buffer(selectionBufferSize, 0);
    GLint viewport[4] = {0, 0, 0, 0};
    GLdouble projection[16];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);

    glSelectBuffer(selectionBufferSize, buffer.data());
    glRenderMode(GL_SELECT);
    glInitNames();

    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluPickMatrix(x, viewport[3] - y, pickRegionPixels, pickRegionPixels, viewport);
    glMultMatrixd(projection);
    glMatrixMode(GL_MODELVIEW);

    document->drawForPicking();

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    const GLint hits = glRenderMode(GL_RENDER);

    bool picked = false;
    if (hits > 0) {
        // First hit record: name count, min depth, max depth, names.
        const GLuint nameCount = std::min<GLuint>(buffer[0], selectionBufferSize - 3);
        for (GLuint i = 0; i < nameCount; ++i) {
            if (const Model::ObjectPtr object = document->findObject(int(buffer[3 + i])))
                toggle(object);
        }
        picked = true;
    }
    viewInteraction.setPickedObjects(selected);
    return picked;
}

void Selection::toggle(const Model::ObjectPtr& object) {
    if (object->isSelected()) {
        object->setSelected(false);
        selected.erase(std::remove(selected.begin(), selected.end(), object), selected.end());
    } else {
        object->setSelected(true);
        selected.push_back(object);
    }
}

void Selection::clearSelection() {
    for (const auto& object : selected)
        object->setSelected(false);
    selected.clear();
}

void Selection::setSelectionMode(bool mode) {
    if (mode == selectionMode)
        return;
    selectionMode = mode;
    if (!mode)
        clearSelection();
    Util::notifyAll(selectionModeObservers);
}

} // namespace Core::Operations

#include "Model/Automaton/quaddrawing.h"

#include <qopengl.h>

namespace Model::Automaton::QuadDrawing {

void drawFilled(const std::vector<Geometry::QuadFace>& faces) {
    glBegin(GL_QUADS);
    for (const Geometry::QuadFace& face : faces) {
        glNormal3fv(face.normal);
        glColor4fv(face.fillColor.data());
        for (const auto& vertex : face.vertices)
            glVertex3fv(vertex);
    }
    glEnd();
}

void drawEdges(const std::vector<Geometry::QuadFace>& faces) {
    glBegin(GL_QUADS);
    for (const Geometry::QuadFace& face : faces) {
        glNormal3fv(face.normal);
        glColor4fv(face.edgeColor.data());
        for (const auto& vertex : face.vertices)
            glVertex3fv(vertex);
    }
    glEnd();
}

void beginOutlines() {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glDisable(GL_LIGHTING);
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(-2.5f, -2.5f);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glLineWidth(2.f);
}

void endOutlines() {
    glPopAttrib();
}

} // namespace Model::Automaton::QuadDrawing

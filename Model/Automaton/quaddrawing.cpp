#include "Model/Automaton/quaddrawing.h"

#include <qopengl.h>

namespace Model::Automaton::QuadDrawing {

namespace {

void drawQuads(const std::vector<Geometry::QuadFace>& faces, int skippedMaterial,
               std::array<float, 4> Geometry::QuadFace::*color) {
    glBegin(GL_QUADS);
    for (const Geometry::QuadFace& face : faces) {
        if (face.material == skippedMaterial)
            continue;
        glNormal3fv(face.normal);
        glColor4fv((face.*color).data());
        for (const auto& vertex : face.vertices)
            glVertex3fv(vertex);
    }
    glEnd();
}

} // namespace

void drawFilled(const std::vector<Geometry::QuadFace>& faces, int skippedMaterial) {
    drawQuads(faces, skippedMaterial, &Geometry::QuadFace::fillColor);
}

void drawEdges(const std::vector<Geometry::QuadFace>& faces, int skippedMaterial) {
    drawQuads(faces, skippedMaterial, &Geometry::QuadFace::edgeColor);
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

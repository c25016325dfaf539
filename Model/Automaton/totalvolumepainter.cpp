#include "Model/Automaton/totalvolumepainter.h"

#include "Model/Automaton/totalvolume.h"

#include <qopengl.h>

namespace Model::Automaton {

TotalVolumePainter::TotalVolumePainter(TotalVolume& volume) : volume(volume) {}

void TotalVolumePainter::rebuild() {}

void TotalVolumePainter::draw(bool renderObjects, bool) {
    if (!renderObjects || hidden)
        return;
}

void TotalVolumePainter::drawForPicking() {
    const Util::Vector3D p = volume.getPosition();
    const double x1 = volume.getSizeX() * double(volume.getCellSizeX());
    const double y1 = volume.getSizeY() * double(volume.getCellSizeY());
    const double z1 = volume.getSizeZ() * double(volume.getCellSizeZ());
    glPushMatrix();
    glTranslated(p.x, p.y, p.z);
    glBegin(GL_QUADS);
    // bottom, top, front, back, left, right
    glVertex3d(0, 0, 0); glVertex3d(0, y1, 0); glVertex3d(x1, y1, 0); glVertex3d(x1, 0, 0);
    glVertex3d(0, 0, z1); glVertex3d(x1, 0, z1); glVertex3d(x1, y1, z1); glVertex3d(0, y1, z1);
    glVertex3d(0, 0, 0); glVertex3d(x1, 0, 0); glVertex3d(x1, 0, z1); glVertex3d(0, 0, z1);
    glVertex3d(0, y1, 0); glVertex3d(0, y1, z1); glVertex3d(x1, y1, z1); glVertex3d(x1, y1, 0);
    glVertex3d(0, 0, 0); glVertex3d(0, 0, z1); glVertex3d(0, y1, z1); glVertex3d(0, y1, 0);
    glVertex3d(x1, 0, 0); glVertex3d(x1, y1, 0); glVertex3d(x1, y1, z1); glVertex3d(x1, 0, z1);
    glEnd();
    glPopMatrix();
}

} // namespace Model::Automaton

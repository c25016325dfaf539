#include "Model/Automaton/scenestyle.h"

#include <qopengl.h>

#include <cmath>

namespace Model::Automaton::SceneStyle {

std::array<float, 4> lampPosition(double radius, double azimuth, double elevation) {
    return {float(radius * std::cos(azimuth) * std::cos(elevation)),
            float(radius * std::sin(azimuth) * std::cos(elevation)),
            float(radius * std::sin(elevation)), 1.0f};
}

void applyFixedState() {
    glShadeModel(GL_SMOOTH);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_DEPTH_TEST);
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);

    const GLfloat grey[] = {0.5f, 0.5f, 0.5f, 1.0f};
    const GLfloat white[] = {1.0f, 1.0f, 1.0f, 1.0f};
    glLightfv(GL_LIGHT0, GL_AMBIENT, grey);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, grey);
    glLightfv(GL_LIGHT0, GL_SPECULAR, white);
    for (GLenum light = GL_LIGHT1; light <= GL_LIGHT7; ++light)
        glLightfv(light, GL_DIFFUSE, grey);

    const GLfloat specular[] = {0.5f, 0.5f, 0.5f, 1.0f};
    glMaterialfv(GL_FRONT, GL_SPECULAR, specular);
    glMaterialf(GL_FRONT, GL_SHININESS, 64.0f);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
}

} // namespace Model::Automaton::SceneStyle

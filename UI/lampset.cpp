#include "UI/lampset.h"

#include "Model/Automaton/scenestyle.h"

#include <QtMath>
#include <qopengl.h>

#include <cmath>

namespace Ui {

LampSet::LampSet() {
    radius[0] = Model::Automaton::SceneStyle::lampRadius;
    azimuth[0] = Model::Automaton::SceneStyle::lampAzimuth;
    elevation[0] = Model::Automaton::SceneStyle::lampElevation;
    visible.set(0);
    for (int lamp = 1; lamp <= maxLamps; ++lamp)
        position[lamp - 1] = {0.0f, 0.0f, 0.0f, 1.0f};
    updatePosition(1);
}

void LampSet::switchActive() {
    activeLamp = activeLamp + 1 > count ? 0 : activeLamp + 1;
}

bool LampSet::addLamp() {
    if (count >= maxLamps)
        return false;
    ++count;
    const int i = count - 1;
    radius[i] = 0.0f;
    azimuth[i] = 0.0f;
    elevation[i] = 0.0f;
    visible.set(i);
    updatePosition(count);
    return true;
}

bool LampSet::removeLamp(int lamp) {
    if (!isValid(lamp) || count <= 1)
        return false;
    for (int i = lamp - 1; i + 1 < count; ++i) {
        radius[i] = radius[i + 1];
        azimuth[i] = azimuth[i + 1];
        elevation[i] = elevation[i + 1];
        visible[i] = visible[i + 1];
        position[i] = position[i + 1];
    }
    --count;
    visible.reset(count);
    if (activeLamp > count)
        activeLamp = 0;
    return true;
}

void LampSet::setAngles(int lamp, float newAzimuth, float newElevation) {
    if (!isValid(lamp))
        return;
    azimuth[lamp - 1] = newAzimuth;
    elevation[lamp - 1] = newElevation;
    updatePosition(lamp);
}

void LampSet::setRadius(int lamp, float newRadius) {
    if (!isValid(lamp))
        return;
    radius[lamp - 1] = newRadius;
    updatePosition(lamp);
}

void LampSet::scaleRadius(int lamp, float factor, bool growing) {
    if (!isValid(lamp))
        return;
    float& r = radius[lamp - 1];
    if (r >= 1.0f)
        r *= factor;
    else if (r >= 0.0f)
        r = growing ? 2.0f : 0.0f;
    updatePosition(lamp);
}

void LampSet::updatePosition(int lamp) {
    if (lamp < 1 || lamp > maxLamps)
        return;
    const int i = lamp - 1;
    position[i] = Model::Automaton::SceneStyle::lampPosition(radius[i], azimuth[i], elevation[i]);
}

void LampSet::applyToGL() const {
    for (int i = 0; i < maxLamps; ++i) {
        const GLenum light = GL_LIGHT0 + GLenum(i);
        if (i < count) {
            glLightfv(light, GL_POSITION, position[i].data());
            if (visible[i])
                glEnable(light);
            else
                glDisable(light);
        } else {
            glDisable(light);
        }
    }
}

} // namespace Ui

#pragma once

#include <array>
#include <bitset>

namespace Ui {

// Up to eight lamps placed in eye coordinates by radius, azimuth and elevation. Lamps are
// numbered from 1 in the user interface; lamp i is GL light i - 1. Index arguments below are
// 1-based and out-of-range indices are ignored.
struct LampSet {
    static constexpr int maxLamps = 8;

    LampSet();

    int count = 1;
    // 0 means no lamp is active.
    int activeLamp = 0;
    std::bitset<maxLamps> visible;
    std::array<float, maxLamps> radius{};
    std::array<float, maxLamps> elevation{};
    std::array<float, maxLamps> azimuth{};
    std::array<std::array<float, 4>, maxLamps> position{};

    bool isValid(int lamp) const { return lamp >= 1 && lamp <= count; }
    // Advances the active lamp, wrapping to none after the last.
    void switchActive();
    // Appends a visible lamp at the origin; false when eight exist already.
    bool addLamp();
    // Removes a lamp while at least one other remains; later lamps move down by one.
    bool removeLamp(int lamp);
    void setAngles(int lamp, float newAzimuth, float newElevation);
    void setRadius(int lamp, float newRadius);
    // Wheel step on the radius: multiplies from 1 upwards, and jumps between 0 and 2 below.
    void scaleRadius(int lamp, float factor, bool growing);
    void updatePosition(int lamp);

    // Loads every light's position and switches it on or off; call with the modelview matrix
    // at identity so the lamps stay fixed to the viewer.
    void applyToGL() const;
};

} // namespace Ui

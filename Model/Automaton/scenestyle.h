#pragma once

#include <array>

// How every picture of the scene is lit, shaded and first looked at: the 3D view and the
// pictures drawn without a window share these, so a picture looks like the view.
namespace Model::Automaton::SceneStyle {

// The view's rotation about x, y and z when it opens, in degrees.
constexpr std::array<float, 3> startAngles{-60.0f, 0.0f, 30.0f};

// Where the first lamp stands: distance from the eye, and azimuth and elevation in radians.
constexpr float lampRadius = 300.0f;
constexpr float lampAzimuth = 1.0471975511965976f;   // 60 degrees
constexpr float lampElevation = 0.7853981633974483f; // 45 degrees

// A lamp's position in eye coordinates (w = 1: a point light).
std::array<float, 4> lampPosition(double radius, double azimuth, double elevation);

// Shading, blending, depth test, back-face culling, the lights' colours and the surface
// material. Needs a current GL context; the lamps' positions are set apart.
void applyFixedState();

} // namespace Model::Automaton::SceneStyle

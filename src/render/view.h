// The fixed view and scene: the window's client area, the perspective, where
// the model stands in it, the files the scene is made of, and what the viewer
// says when it cannot make the scene. The renderer draws with these; the
// window is built with them; polyview-tool's check, convert --fit and
// snapshot reason with them.
#pragma once

#include <cstdint>

// The window's client area in pixels, and so the first view's size.
constexpr int32_t ViewWidth = 640;
constexpr int32_t ViewHeight = 480;
constexpr double ViewAspect = double(ViewWidth) / ViewHeight;

// The vertical field of view in degrees, and half of it in radians.
constexpr double ViewFieldOfView = 45.0;
constexpr double ViewHalfAngle = ViewFieldOfView / 2 * 3.14159265358979323846 / 180.0;

// The clip planes' distances from the eye. The near plane is the
// single-precision 0.1 widened to double (0.10000000149011612), not the
// double 0.1.
constexpr float ViewNearPlane = 0.1f;
constexpr double ViewNear = double(ViewNearPlane);
constexpr double ViewFar = 100.0;

// The model's origin lies this far in front of the eye.
constexpr float ViewDistance = 5.0f;

// The scene's picture and model, by these names from the current directory.
constexpr char ScenePictureName[] = "Wall.bmp";
constexpr char SceneModelName[] = "poligon.m";

// What the viewer says, and ends on, when the scene cannot be made (its
// texture cannot).
constexpr char SceneFailedText[] = "Initialization Failed.";

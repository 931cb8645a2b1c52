// How convert places a mesh in the viewer's fixed view: which of its sides
// faces the viewer, centred and scaled to fill the view, and texture
// coordinates projected from its bounding box.
#pragma once

#include <string>
#include <vector>

#include "model/model.h"
#include "signed_axis.h"

// The source axes that become the view's +X (right), +Y (up) and +Z (toward
// the viewer).
struct Orientation {
    SignedAxis right, up, front;
};

// Stands the mesh upright: `up` becomes +Y and `front` faces the viewer.
// A front of 0 (or one along the up axis) means the usual one for that up
// axis: +Z for x and y up, -Y for z up.
Orientation UprightOrientation(SignedAxis up, SignedAxis front);

// Upright as above, then turned about the up axis so that the viewer sees
// the broadest axis-aligned side of the mesh's bounding box; when that is
// the top, tipped forward so that the viewer looks down on it with the back
// at the top. Among sides equally broad: the front, the side, the top.
Orientation BroadestSideOrientation(const std::vector<ModelTriangle>& triangles, SignedAxis up,
                                    SignedAxis front);

// "its front (-Y side), +Z up": which side of the source the viewer sees.
std::string DescribeOrientation(const Orientation& turn, SignedAxis up, SignedAxis front);

// Turns the positions; every coordinate keeps its exact value.
void TurnMesh(std::vector<ModelTriangle>* triangles, const Orientation& turn);

// Centres the mesh on the origin and scales it so that its bounding sphere
// fills `share` of the view's height at the viewer's distance. Values that
// are not finite are left out of the measure.
void FitIntoView(std::vector<ModelTriangle>* triangles, double share);

// Texture coordinates by box projection: each triangle takes the two axes
// across its dominant normal, scaled to the bounding box, so that every
// side shows the picture upright and unmirrored when seen from outside.
void ProjectBoxCoordinates(std::vector<ModelTriangle>* triangles);

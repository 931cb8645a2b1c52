// convert's placement of a mesh in the fixed view: turning, fitting and box
// texture coordinates.
#include "model_placement.h"

#include <cmath>
#include <cstdlib>

#include "render/view.h"

namespace {

int Index(SignedAxis axis) {
    return std::abs(axis) - 1;
}

// The signed axis of the cross product of two perpendicular signed axes.
SignedAxis Cross(SignedAxis a, SignedAxis b) {
    int i = Index(a), j = Index(b);
    int k = 3 - i - j;
    bool isCyclic = (j - i + 3) % 3 == 1;  // x y z, y z x, z x y
    int sign = (isCyclic ? 1 : -1) * (a < 0 ? -1 : 1) * (b < 0 ? -1 : 1);
    return sign * (k + 1);
}

std::string AxisName(SignedAxis axis) {
    return std::string(axis < 0 ? "-" : "+") + char('X' + Index(axis));
}

struct Box {
    double low[3] = {INFINITY, INFINITY, INFINITY};
    double high[3] = {-INFINITY, -INFINITY, -INFINITY};
    double Extent(int a) const { return low[a] <= high[a] ? high[a] - low[a] : 0.0; }
};

Box BoundingBox(const std::vector<ModelTriangle>& triangles) {
    Box box;
    for (const ModelTriangle& triangle : triangles)
        for (const ModelVertex& vertex : triangle.vertices) {
            const double p[3] = {vertex.x, vertex.y, vertex.z};
            for (int a = 0; a < 3; ++a) {
                if (!std::isfinite(p[a])) continue;
                box.low[a] = std::fmin(box.low[a], p[a]);
                box.high[a] = std::fmax(box.high[a], p[a]);
            }
        }
    return box;
}

}  // namespace

Orientation UprightOrientation(SignedAxis up, SignedAxis front) {
    if (up == 0) up = 2;
    if (front == 0 || Index(front) == Index(up)) front = Index(up) == 2 ? -2 : 3;
    return {Cross(up, front), up, front};
}

Orientation BroadestSideOrientation(const std::vector<ModelTriangle>& triangles, SignedAxis up,
                                    SignedAxis front) {
    Orientation upright = UprightOrientation(up, front);
    Box box = BoundingBox(triangles);
    double extent[3] = {box.Extent(0), box.Extent(1), box.Extent(2)};
    // The area of the sides across each source axis.
    auto area = [&](SignedAxis axis) {
        int a = Index(axis);
        return extent[(a + 1) % 3] * extent[(a + 2) % 3];
    };
    SignedAxis best = upright.front;
    for (SignedAxis candidate : {upright.right, upright.up})
        if (area(candidate) > area(best) * (1 + 1e-6)) best = candidate;
    if (best == upright.right) return {Cross(upright.up, upright.right), upright.up, upright.right};
    if (best == upright.up) return {upright.right, -upright.front, upright.up};
    return upright;
}

std::string DescribeOrientation(const Orientation& turn, SignedAxis up, SignedAxis front) {
    Orientation upright = UprightOrientation(up, front);
    const char* side = turn.front == upright.up       ? "top"
                       : turn.front == -upright.up    ? "bottom"
                       : turn.front == upright.front  ? "front"
                       : turn.front == -upright.front ? "back"
                                                      : "side";
    return std::string("its ") + side + " (" + AxisName(turn.front) + " side), " + AxisName(turn.up) + " up";
}

void TurnMesh(std::vector<ModelTriangle>* triangles, const Orientation& turn) {
    if (turn.right == 1 && turn.up == 2 && turn.front == 3) return;
    auto take = [](const float* p, SignedAxis axis) { return axis < 0 ? -p[Index(axis)] : p[Index(axis)]; };
    for (ModelTriangle& triangle : *triangles)
        for (ModelVertex& vertex : triangle.vertices) {
            const float p[3] = {vertex.x, vertex.y, vertex.z};
            vertex.x = take(p, turn.right);
            vertex.y = take(p, turn.up);
            vertex.z = take(p, turn.front);
        }
}

void FitIntoView(std::vector<ModelTriangle>* triangles, double share) {
    Box box = BoundingBox(*triangles);
    double centre[3];
    for (int a = 0; a < 3; ++a) centre[a] = box.low[a] <= box.high[a] ? (box.low[a] + box.high[a]) / 2 : 0.0;
    double radius = 0;
    for (const ModelTriangle& triangle : *triangles)
        for (const ModelVertex& vertex : triangle.vertices) {
            double dx = vertex.x - centre[0], dy = vertex.y - centre[1], dz = vertex.z - centre[2];
            double d = std::sqrt(dx * dx + dy * dy + dz * dz);
            if (std::isfinite(d) && d > radius) radius = d;
        }
    double scale = radius > 0 ? ViewDistance * std::sin(ViewHalfAngle) * share / radius : 1.0;
    for (ModelTriangle& triangle : *triangles)
        for (ModelVertex& vertex : triangle.vertices) {
            vertex.x = float((vertex.x - centre[0]) * scale);
            vertex.y = float((vertex.y - centre[1]) * scale);
            vertex.z = float((vertex.z - centre[2]) * scale);
        }
}

void ProjectBoxCoordinates(std::vector<ModelTriangle>* triangles) {
    Box box = BoundingBox(*triangles);
    // 0 to 1 across the box, or the other way; 0 where the box has no extent.
    auto across = [&](double value, int a, bool isReversed) {
        double extent = box.Extent(a);
        if (!(extent > 0)) return 0.0f;
        return float(isReversed ? (box.high[a] - value) / extent : (value - box.low[a]) / extent);
    };
    for (ModelTriangle& triangle : *triangles) {
        const ModelVertex* v = triangle.vertices;
        double e1[3] = {double(v[1].x) - v[0].x, double(v[1].y) - v[0].y, double(v[1].z) - v[0].z};
        double e2[3] = {double(v[2].x) - v[0].x, double(v[2].y) - v[0].y, double(v[2].z) - v[0].z};
        double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                       e1[0] * e2[1] - e1[1] * e2[0]};
        // The dominant axis; ties go to z, then y.
        int a = 2;
        if (std::fabs(n[1]) > std::fabs(n[a])) a = 1;
        if (std::fabs(n[0]) > std::fabs(n[a])) a = 0;
        bool isPositive = !(n[a] < 0);
        for (ModelVertex& vertex : triangle.vertices) {
            if (a == 2) {  // front and back: x across, y up
                vertex.u = across(vertex.x, 0, !isPositive);
                vertex.v = across(vertex.y, 1, false);
            } else if (a == 0) {  // the sides: z across, y up
                vertex.u = across(vertex.z, 2, isPositive);
                vertex.v = across(vertex.y, 1, false);
            } else {  // top and bottom: x across, z toward the back up
                vertex.u = across(vertex.x, 0, false);
                vertex.v = across(vertex.z, 2, isPositive);
            }
        }
    }
}

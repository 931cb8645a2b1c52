// What the viewer's fixed view makes of a model's triangles: which have no
// area on screen, which lie wholly outside the view, which vertices lie beyond
// its near and far planes, and whether the model covers any pixel of the
// 640 x 480 view at all. Used by check and convert.
#pragma once

#include <cstdint>
#include <string>

// Clip planes a point (x, y, z in model coordinates) lies outside of, as
// bits: near, far, left, right, bottom, top. NaN lies outside none.
unsigned ViewClipCodes(const float* p);
constexpr unsigned NearPlaneCode = 1;
constexpr unsigned FarPlaneCode = 2;

struct ViewCoverage {
    int64_t triangles = 0;
    int64_t withoutArea = 0;   // degenerate, or in a plane through the eye
    int64_t outside = 0;       // every vertex beyond the same clip plane
    bool coversPixel = false;  // some triangle covers a pixel centre
    int64_t nearVertices = 0;  // vertices nearer than the near plane
    int64_t farVertices = 0;   // vertices beyond the far plane

    // `count` vertices at the point p, tallied against the near and far
    // planes; returns the point's clip codes.
    unsigned AddVertices(const float* p, int64_t count) {
        const unsigned codes = ViewClipCodes(p);
        if (codes & NearPlaneCode) nearVertices += count;
        if (codes & FarPlaneCode) farVertices += count;
        return codes;
    }
    // The warning for the vertices beyond NearPlaneCode or FarPlaneCode.
    std::string ClipPlaneWarning(unsigned planeCode) const;

    // One triangle, p[vertex][axis] in model coordinates. False when it has
    // no area on screen.
    bool AddTriangle(const float p[3][3]);
    // `count` triangles whose three vertices are all the point p.
    void AddPointTriangles(const float* p, int64_t count);

    // The warning for a model that shows nothing (a black window), or "".
    std::string NothingShownWarning() const;
};

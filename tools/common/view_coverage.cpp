// What the fixed view makes of triangles: clip codes, area on screen, and
// whether any pixel centre of the view is covered.
#include "view_coverage.h"

#include <cmath>
#include <cstdio>

#include "render/view.h"

namespace {

// gluPerspective's scale of x and y: the cotangent of half the field of view.
const double cotangent = 1.0 / std::tan(ViewHalfAngle);
const double scaleX = cotangent / ViewAspect;
const double scaleY = cotangent;

// A triangle's angles (between its edges, and between its plane and the line
// of sight) count as zero below this sine: a few units in the last place of
// the 32-bit floats that hold its corners.
const double flatSine = 1.0 / (1 << 22);

// A pixel centre counts as covered when it lies this far inside every edge,
// in pixels: a rasterizer's snapping of the vertices cannot lose it.
const double coverMargin = 1.0 / 64;

// A point in clip space as the view makes it: X and Y scaled by the
// perspective, W the distance in front of the eye.
struct ClipPoint {
    double x, y, w;
};

ClipPoint ToClip(const float* p) {
    return {double(p[0]) * scaleX, double(p[1]) * scaleY, ViewDistance - double(p[2])};
}

// Signed distance of a clip-space point inside clip plane `plane`.
double Inside(const ClipPoint& q, int plane) {
    switch (plane) {
        case 0:
            return q.w - ViewNear;
        case 1:
            return ViewFar - q.w;
        case 2:
            return q.w + q.x;
        case 3:
            return q.w - q.x;
        case 4:
            return q.w + q.y;
        default:
            return q.w - q.y;
    }
}

// Whether the convex polygon (window coordinates, pixels) holds a pixel
// centre of the view with the margin.
bool CoversPixelCentre(const double (*polygon)[2], int n) {
    double area = 0, perimeter = 0;
    double low[2] = {INFINITY, INFINITY}, high[2] = {-INFINITY, -INFINITY};
    for (int i = 0; i < n; ++i) {
        const double* a = polygon[i];
        const double* b = polygon[(i + 1) % n];
        area += a[0] * b[1] - b[0] * a[1];
        perimeter += std::hypot(b[0] - a[0], b[1] - a[1]);
        for (int k = 0; k < 2; ++k) {
            low[k] = std::fmin(low[k], a[k]);
            high[k] = std::fmax(high[k], a[k]);
        }
    }
    area /= 2;
    if (!(std::fabs(area) > 0)) return false;
    // A convex polygon holds a disc of radius area / perimeter, and every
    // disc of radius above half a pixel diagonal holds a pixel centre.
    if (std::fabs(area) / perimeter > std::sqrt(0.5) + coverMargin) return true;

    // Thin or small: look for a centre line by line, across the polygon's
    // shorter extent (columns are rows with x and y swapped).
    const int across = high[0] - low[0] < high[1] - low[1] ? 0 : 1, along = 1 - across;
    const double lines = across == 1 ? ViewHeight : ViewWidth, places = across == 1 ? ViewWidth : ViewHeight;
    // Swapping the axes mirrors the polygon, and with it the side of its inside.
    const double side = (area > 0) == (across == 1) ? 1.0 : -1.0;
    double firstLine = std::fmax(0.0, std::ceil(low[across] + coverMargin - 0.5));
    double lastLine = std::fmin(lines - 1, std::floor(high[across] - coverMargin - 0.5));
    for (double line = firstLine; line <= lastLine; ++line) {
        const double y = line + 0.5;
        double left = -INFINITY, right = INFINITY;
        for (int i = 0; i < n && left <= right; ++i) {
            const double* a = polygon[i];
            const double* b = polygon[(i + 1) % n];
            double dx = b[along] - a[along], dy = b[across] - a[across];
            // Inside this edge: side * (dx (y - ay) - dy (x - ax)) >= margin * length.
            double need = coverMargin * std::hypot(dx, dy) - side * dx * (y - a[across]);
            double slope = -side * dy;
            if (slope > 0)
                left = std::fmax(left, a[along] + need / slope);
            else if (slope < 0)
                right = std::fmin(right, a[along] + need / slope);
            else if (need > 0)
                right = -INFINITY;
        }
        double first = std::fmax(0.0, std::ceil(left - 0.5));
        double last = std::fmin(places - 1, std::floor(right - 0.5));
        if (first <= last) return true;
    }
    return false;
}

// Whether the triangle, clipped to the view, covers a pixel centre.
bool CoversPixel(const float p[3][3], unsigned allCodes) {
    // Clipping by each plane adds at most one vertex.
    ClipPoint polygon[9], next[9];
    int n = 3;
    for (int i = 0; i < 3; ++i) polygon[i] = ToClip(p[i]);
    for (int plane = 0; plane < 6 && n > 0; ++plane) {
        if (!(allCodes & (1u << plane))) continue;
        int m = 0;
        for (int i = 0; i < n; ++i) {
            const ClipPoint& a = polygon[i];
            const ClipPoint& b = polygon[(i + 1) % n];
            double da = Inside(a, plane), db = Inside(b, plane);
            if (da >= 0) next[m++] = a;
            if ((da >= 0) != (db >= 0)) {
                double t = da / (da - db);
                next[m++] = {a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), a.w + t * (b.w - a.w)};
            }
        }
        n = m;
        for (int i = 0; i < n; ++i) polygon[i] = next[i];
    }
    if (n < 3) return false;
    double window[9][2];
    for (int i = 0; i < n; ++i) {
        window[i][0] = (polygon[i].x / polygon[i].w + 1) * (ViewWidth / 2.0);
        window[i][1] = (polygon[i].y / polygon[i].w + 1) * (ViewHeight / 2.0);
    }
    return CoversPixelCentre(window, n);
}

}  // namespace

unsigned ViewClipCodes(const float* p) {
    ClipPoint q = ToClip(p);
    unsigned codes = 0;
    for (int plane = 0; plane < 6; ++plane)
        if (Inside(q, plane) < 0) codes |= 1u << plane;
    return codes;
}

bool ViewCoverage::AddTriangle(const float p[3][3]) {
    ++triangles;
    unsigned codes[3] = {ViewClipCodes(p[0]), ViewClipCodes(p[1]), ViewClipCodes(p[2])};
    if (codes[0] & codes[1] & codes[2]) ++outside;

    // In eye space, where the eye is the origin.
    double q[3][3];
    bool isFinite = true;
    for (int i = 0; i < 3; ++i) {
        q[i][0] = p[i][0];
        q[i][1] = p[i][1];
        q[i][2] = double(p[i][2]) - ViewDistance;
        for (int a = 0; a < 3; ++a) isFinite = isFinite && std::isfinite(q[i][a]);
    }
    if (!isFinite) return true;  // reported as such; the view cannot be judged
    double e1[3], e2[3], centre[3];
    for (int a = 0; a < 3; ++a) {
        e1[a] = q[1][a] - q[0][a];
        e2[a] = q[2][a] - q[0][a];
        centre[a] = (q[0][a] + q[1][a] + q[2][a]) / 3;
    }
    double normal[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                        e1[0] * e2[1] - e1[1] * e2[0]};
    auto dot = [](const double* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; };
    double normal2 = dot(normal, normal);
    double facing = dot(centre, normal);
    // Degenerate (the edges' sine), or the eye in the triangle's plane.
    bool isFlat = normal2 <= flatSine * flatSine * dot(e1, e1) * dot(e2, e2) ||
                  facing * facing <= flatSine * flatSine * dot(centre, centre) * normal2;
    if (isFlat) {
        ++withoutArea;
        return false;
    }
    if (!coversPixel && !(codes[0] & codes[1] & codes[2]))
        coversPixel = CoversPixel(p, codes[0] | codes[1] | codes[2]);
    return true;
}

std::string ViewCoverage::ClipPlaneWarning(unsigned planeCode) const {
    const bool isNear = planeCode == NearPlaneCode;
    const int64_t count = isNear ? nearVertices : farVertices;
    char limit[32];
    std::snprintf(limit, sizeof limit, "%.9g", isNear ? ViewDistance - ViewNear : ViewDistance - ViewFar);
    return std::to_string(count) + (count == 1 ? " vertex lies" : " vertices lie") +
           (isNear ? " nearer than the near plane (z above " : " beyond the far plane (z below ") + limit +
           "), first here: the triangles there are cut";
}

void ViewCoverage::AddPointTriangles(const float* p, int64_t count) {
    triangles += count;
    withoutArea += count;
    if (ViewClipCodes(p)) outside += count;
}

std::string ViewCoverage::NothingShownWarning() const {
    if (triangles == 0 || coversPixel) return "";
    if (outside == triangles)
        return "the whole model lies outside the view: the viewer shows a black window "
               "(polyview-tool convert --fit centres and scales a model into view)";
    std::string view = std::to_string(ViewWidth) + "x" + std::to_string(ViewHeight);
    if (withoutArea == triangles)
        return "the model covers no pixel of the " + view +
               " view, as every triangle is degenerate or seen edge-on: the viewer shows a black window "
               "(polyview-tool convert --fit turns a model to show its broadest side)";
    return "the model covers no pixel of the " + view +
           " view: the viewer shows a black window (polyview-tool convert --fit centres and scales a "
           "model into view)";
}

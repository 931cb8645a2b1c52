// The view's state and how the controls change it; no OpenGL here.
#include "render/view_state.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "model/model.h"
#include "render/view.h"

ViewPose CurrentView = StartView;
ViewPose HomeView = StartView;
ViewPivotRecord ViewPivot = {{0.0, 0.0, 0.0}, 0.0};
double ViewportAspect = ViewAspect;

namespace {

double Clamp(double value, double low, double high) {
    return value < low ? low : value > high ? high : value;
}

// Exact for every finite value, so that a turn given as an option and the
// same turn made by dragging end on the same number.
double NormalizeAzimuth(double azimuth) {
    return std::remainder(azimuth, 360.0);
}

// A finite number that makes up the text from `text` to `*end`.
bool ParseFinite(const char* text, double* value, char** end) {
    *value = std::strtod(text, end);
    return *end != text && std::isfinite(*value);
}

}  // namespace

bool IsStartPose(const ViewPose& view) {
    return view.azimuth == 0.0 && view.elevation == 0.0 && view.zoom == 1.0;
}

void SetViewPivotFromModel() {
    double low[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, high[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    const ModelTriangle* triangles = ModelStore.triangles;
    const int32_t count = triangles ? ModelStore.triangleCount : 0;
    bool isAny = false;
    for (int pass = 0; pass < 2; ++pass) {
        double farthest = 0.0;
        for (int32_t t = 0; t < count; ++t) {
            for (const ModelVertex& v : triangles[t].vertices) {
                const double p[3] = {v.x, v.y, v.z};
                if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2])) continue;
                if (pass == 0) {
                    isAny = true;
                    for (int i = 0; i < 3; ++i) {
                        low[i] = p[i] < low[i] ? p[i] : low[i];
                        high[i] = p[i] > high[i] ? p[i] : high[i];
                    }
                } else {
                    const double* c = ViewPivot.center;
                    double d = std::sqrt((p[0] - c[0]) * (p[0] - c[0]) + (p[1] - c[1]) * (p[1] - c[1]) +
                                         (p[2] - c[2]) * (p[2] - c[2]));
                    farthest = d > farthest ? d : farthest;
                }
            }
        }
        if (pass == 0) {
            // Halves first: the sum of two large finite values could overflow.
            for (int i = 0; i < 3; ++i) ViewPivot.center[i] = isAny ? low[i] / 2 + high[i] / 2 : 0.0;
            if (!isAny) break;
        }
        ViewPivot.radius = farthest;
    }
    if (!isAny) ViewPivot.radius = 0.0;
}

void TurnView(ViewPose* view, double azimuthDegrees, double elevationDegrees) {
    view->azimuth = NormalizeAzimuth(view->azimuth + azimuthDegrees);
    view->elevation = Clamp(view->elevation + elevationDegrees, MinViewElevation, MaxViewElevation);
}

void ZoomView(ViewPose* view, double notches) {
    // A whole notch backwards divides by the factor itself, not by its
    // rounded power.
    const double factor = std::pow(ViewZoomPerNotch, std::fabs(notches));
    const double zoom = notches >= 0 ? view->zoom * factor : view->zoom / factor;
    view->zoom = Clamp(zoom, MinViewZoom, MaxViewZoom);
}

void ViewPivotPlace(const ViewPose& view, double place[3]) {
    const double* c = ViewPivot.center;
    place[0] = view.zoom * c[0];
    place[1] = view.zoom * c[1];
    place[2] = view.zoom * (c[2] - double(ViewDistance));
}

void FrameView(ViewPose* view) {
    const double* c = ViewPivot.center;
    const double start = std::sqrt(c[0] * c[0] + c[1] * c[1] + (c[2] - ViewDistance) * (c[2] - ViewDistance));
    const double vertical = ViewHalfAngle;
    const double horizontal = std::atan(std::tan(ViewHalfAngle) * ViewportAspect);
    const double half = vertical < horizontal ? vertical : horizontal;
    if (!(ViewPivot.radius > 0.0) || !(start > 0.0) || !std::isfinite(start)) return;
    const double zoom = ViewPivot.radius / std::sin(half) / start;
    view->zoom = Clamp(std::isfinite(zoom) ? zoom : MaxViewZoom, MinViewZoom, MaxViewZoom);
}

bool ParseViewTurn(const char* text, double* azimuth, double* elevation) {
    char* end = nullptr;
    double az = 0, el = 0;
    if (!text || !ParseFinite(text, &az, &end) || *end != ',') return false;
    const char* rest = end + 1;
    if (!ParseFinite(rest, &el, &end) || *end != '\0') return false;
    *azimuth = NormalizeAzimuth(az);
    *elevation = Clamp(el, MinViewElevation, MaxViewElevation);
    return true;
}

bool ParseViewZoom(const char* text, double* zoom) {
    char* end = nullptr;
    double k = 0;
    if (!text || !ParseFinite(text, &k, &end) || *end != '\0') return false;
    if (!(k >= MinViewZoom && k <= MaxViewZoom)) return false;
    *zoom = k;
    return true;
}

bool IsViewOption(const char* argument) {
    return std::strcmp(argument, "--turn") == 0 || std::strcmp(argument, "--zoom") == 0;
}

bool ApplyViewOption(const char* option, const char* value, ViewPose* pose, const char** why) {
    if (std::strcmp(option, "--turn") == 0) {
        if (ParseViewTurn(value, &pose->azimuth, &pose->elevation)) return true;
        *why = "--turn takes AZ,EL: two finite numbers of degrees";
    } else {
        if (ParseViewZoom(value, &pose->zoom)) return true;
        *why = "--zoom takes a number from 0.05 to 20";
    }
    return false;
}

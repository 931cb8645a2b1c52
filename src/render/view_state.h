// The view the viewer looks at the model from: a turntable turn about the
// model's pivot and a zoom towards it. The start view (not turned, not
// zoomed) is the fixed view of view.h, drawn with its own calls.
#pragma once

// Degrees of azimuth (about the model's y axis; positive turns +z towards
// +x), degrees of elevation (about the screen's x axis; positive brings the
// top towards the viewer), and the zoom k: the eye-to-pivot distance as a
// fraction of the start view's.
struct ViewPose {
    double azimuth;
    double elevation;
    double zoom;
};

// What the next frame draws.
extern ViewPose CurrentView;
// Where Home goes: the start options' view, else the start view.
extern ViewPose HomeView;

constexpr ViewPose StartView = {0.0, 0.0, 1.0};
constexpr double MinViewElevation = -90.0, MaxViewElevation = 90.0;
constexpr double MinViewZoom = 0.05, MaxViewZoom = 20.0;
// One wheel notch (WHEEL_DELTA units) forwards multiplies the zoom by this.
constexpr double ViewZoomPerNotch = 0.9;

// Azimuth 0, elevation 0, zoom 1: drawn with the start view's own calls.
bool IsStartPose(const ViewPose& view);

// The point the view turns about and zooms towards: the centre of the
// bounding box of the model's finite vertex positions (the origin when
// there are none), and the radius of the sphere about it that holds them.
struct ViewPivotRecord {
    double center[3];
    double radius;
};
extern ViewPivotRecord ViewPivot;

// Works out ViewPivot from the model store; at each load of the model.
void SetViewPivotFromModel();

// Width over height of the picture drawn (ResizeScene sets it): F fits the
// narrower of its two angles.
extern double ViewportAspect;

// Adds degrees of azimuth and elevation: the azimuth kept within
// [-180, 180], the elevation within [MinViewElevation, MaxViewElevation].
void TurnView(ViewPose* view, double azimuthDegrees, double elevationDegrees);
// Multiplies the zoom by ViewZoomPerNotch per notch forwards (divides per
// notch backwards; fractions of a notch by the power), kept within
// [MinViewZoom, MaxViewZoom].
void ZoomView(ViewPose* view, double notches);
// The F key: the same turn, the zoom at which the bounding sphere about the
// pivot just fits the narrower angle of the view (its distance from the eye
// is the radius over the sine of that half-angle). Without a model, or
// with the pivot at the eye, the zoom stays.
void FrameView(ViewPose* view);

// The translation that places the pivot in front of the eye at zoom k:
// k times the pivot's place in the start view, (c.x, c.y, c.z - 5).
void ViewPivotPlace(const ViewPose& view, double place[3]);

// The options' values: "AZ,EL" (two finite numbers, the azimuth brought
// within [-180, 180] and the elevation within [-90, 90], as turning would)
// and a zoom within [MinViewZoom, MaxViewZoom]. False when refused.
bool ParseViewTurn(const char* text, double* azimuth, double* elevation);
bool ParseViewZoom(const char* text, double* zoom);

// The view's start options, shared by the viewer's command line and
// polyview-tool snapshot: "--turn AZ,EL" and "--zoom K".
bool IsViewOption(const char* argument);
// Sets `pose` from the option's value (null when the option came last);
// false, with the refusal's reason in `why`, when the value is refused.
bool ApplyViewOption(const char* option, const char* value, ViewPose* pose, const char** why);

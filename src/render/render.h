// Render state, projection and per-frame drawing of the model. OpenGL 1.1 and
// GLU only; every call acts on the rendering context current on this thread.
#pragma once

#include <cstdint>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif
#include <GL/gl.h>

// Name of the texture made from "Wall.bmp" in the current rendering context;
// 0 until the first texture load succeeds.
extern GLuint wallTexture;

// Fits the viewport and the 45-degree perspective to a client area of
// width x height pixels (a height of 0 counts as 1).
void ResizeScene(int32_t width, int32_t height);

// Sets the fixed render state, loads "Wall.bmp" into wallTexture and, when
// that succeeded, "poligon.m" into the model store. False when the texture
// cannot be made.
bool InitScene();

// The fixed render state that InitScene sets first (for polyview-tool
// thumbnail, which loads its picture and model itself).
void SetSceneState();

// InitScene, also filling `report` with the texture load's (for
// polyview-tool snapshot, which says why a scene could not be made).
struct TextureLoadReport;
bool InitSceneReported(TextureLoadReport* report);

// Reads "poligon.m" into the model store and works out the view's pivot
// from it: every load of the scene's model goes through here.
void LoadSceneModel();

// Loads the scene again in the current rendering context: the new texture
// first; on success the old texture is deleted and the model read again
// (LoadSceneModel). False keeps the last good scene and says why in `why`
// ("Wall.bmp: " and the reason); true leaves in `why` what the viewer
// notes about the new scene ("poligon.m: 0 triangles" for a model that
// reads as nothing), or nothing.
bool ReloadScene(std::string* why);

// The modelview transformation of `view`: for the start pose the start
// view's one translation 5 units into the screen; otherwise the pivot moved
// to its place at the view's zoom, turned by elevation then azimuth about it.
struct ViewPose;
void PlaceView(const ViewPose& view);

// Draws one frame of the model from CurrentView (view_state.h); the start
// view draws it 5 units in front of the viewer. Returns 1: an
// integer truth value that the interface keeps, though drawing cannot fail
// and the main loop does not look at it.
int DrawScene();

// Enables 2D texturing and binds `texture` when the model is textured.
void BindModelTexture(GLuint texture);

// Issues the model's triangles from the store's array in one glDrawArrays
// call (client-side vertex arrays, texture coordinates in mode 1 only).
void DrawModel();

// The same triangles and frame with one begin/end pair per triangle: the
// reference the array path is compared with by tests and render_bench.
void DrawModelImmediate();
void DrawSceneImmediate();

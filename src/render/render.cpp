// The render state, the projection, the scene's loading and the drawing of
// the model from the store, in OpenGL 1.1 and GLU.
#include "render/render.h"

#include <GL/glu.h>

#include <cfloat>

#include "model/model.h"
#include "render/view.h"
#include "render/view_state.h"
#include "texture/texture.h"
#include "texture/texture_failure.h"

GLuint wallTexture = 0;

void ResizeScene(int32_t width, int32_t height) {
    if (height == 0) height = 1;
    glViewport(0, 0, width, height);
    if (width > 0) ViewportAspect = double(width) / double(height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // The aspect ratio comes straight from the integers in double precision.
    gluPerspective(ViewFieldOfView, double(width) / double(height), ViewNear, ViewFar);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

bool InitScene() {
    return InitSceneReported(nullptr);
}

void SetSceneState() {
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
}

bool InitSceneReported(TextureLoadReport* report) {
    SetSceneState();
    if (!LoadPictureTextureReported(ScenePictureName, &wallTexture, report)) return false;
    LoadSceneModel();
    return true;
}

bool ReloadScene(std::string* why) {
    TextureLoadReport report;
    GLuint texture = 0;
    if (!LoadPictureTextureReported(ScenePictureName, &texture, &report)) {
        *why = std::string(ScenePictureName) + ": " + DescribeTextureFailure(report);
        return false;
    }
    // The texture it replaces is given back, so that reloads leave none behind.
    if (wallTexture != 0) glDeleteTextures(1, &wallTexture);
    wallTexture = texture;
    LoadSceneModel();
    *why = ModelStore.triangleCount > 0 ? "" : std::string(SceneModelName) + ": 0 triangles";
    return true;
}

void LoadSceneModel() {
    LoadModelFile(SceneModelName);
    SetViewPivotFromModel();
}

// A double for a float call: beyond the float range (a hostile model's far
// pivot, zoomed), the largest float of its sign.
static GLfloat ToFloat(double value) {
    return value > FLT_MAX ? FLT_MAX : value < -FLT_MAX ? -FLT_MAX : GLfloat(value);
}

void PlaceView(const ViewPose& view) {
    if (IsStartPose(view)) {
        glTranslatef(0.0f, 0.0f, -ViewDistance);
        return;
    }
    // Worked out in double precision, handed to the float calls: the pivot
    // moved to its place in front of the eye, turned about it.
    double place[3];
    ViewPivotPlace(view, place);
    const double* c = ViewPivot.center;
    glTranslatef(ToFloat(place[0]), ToFloat(place[1]), ToFloat(place[2]));
    glRotatef(GLfloat(view.elevation), 1.0f, 0.0f, 0.0f);
    glRotatef(GLfloat(view.azimuth), 0.0f, 1.0f, 0.0f);
    glTranslatef(ToFloat(-c[0]), ToFloat(-c[1]), ToFloat(-c[2]));
}

// One frame: clear, place the current view, bind, draw the model.
static void DrawSceneWith(void (*drawModel)()) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    PlaceView(CurrentView);
    BindModelTexture(wallTexture);
    drawModel();
}

int DrawScene() {
    DrawSceneWith(DrawModel);
    return 1;
}

void DrawSceneImmediate() {
    DrawSceneWith(DrawModelImmediate);
}

void BindModelTexture(GLuint texture) {
    if (ModelStore.TextureMode == 1) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, texture);
    }
}

// The store's triangles are the vertex array itself: three vertices of five
// floats each, back to back.
static_assert(sizeof(ModelTriangle) == 3 * sizeof(ModelVertex) && sizeof(ModelVertex) == 5 * sizeof(float),
              "triangles are packed vertex arrays");

// Most triangles one glDrawArrays call takes: its vertex count, three per
// triangle, is a GLsizei. Only a store of over 715 million triangles needs
// more than one call, except on the web, where the OpenGL emulation copies
// each call's arrays into a buffer of POLYVIEW_WEB_DRAW_BYTES.
#ifdef POLYVIEW_WEB_DRAW_BYTES
static const int32_t maxTrianglesPerCall = POLYVIEW_WEB_DRAW_BYTES / int32_t(sizeof(ModelTriangle));
#else
static const int32_t maxTrianglesPerCall = INT32_MAX / 3;
#endif

void DrawModel() {
    const int32_t count = ModelStore.triangleCount;
    const int32_t mode = ModelStore.TextureMode;
    if (count <= 0 || (mode != 0 && mode != 1)) return;  // other modes draw nothing

    // GL_TRIANGLES from one call are the same independent triangles, with the
    // same vertices, attributes and order, as one begin/end pair per triangle
    // (DrawModelImmediate), so the same fragments are drawn. That path's push
    // and pop per triangle enclose no transformation: there is nothing to
    // save here, and the matrix stack is not touched.
    const ModelTriangle* triangles = ModelStore.triangles;
    const GLsizei stride = sizeof(ModelVertex);
    glEnableClientState(GL_VERTEX_ARRAY);
    if (mode == 1) glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    for (int32_t first = 0; first < count;) {
        const int32_t chunk = count - first < maxTrianglesPerCall ? count - first : maxTrianglesPerCall;
        const ModelVertex* v = triangles[first].vertices;
        glVertexPointer(3, GL_FLOAT, stride, &v->x);
        if (mode == 1) glTexCoordPointer(2, GL_FLOAT, stride, &v->u);
        glDrawArrays(GL_TRIANGLES, 0, GLsizei(chunk) * 3);
        first += chunk;
    }
    // Client state as it was found (nothing else enables the arrays), so no
    // later GL work reads the store through a stale pointer.
    if (mode == 1) glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    // Every triangle of a textured model is drawn textured; texturing goes
    // off once, after the last one.
    if (mode == 1) glDisable(GL_TEXTURE_2D);
}

// One begin/end pair per triangle, each between a push and a pop of the
// modelview matrix: the pair marks where a transformation of one triangle
// would go, and none is made, so each pop restores the matrix unchanged and
// the stack ends as deep as it began.
void DrawModelImmediate() {
    const int32_t count = ModelStore.triangleCount;
    const int32_t mode = ModelStore.TextureMode;
    const ModelTriangle* triangles = ModelStore.triangles;
    for (int32_t index = 0; index < count; ++index) {
        glPushMatrix();
        const ModelVertex* v = triangles[index].vertices;
        if (mode == 1) {
            glBegin(GL_TRIANGLES);
            for (int i = 0; i < 3; ++i) {
                glTexCoord2f(v[i].u, v[i].v);
                glVertex3f(v[i].x, v[i].y, v[i].z);
            }
            glEnd();
        } else if (mode == 0) {
            glBegin(GL_TRIANGLES);
            for (int i = 0; i < 3; ++i) glVertex3f(v[i].x, v[i].y, v[i].z);
            glEnd();
        }
        glPopMatrix();
    }
    if (mode == 1 && count > 0) glDisable(GL_TEXTURE_2D);  // as in DrawModel
}

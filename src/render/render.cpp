#include "render/render.h"

#include <GL/glu.h>

#include "model/model.h"
#include "texture/texture.h"

GLuint wallTexture = 0;

void ResizeScene(int32_t width, int32_t height) {
    if (height == 0) height = 1;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // The aspect ratio comes straight from the integers in double precision;
    // the near plane is the single-precision 0.1 widened to double.
    const float nearPlane = 0.1f;
    gluPerspective(45.0, double(width) / double(height), double(nearPlane), 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

bool InitScene() {
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    if (!LoadPictureTexture("Wall.bmp", &wallTexture)) return false;
    LoadModelFile("poligon.m");
    return true;
}

int DrawScene() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -5.0f);
    BindModelTexture(wallTexture);
    DrawModel();
    return 1;
}

void BindModelTexture(GLuint texture) {
    if (ModelStore.TextureMode == 1) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, texture);
    }
}

void DrawModel() {
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
    // Every triangle of a textured model is drawn textured; texturing goes
    // off once, after the last one.
    if (mode == 1 && count > 0) glDisable(GL_TEXTURE_2D);
}

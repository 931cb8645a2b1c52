// The render state, projection and drawing in a headless Mesa context:
// state queries and pixels read back.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "gl_read_back.h"
#include "headless_gl.h"
#include "model/model.h"
#include "render/render.h"

namespace {

constexpr int Width = 160, Height = 120;

// A 24-bit BMP, bottom row first; colour(x, y) gives each pixel as 0xRRGGBB.
template <typename Colour>
void WriteBmp(const std::string& path, int w, int h, Colour colour) {
    int rowBytes = (w * 3 + 3) & ~3;
    std::vector<uint8_t> file(54 + size_t(rowBytes) * h, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) file[at + i] = uint8_t(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, uint32_t(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, uint32_t(w));
    put32(22, uint32_t(h));
    file[26] = 1;
    file[28] = 24;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &file[54 + size_t(y) * rowBytes + size_t(x) * 3];
            uint32_t rgb = colour(x, y);
            p[0] = uint8_t(rgb);
            p[1] = uint8_t(rgb >> 8);
            p[2] = uint8_t(rgb >> 16);
        }
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
}

void WriteSolidBmp(const std::string& path, int w, int h, uint8_t r, uint8_t g, uint8_t b) {
    WriteBmp(path, w, h, [=](int, int) { return uint32_t(r) << 16 | uint32_t(g) << 8 | b; });
}

struct Pixel {
    int r, g, b, a;
};

class RenderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string error;
        ASSERT_TRUE(OpenHeadlessGl(&gl_, Width, Height, &error)) << error;
    }
    static void TearDownTestSuite() { CloseHeadlessGl(&gl_); }

    void SetUp() override {
        char pattern[] = "/tmp/polyview-render-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        oldDir_ = cwd;
        ASSERT_EQ(chdir(dir_.c_str()), 0);
        ReleaseModelStore();
        ModelStore.TextureMode = 0;
        glDisable(GL_TEXTURE_2D);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }
    void TearDown() override {
        ASSERT_EQ(chdir(oldDir_.c_str()), 0);
        std::string command = "rm -rf '" + dir_ + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
        ReleaseModelStore();
    }

    void WriteText(const std::string& name, const std::string& text) {
        FILE* f = std::fopen(name.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs(text.c_str(), f);
        std::fclose(f);
    }

    // Scene with a solid red wall picture and the given model text.
    void InitWith(const std::string& model) {
        WriteSolidBmp("Wall.bmp", 8, 8, 255, 0, 0);
        WriteText("poligon.m", model);
        ResizeScene(Width, Height);
        ASSERT_TRUE(InitScene());
    }

    std::vector<uint8_t> Frame(bool isImmediate = false) {
        if (isImmediate) {
            DrawSceneImmediate();
        } else {
            DrawScene();
        }
        glFinish();
        return ReadFramePixels(0, 0, Width, Height).rgba;
    }

    // x, y in window coordinates (0, 0 bottom left).
    static Pixel At(const std::vector<uint8_t>& frame, int x, int y) {
        const uint8_t* p = &frame[(size_t(y) * Width + x) * 4];
        return {p[0], p[1], p[2], p[3]};
    }

    static HeadlessGl gl_;
    std::string dir_, oldDir_;
};

HeadlessGl RenderTest::gl_;

// A triangle around (cx, cy) at depth z, in model units.
std::string Triangle(float cx, float cy, float z, float size, bool textured) {
    char text[512];
    const char* fmt = textured ? "Vertex %g %g %g >> TKoord 0 0\nVertex %g %g %g >> TKoord 1 0\n"
                                 "Vertex %g %g %g >> TKoord 0.5 1\n"
                               : "Vertex %g %g %g\nVertex %g %g %g\nVertex %g %g %g\n";
    std::snprintf(text, sizeof text, fmt, cx - size, cy - size, z, cx + size, cy - size, z, cx,
                  cy + size, z);
    return text;
}

std::string Model(int mode, const std::vector<std::string>& triangles) {
    std::string text = "UcgenSayisi >> " + std::to_string(triangles.size()) +
                       "\nKaplamaKullanimi >> " + std::to_string(mode) + "\n";
    for (const std::string& t : triangles) text += t;
    return text;
}

void ExpectMatrixNear(const GLdouble* got, const double* want) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(got[i], want[i], 1e-6 * (1 + std::fabs(want[i]))) << i;
}

// Column-major perspective as GLU defines it.
void Perspective(double fovy, double aspect, double zNear, double zFar, double* m) {
    double f = 1.0 / std::tan(fovy * M_PI / 360.0);
    for (int i = 0; i < 16; ++i) m[i] = 0;
    m[0] = f / aspect;
    m[5] = f;
    m[10] = (zFar + zNear) / (zNear - zFar);
    m[11] = -1;
    m[14] = 2 * zFar * zNear / (zNear - zFar);
}

}  // namespace

TEST_F(RenderTest, ResizeSetsViewportAndProjection) {
    struct Case {
        int w, h;
        GLint viewport[4];
        double aspect;  // 0: GLU leaves the projection as identity
    };
    for (const Case& c : {Case{640, 480, {0, 0, 640, 480}, 640.0 / 480.0},
                          Case{800, 0, {0, 0, 800, 1}, 800.0}, Case{0, 0, {0, 0, 0, 1}, 0.0}}) {
        glMatrixMode(GL_PROJECTION);
        glTranslatef(1, 2, 3);  // something for the resize to replace
        ResizeScene(c.w, c.h);
        GLint viewport[4], mode;
        glGetIntegerv(GL_VIEWPORT, viewport);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(viewport[i], c.viewport[i]) << c.w << "x" << c.h;
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        EXPECT_EQ(mode, GL_MODELVIEW);
        GLdouble projection[16], modelview[16];
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
        double want[16], identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        if (c.aspect != 0)
            Perspective(45.0, c.aspect, double(0.1f), 100.0, want);
        ExpectMatrixNear(projection, c.aspect != 0 ? want : identity);
        ExpectMatrixNear(modelview, identity);
    }
    ResizeScene(Width, Height);
}

TEST_F(RenderTest, InitSetsTheFixedState) {
    InitWith(Model(1, {}));
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0], 0.0f);
    EXPECT_EQ(clear[1], 0.0f);
    EXPECT_EQ(clear[2], 0.0f);
    EXPECT_EQ(clear[3], 0.5f);
    GLdouble depth;
    glGetDoublev(GL_DEPTH_CLEAR_VALUE, &depth);
    EXPECT_EQ(depth, 1.0);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLint value;
    glGetIntegerv(GL_DEPTH_FUNC, &value);
    EXPECT_EQ(value, GL_LEQUAL);
    glGetIntegerv(GL_PERSPECTIVE_CORRECTION_HINT, &value);
    EXPECT_EQ(value, GL_NICEST);
    glGetIntegerv(GL_SHADE_MODEL, &value);
    EXPECT_EQ(value, GL_SMOOTH);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_NE(wallTexture, 0u);
    EXPECT_TRUE(glIsTexture(wallTexture));
}

TEST_F(RenderTest, InitFailsWithoutPictureAndLeavesTheModelAlone) {
    WriteText("poligon.m", Model(0, {Triangle(0, 0, 0, 1, false)}));
    ModelStore.TextureMode = 5;
    GLuint before = wallTexture;
    EXPECT_FALSE(InitScene());
    EXPECT_EQ(wallTexture, before);
    EXPECT_EQ(ModelStore.TextureMode, 5);  // the model file was not read
    EXPECT_EQ(ModelStore.triangleCount, 0);
}

TEST_F(RenderTest, InitSucceedsWhateverTheModelHolds) {
    WriteSolidBmp("Wall.bmp", 4, 4, 0, 0, 255);
    ResizeScene(Width, Height);
    EXPECT_TRUE(InitScene());  // no model file at all
    EXPECT_EQ(ModelStore.triangleCount, 0);
    WriteText("poligon.m", "garbage\n\x01\x02\n");
    EXPECT_TRUE(InitScene());
}

TEST_F(RenderTest, EmptyModelGivesTheClearColour) {
    InitWith(Model(1, {}));
    std::vector<uint8_t> frame = Frame();
    for (int y = 0; y < Height; y += 7)
        for (int x = 0; x < Width; x += 7) {
            Pixel p = At(frame, x, y);
            ASSERT_EQ(p.r + p.g + p.b, 0) << x << "," << y;
            ASSERT_NEAR(p.a, 128, 1);
        }
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));  // nothing switched it off
}

TEST_F(RenderTest, TriangleAtTheOriginCoversTheCentreInWhite) {
    InitWith(Model(0, {Triangle(0, 0, 0, 0.5f, false)}));
    std::vector<uint8_t> frame = Frame();
    Pixel centre = At(frame, Width / 2, Height / 2);
    EXPECT_EQ(centre.r, 255);
    EXPECT_EQ(centre.g, 255);
    EXPECT_EQ(centre.b, 255);
    Pixel corner = At(frame, 2, 2);
    EXPECT_EQ(corner.r + corner.g + corner.b, 0);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(RenderTest, EveryTriangleOfATexturedModelIsTextured) {
    // Three triangles left, centre and right; the wall picture is pure red.
    InitWith(Model(1, {Triangle(-1.2f, 0, 0, 0.3f, true), Triangle(0, 0, 0, 0.3f, true),
                       Triangle(1.2f, 0, 0, 0.3f, true)}));
    std::vector<uint8_t> frame = Frame();
    // 5 units away under 45 degrees the view is 2 * 5 * tan(22.5) high.
    double unitsToPixels = Height / (2 * 5 * std::tan(22.5 * M_PI / 180));
    for (float cx : {-1.2f, 0.0f, 1.2f}) {
        int x = int(Width / 2 + cx * unitsToPixels), y = Height / 2;
        Pixel p = At(frame, x, y);
        EXPECT_EQ(p.r, 255) << "triangle at " << cx;
        EXPECT_EQ(p.g, 0) << "triangle at " << cx;
        EXPECT_EQ(p.b, 0) << "triangle at " << cx;
    }
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    GLint bound;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), wallTexture);
}

TEST_F(RenderTest, OtherModesDrawNothingAndLeaveTexturingOff) {
    InitWith(Model(3, {Triangle(0, 0, 0, 1, true)}));
    ASSERT_EQ(ModelStore.triangleCount, 1);
    glBindTexture(GL_TEXTURE_2D, 0);
    GLint depthBefore, depthAfter;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthBefore);
    std::vector<uint8_t> frame = Frame();
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter);
    EXPECT_EQ(depthAfter, depthBefore);
    Pixel centre = At(frame, Width / 2, Height / 2);
    EXPECT_EQ(centre.r + centre.g + centre.b, 0);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    GLint bound;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
}

TEST_F(RenderTest, FramesRepeatAndKeepTheMatrixStack) {
    InitWith(Model(1, {Triangle(0, 0, 0, 1, true), Triangle(0.5f, 0.5f, -1, 1, true)}));
    GLint depthBefore, depthAfter;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthBefore);
    std::vector<uint8_t> first = Frame();
    std::vector<uint8_t> second = Frame();
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter);
    EXPECT_EQ(depthAfter, depthBefore);
    EXPECT_TRUE(first == second);
    GLdouble modelview[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    EXPECT_EQ(modelview[14], -5.0);  // left as the translation into the screen
}

TEST_F(RenderTest, GeometryOutsideTheDepthRangeIsClipped) {
    // Beyond the far plane (more than 100 units from the eye) and in front of
    // the near plane (closer than 0.1).
    InitWith(Model(0, {Triangle(0, 0, -96, 60, false), Triangle(0, 0, 4.95f, 0.01f, false)}));
    std::vector<uint8_t> frame = Frame();
    Pixel centre = At(frame, Width / 2, Height / 2);
    EXPECT_EQ(centre.r + centre.g + centre.b, 0);
    // The same far triangle just inside the far plane is drawn.
    InitWith(Model(0, {Triangle(0, 0, -94, 60, false)}));
    frame = Frame();
    centre = At(frame, Width / 2, Height / 2);
    EXPECT_EQ(centre.r, 255);
}

TEST_F(RenderTest, ArrayPathDrawsTheImmediatePathsFramePixelForPixel) {
    // A patterned wall with pure black in it, so that every texture
    // coordinate shows.
    WriteBmp("Wall.bmp", 64, 64, [](int x, int y) {
        return (x ^ y) & 8 ? 0u : uint32_t(x * 4) << 16 | uint32_t(y * 4) << 8 | uint32_t((x * y) & 255);
    });
    WriteText("poligon.m", "");
    ResizeScene(Width, Height);
    ASSERT_TRUE(InitScene());
    for (int32_t mode : {1, 0}) {
        // Dense, overlapping, in every depth order, some cut by the near
        // plane, texture coordinates beyond the picture's edges.
        const int32_t count = 30000;
        ReleaseModelStore();
        ModelStore.triangles = new ModelTriangle[count];
        ModelStore.triangleCount = count;
        ModelStore.TextureMode = mode;
        std::mt19937 random(13);
        std::uniform_real_distribution<float> centre(-2.5f, 2.5f), depth(-4.0f, 4.99f), offset(-0.4f, 0.4f),
            coordinate(-0.5f, 1.5f);
        for (int32_t t = 0; t < count; ++t) {
            float cx = centre(random), cy = centre(random), cz = depth(random);
            for (ModelVertex& v : ModelStore.triangles[t].vertices)
                v = {cx + offset(random), cy + offset(random), cz + offset(random), coordinate(random),
                     coordinate(random)};
        }

        GLint stackBefore, stackAfter;
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &stackBefore);
        std::vector<uint8_t> immediate = Frame(true);
        std::vector<uint8_t> arrays = Frame();
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &stackAfter);

        size_t differing = 0, drawn = 0;
        for (size_t i = 0; i < arrays.size(); i += 4) {
            differing += memcmp(&arrays[i], &immediate[i], 4) != 0;
            drawn += arrays[i + 3] != 128;  // not the clear colour's alpha
        }
        EXPECT_EQ(differing, 0u) << "mode " << mode;
        EXPECT_GT(drawn, arrays.size() / 4 * 9 / 10) << "mode " << mode;
        EXPECT_EQ(stackAfter, stackBefore);
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
        // The arrays are switched off again for whatever GL work follows.
        EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
}

// Resident memory of this process in pages.
static long ResidentPages() {
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident;
}

// 100 reloads give every replaced texture back and keep the memory of the
// first; a picture that cannot be used keeps the whole scene and says why;
// the new picture and model are what the next frame draws.
TEST_F(RenderTest, ReloadsReplaceTheSceneAndLeaveNothingBehind) {
    std::vector<std::string> triangles(50000, Triangle(0, 0, 0, 1, true));
    InitWith(Model(1, triangles));
    std::string why;
    std::vector<GLuint> names = {wallTexture};
    long firstLoad = 0;
    for (int i = 0; i < 100; ++i) {
        WriteSolidBmp("Wall.bmp", 64, 64, 0, i % 2 ? 0 : 255, i % 2 ? 255 : 0);
        ASSERT_TRUE(ReloadScene(&why) && why.empty()) << why;
        names.push_back(wallTexture);
        if (i == 0) firstLoad = ResidentPages();
    }
    for (size_t i = 0; i + 1 < names.size(); ++i) EXPECT_FALSE(glIsTexture(names[i])) << names[i];
    EXPECT_TRUE(glIsTexture(wallTexture));
    // AddressSanitizer holds freed blocks back from reuse, so its build's
    // memory grows with every reload whatever the code does.
#ifdef POLYVIEW_SANITIZE
    const bool isMemoryKept = false;
#else
    const bool isMemoryKept = true;
#endif
    if (isMemoryKept) {
        EXPECT_LE(ResidentPages(), firstLoad + firstLoad / 10) << "first load: " << firstLoad;
    }
    EXPECT_EQ(At(Frame(), Width / 2, Height / 2).b, 255);  // the last picture: blue

    WriteText("Wall.bmp", "not a picture");
    WriteText("poligon.m", Model(0, {}));
    EXPECT_FALSE(ReloadScene(&why));
    EXPECT_EQ(why, "Wall.bmp: not a BMP, PNG, JPEG or GIF picture");
    EXPECT_EQ(wallTexture, names.back());
    EXPECT_EQ(ModelStore.triangleCount, 50000);

    WriteSolidBmp("Wall.bmp", 8, 8, 0, 255, 0);
    EXPECT_TRUE(ReloadScene(&why));
    EXPECT_EQ(why, "poligon.m: 0 triangles");
    EXPECT_FALSE(glIsTexture(names.back()));
    EXPECT_EQ(ModelStore.triangleCount, 0);
}

// polyview-tool export, run as the real program: what it writes, read back
// by convert and by the importer itself.
#include <assimp/material.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <assimp/Importer.hpp>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "png_output.h"
#include "tool_runner.h"

namespace {

std::string MakeScratch() {
    char dir[] = "/tmp/polyview-export-XXXXXX";
    return mkdtemp(dir) ? dir : "";
}

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

// `dump`'s vertex lines for `path`, each split into its fields' texts.
std::vector<std::vector<std::string>> DumpVertices(const std::string& path, int* mode) {
    ToolResult r = RunTool("dump '" + path + "'");
    EXPECT_EQ(r.status, 0) << r.err;
    std::istringstream in(r.out);
    std::string line, word;
    std::getline(in, line);
    in >> word >> *mode;
    std::getline(in, line);
    std::vector<std::vector<std::string>> vertices;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        vertices.emplace_back();
        while (fields >> word) vertices.back().push_back(word);
    }
    return vertices;
}

std::string Printed(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", double(value));
    return text;
}

// Exports `model` in `format`, converts it back, and compares every vertex
// with the model's own through %.9g: positions exactly; glTF's v flipped to
// its top-left origin and back, in 32-bit floats; STL and PLY positions only.
// `leftOut` is the one triangle (its index) the export leaves out, or -1.
void ExpectRoundTrip(const std::string& model, const std::string& format, int leftOut = -1) {
    const std::string scratch = MakeScratch(), out = scratch + "/out." + format, back = scratch + "/back.m";
    ToolResult exported = RunTool("export '" + model + "' '" + out + "'");
    ASSERT_EQ(exported.status, 0) << exported.err;
    ASSERT_EQ(RunTool("convert '" + out + "' '" + back + "'").status, 0);
    int mode = 0, backMode = 0;
    std::vector<std::vector<std::string>> want = DumpVertices(model, &mode),
                                          got = DumpVertices(back, &backMode);
    if (leftOut >= 0) want.erase(want.begin() + 3 * leftOut, want.begin() + 3 * leftOut + 3);
    const bool keepsCoordinates = format != "stl" && format != "ply";
    EXPECT_EQ(backMode, keepsCoordinates ? mode : 0);
    ASSERT_EQ(got.size(), want.size()) << format;
    for (size_t i = 0; i < want.size(); ++i) {
        std::vector<std::string> expected = want[i];
        if (!keepsCoordinates) expected.resize(3);
        if (expected.size() == 5 && format.compare(0, 2, "gl") == 0)
            expected[4] = Printed(1.0f - (1.0f - std::strtof(expected[4].c_str(), nullptr)));
        EXPECT_EQ(got[i], expected) << format << " vertex " << i << " of " << model;
    }
}

const char* const Formats[] = {"glb", "gltf", "obj", "stl", "ply"};

TEST(ExportCommand, RoundTripsTheExampleAndTheCorpusModels) {
    for (const char* model : {POLYVIEW_EXAMPLES "/poligon.m", POLYVIEW_CORPUS "/model_plain.m",
                              POLYVIEW_CORPUS "/model_textured.m"})
        for (const char* format : Formats) ExpectRoundTrip(model, format);
}

// Numbers of every size, near neighbours, and a triangle that is not
// finite, which is left out. The importer's OBJ reader rounds large exponents on its own, so OBJ
// is held to the example and the corpus.
TEST(ExportCommand, RoundTripsEveryFloatExactlyAndLeavesOutWhatIsNotFinite) {
    const std::string scratch = MakeScratch(), model = scratch + "/numbers.m";
    WriteText(
        model,
        "UcgenSayisi >> 5\nKaplamaKullanimi >> 1\n"
        "Vertex 3.40282347e+38 -1.17549435e-38 1.40129846e-45 >> TKoord 0.1 0.3\n"
        "Vertex -0 123456.789 -9.87654321e-12 >> TKoord 1e-30 0.700000048\n"
        "Vertex 0.333333343 -2.5e+20 7 >> TKoord -3.5 12.25\n"
        "Vertex 1 inf 0 >> TKoord 0 0\nVertex 0 1 0 >> TKoord 0 0\nVertex 0 0 1 >> TKoord 0 0\n"
        "Vertex 1 2 3 >> TKoord 0.2 0.9\nVertex 4 5 6 >> TKoord 0.4 0.6\nVertex 7 8 9.5 >> TKoord 0.8 0.1\n"
        // Values that the glTF exporter's joining of vertices would change.
        "Vertex 1 2 3 >> TKoord 0.2000001 0.9\nVertex 0 1 0 >> TKoord 0 0\nVertex 5 5 5 >> TKoord 1 1\n"
        "Vertex -0 1 0 >> TKoord 0 0\nVertex 6 5 5 >> TKoord 1 1\nVertex 5 6 5 >> TKoord 1 1\n");
    ToolResult r = RunTool("export '" + model + "' '" + scratch + "/out.stl'");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("not finite (triangle 2, vertex 1: 1 inf 0): 1 triangle left out"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find("4 triangles, mode 1"), std::string::npos) << r.out;
    for (const char* format : {"glb", "gltf", "stl", "ply"}) ExpectRoundTrip(model, format, 1);
}

// The texture's pixels as `polyview-tool texture` makes them.
std::vector<uint8_t> ToolTexture(const std::string& scratch, int32_t* width, int32_t* height) {
    std::vector<uint8_t> rgba;
    EXPECT_EQ(RunTool("texture " POLYVIEW_EXAMPLES "/Wall.bmp --out '" + scratch + "/texture.png'").status,
              0);
    EXPECT_TRUE(ReadPng(scratch + "/texture.png", width, height, &rgba));
    return rgba;
}

TEST(ExportCommand, EmbedsTheViewersTextureInGlbAndPutsItBesideGltfAndObj) {
    const std::string scratch = MakeScratch();
    int32_t width = 0, height = 0;
    std::vector<uint8_t> texture = ToolTexture(scratch, &width, &height);
    ASSERT_FALSE(texture.empty());

    ToolResult r = RunTool("export " POLYVIEW_EXAMPLES " '" + scratch + "/out.glb'");
    ASSERT_EQ(r.status, 0) << r.err;
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(scratch + "/out.glb", 0);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    ASSERT_EQ(scene->mNumTextures, 1u);
    const aiTexture* embedded = scene->mTextures[0];
    ASSERT_EQ(embedded->mHeight, 0u);  // compressed
    {
        std::ofstream png(scratch + "/embedded.png", std::ios::binary);
        png.write(reinterpret_cast<const char*>(embedded->pcData), embedded->mWidth);
    }
    int32_t w = 0, h = 0;
    std::vector<uint8_t> pixels;
    ASSERT_TRUE(ReadPng(scratch + "/embedded.png", &w, &h, &pixels));
    EXPECT_EQ(w, width);
    EXPECT_EQ(h, height);
    EXPECT_TRUE(pixels == texture);
    aiString path;
    ASSERT_EQ(
        scene->mMaterials[scene->mMeshes[0]->mMaterialIndex]->GetTexture(aiTextureType_DIFFUSE, 0, &path),
        aiReturn_SUCCESS);
    EXPECT_STREQ(path.C_Str(), "*0");

    for (const char* format : {"gltf", "obj"}) {
        r = RunTool(std::string("export " POLYVIEW_EXAMPLES " '") + scratch + "/side." + format + "'");
        ASSERT_EQ(r.status, 0) << r.err;
        ASSERT_TRUE(ReadPng(scratch + "/side.png", &w, &h, &pixels)) << format;
        EXPECT_TRUE(pixels == texture) << format;
        std::remove((scratch + "/side.png").c_str());
    }
    EXPECT_NE(ReadWhole(scratch + "/side.mtl").find("map_Kd side.png"), std::string::npos);
}

TEST(ExportCommand, WritesTheModelWithoutTextureWhenThePictureIsMissing) {
    const std::string scratch = MakeScratch();
    WriteText(scratch + "/poligon.m", ReadWhole(POLYVIEW_EXAMPLES "/poligon.m"));
    ToolResult r = RunTool("export '" + scratch + "' '" + scratch + "/out.glb'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "polyview-tool export: cannot read " + scratch +
                         "/Wall.bmp: No such file or directory; the model is written without texture\n");
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(scratch + "/out.glb", 0);
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(scene->mNumTextures, 0u);
    EXPECT_EQ(scene->mMeshes[0]->mNumFaces, 5u);
}

// The files beside OUT follow OUT's link, and a refused OUT leaves none.
TEST(ExportCommand, WritesTheFilesBesideWhatOutNames) {
    const std::string scratch = MakeScratch();
    ASSERT_EQ(mkdir((scratch + "/sub").c_str(), 0755), 0);
    ASSERT_EQ(symlink("sub/model.obj", (scratch + "/link.obj").c_str()), 0);
    ToolResult r = RunTool("export " POLYVIEW_EXAMPLES " '" + scratch + "/link.obj'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(ReadWhole(scratch + "/sub/model.obj").find("mtllib model.mtl\n"), std::string::npos);
    EXPECT_NE(ReadWhole(scratch + "/sub/model.mtl").find("map_Kd model.png\n"), std::string::npos);
    EXPECT_FALSE(ReadWhole(scratch + "/sub/model.png").empty());

    ASSERT_EQ(mkdir((scratch + "/folder.gltf").c_str(), 0755), 0);
    r = RunTool("export " POLYVIEW_EXAMPLES " '" + scratch + "/folder.gltf'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("is a folder"), std::string::npos) << r.err;
    EXPECT_NE(access((scratch + "/folder.bin").c_str(), F_OK), 0);
    EXPECT_NE(access((scratch + "/folder.png").c_str(), F_OK), 0);
}

}  // namespace

// polyview-tool convert, run as the real program on meshes the tests write.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "../model/model_test_util.h"
#include "snapshot_frame.h"
#include "tool_runner.h"

namespace {

using Triangle = std::vector<float>;  // x y z [u v] for vertices 0, 1, 2

// The triangles that `polyview-tool dump` prints for `path`.
std::vector<Triangle> DumpTriangles(const std::string& path, int* mode) {
    ToolResult r = RunTool("dump '" + path + "'");
    EXPECT_EQ(r.status, 0) << r.err;
    std::istringstream in(r.out);
    std::string word;
    int count = 0;
    in >> word >> count >> word >> *mode;
    int fields = *mode == 1 ? 5 : 3;
    std::vector<Triangle> triangles(size_t(count > 0 ? count : 0));
    for (Triangle& t : triangles) {
        t.resize(size_t(3 * fields));
        for (float& value : t) in >> value;
    }
    return triangles;
}

std::vector<std::string> FolderEntries(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string Base64(const std::string& bytes) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t chunk = uint32_t(uint8_t(bytes[i])) << 16;
        if (i + 1 < bytes.size()) chunk |= uint32_t(uint8_t(bytes[i + 1])) << 8;
        if (i + 2 < bytes.size()) chunk |= uint8_t(bytes[i + 2]);
        text += digits[(chunk >> 18) & 63];
        text += digits[(chunk >> 12) & 63];
        text += i + 1 < bytes.size() ? digits[(chunk >> 6) & 63] : '=';
        text += i + 2 < bytes.size() ? digits[chunk & 63] : '=';
    }
    return text;
}

void PutFloat(std::string* bytes, float value) {
    char raw[4];
    std::memcpy(raw, &value, 4);  // little-endian host, as the formats want
    bytes->append(raw, 4);
}

// A binary STL with the given vertex positions, three per facet.
std::string BinaryStl(const std::vector<float>& positions) {
    std::string bytes(80, '\0');
    uint32_t facets = uint32_t(positions.size() / 9);
    bytes.append(reinterpret_cast<const char*>(&facets), 4);
    for (uint32_t f = 0; f < facets; ++f) {
        for (int i = 0; i < 3; ++i) PutFloat(&bytes, i == 2 ? 1.0f : 0.0f);  // normal
        for (int i = 0; i < 9; ++i) PutFloat(&bytes, positions[f * 9 + i]);
        bytes.append(2, '\0');
    }
    return bytes;
}

// A cube of side 1 about `centre` times `size`, with texture coordinates;
// every face split into two triangles in the file itself.
struct Cube {
    std::string obj;
    std::vector<Triangle> triangles;  // x y z u v, as the file means them
};

Cube MakeCube(float cx, float cy, float cz, float size) {
    const float corners[8][3] = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
                                 {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1}};
    const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    const int faces[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4},
                             {2, 3, 7, 6}, {1, 2, 6, 5}, {0, 4, 7, 3}};
    Cube cube;
    std::ostringstream obj;
    obj << "# cube\n";
    for (const auto& c : corners)
        obj << "v " << cx + c[0] * size / 2 << ' ' << cy + c[1] * size / 2 << ' ' << cz + c[2] * size / 2
            << '\n';
    for (const auto& t : uv) obj << "vt " << t[0] << ' ' << t[1] << '\n';
    for (const auto& face : faces) {
        const int order[2][3] = {{0, 1, 2}, {0, 2, 3}};
        for (const auto& tri : order) {
            obj << 'f';
            Triangle triangle;
            for (int k : tri) {
                obj << ' ' << face[k] + 1 << '/' << k + 1;
                const float* c = corners[face[k]];
                triangle.insert(triangle.end(), {cx + c[0] * size / 2, cy + c[1] * size / 2,
                                                 cz + c[2] * size / 2, uv[k][0], uv[k][1]});
            }
            obj << '\n';
            cube.triangles.push_back(triangle);
        }
    }
    cube.obj = obj.str();
    return cube;
}

// A box of the given sides about the origin, without texture coordinates:
// 12 triangles, wound counter-clockwise seen from outside. With a side of 0,
// a flat rectangle: only the two faces across that side, both ways round.
std::string BoxObj(float sx, float sy, float sz) {
    const float sides[3] = {sx, sy, sz};
    std::ostringstream obj;
    for (int corner = 0; corner < 8; ++corner)
        obj << "v " << (corner & 1 ? sx : -sx) / 2 << ' ' << (corner & 2 ? sy : -sy) / 2 << ' '
            << (corner & 4 ? sz : -sz) / 2 << '\n';
    // -z, +z, -y, +y, +x, -x
    const int faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                             {2, 6, 7, 3}, {1, 3, 7, 5}, {0, 4, 6, 2}};
    for (int i = 0; i < 6; ++i) {
        const int* f = faces[i];
        int across = 2 - i / 2;
        if (sides[across] != 0 && (sx == 0 || sy == 0 || sz == 0)) continue;
        obj << "f " << f[0] + 1 << ' ' << f[1] + 1 << ' ' << f[2] + 1 << "\nf " << f[0] + 1 << ' ' << f[2] + 1
            << ' ' << f[3] + 1 << '\n';
    }
    return obj.str();
}

// Extents of the triangles along x, y, z.
std::vector<float> Extents(const std::vector<Triangle>& triangles, int fields) {
    std::vector<float> low(3, INFINITY), high(3, -INFINITY), extents;
    for (const Triangle& t : triangles)
        for (size_t v = 0; v < 3; ++v)
            for (size_t a = 0; a < 3; ++a) {
                low[a] = std::min(low[a], t[v * size_t(fields) + a]);
                high[a] = std::max(high[a], t[v * size_t(fields) + a]);
            }
    for (size_t a = 0; a < 3; ++a) extents.push_back(high[a] - low[a]);
    return extents;
}

}  // namespace

class ConvertCommand : public ModelFileTest {
protected:
    ToolResult Convert(const std::string& arguments) { return RunTool("convert " + arguments); }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
};

TEST_F(ConvertCommand, ObjCubeWithTextureCoordinatesRoundTrips) {
    Cube cube = MakeCube(0.5f, -0.25f, 0.0f, 1.5f);
    Write(cube.obj, "cube.obj");
    ToolResult r = Convert("'" + Path("cube.obj") + "' '" + Path("cube.m") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    int mode = -1;
    EXPECT_EQ(DumpTriangles(Path("cube.m"), &mode), cube.triangles);
    EXPECT_EQ(mode, 1);

    // A comment names the source; the viewer's reader finds nothing to report.
    std::string text = ReadWhole(Path("cube.m"));
    EXPECT_EQ(text.rfind("# Converted by polyview-tool from " + Path("cube.obj") + "\n", 0), 0u) << text;
    ToolResult check = RunTool("check '" + Path("cube.m") + "'");
    EXPECT_EQ(check.status, 0) << check.out;

    // --mode 0 drops the texture coordinates.
    ASSERT_EQ(Convert("--mode 0 '" + Path("cube.obj") + "' '" + Path("plain.m") + "'").status, 0);
    std::vector<Triangle> plain = DumpTriangles(Path("plain.m"), &mode);
    EXPECT_EQ(mode, 0);
    ASSERT_EQ(plain.size(), cube.triangles.size());
    for (size_t t = 0; t < plain.size(); ++t)
        for (int v = 0; v < 3; ++v)
            for (int a = 0; a < 3; ++a)
                EXPECT_EQ(plain[t][size_t(v * 3 + a)], cube.triangles[t][size_t(v * 5 + a)]);
}

TEST_F(ConvertCommand, AsciiStlAndPlyRoundTrip) {
    Write(
        "solid two\n"
        " facet normal 0 0 1\n  outer loop\n   vertex 0 0 0\n   vertex 1 0 0\n   vertex 0 1 0\n"
        "  endloop\n endfacet\n"
        " facet normal 0 0 1\n  outer loop\n   vertex -0.5 0.25 -2\n   vertex 1.75 -3 0.125\n"
        "   vertex 2 2 2\n  endloop\n endfacet\nendsolid two\n",
        "two.stl");
    ToolResult r = Convert("'" + Path("two.stl") + "' '" + Path("stl.m") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    int mode = -1;
    std::vector<Triangle> expected = {{0, 0, 0, 1, 0, 0, 0, 1, 0},
                                      {-0.5f, 0.25f, -2, 1.75f, -3, 0.125f, 2, 2, 2}};
    EXPECT_EQ(DumpTriangles(Path("stl.m"), &mode), expected);
    EXPECT_EQ(mode, 0);

    // PLY with texture coordinates and a quad that is split into two.
    Write(
        "ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\nproperty float y\nproperty float z\n"
        "property float s\nproperty float t\nelement face 1\nproperty list uchar int vertex_indices\n"
        "end_header\n0 0 0 0 0\n2 0 0 1 0\n2 1 0 1 0.5\n0 1 0 0 0.5\n4 0 1 2 3\n",
        "quad.ply");
    r = Convert("'" + Path("quad.ply") + "' '" + Path("ply.m") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<Triangle> quad = DumpTriangles(Path("ply.m"), &mode);
    EXPECT_EQ(mode, 1);
    ASSERT_EQ(quad.size(), 2u);
    // The two triangles cover the quad: together they use its four corners,
    // and each corner keeps its own texture coordinates.
    std::vector<std::vector<float>> corners;
    for (const Triangle& t : quad)
        for (int v = 0; v < 3; ++v) corners.push_back({t.begin() + v * 5, t.begin() + v * 5 + 5});
    std::sort(corners.begin(), corners.end());
    corners.erase(std::unique(corners.begin(), corners.end()), corners.end());
    std::vector<std::vector<float>> expectedCorners = {
        {0, 0, 0, 0, 0}, {0, 1, 0, 0, 0.5f}, {2, 0, 0, 1, 0}, {2, 1, 0, 1, 0.5f}};
    EXPECT_EQ(corners, expectedCorners);
}

TEST_F(ConvertCommand, NumbersReadBackExactly) {
    // Binary STL carries the floats as they are: the model file must give
    // back the very same bits, however awkward the value.
    std::vector<float> values = {0.1f,   1.0f / 3, 1e-7f,       3.4e38f, 1.17549435e-38f,
                                 1e-45f, -0.0f,    16777216.0f, -2.5f};
    Write(BinaryStl(values), "exact.stl");
    ToolResult r = Convert("'" + Path("exact.stl") + "' '" + Path("exact.m") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    LoadModelFile(Path("exact.m").c_str());
    ASSERT_EQ(ModelStore.triangleCount, 1);
    EXPECT_EQ(ModelStore.TextureMode, 0);
    for (int i = 0; i < 9; ++i) {
        const ModelVertex& v = Vertex(i / 3);
        float got = (&v.x)[i % 3];
        EXPECT_EQ(std::memcmp(&got, &values[size_t(i)], 4), 0) << "value " << i << ": " << got;
    }

    // --mode 1 on a mesh without texture coordinates gives them as 0.
    ASSERT_EQ(Convert("--mode 1 '" + Path("exact.stl") + "' '" + Path("textured.m") + "'").status, 0);
    LoadModelFile(Path("textured.m").c_str());
    EXPECT_EQ(ModelStore.TextureMode, 1);
    EXPECT_EQ(Vertex(2).u, 0.0f);
    EXPECT_EQ(Vertex(2).v, 0.0f);
    EXPECT_EQ(Vertex(2).z, -2.5f);
}

TEST_F(ConvertCommand, NodeTransformsAreApplied) {
    std::string buffer;
    for (float value : {0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, 0.f}) PutFloat(&buffer, value);
    // A parent moves by 10 along x, its child scales by 2.
    Write(
        "{\"asset\":{\"version\":\"2.0\"},\"scene\":0,\"scenes\":[{\"nodes\":[0]}],"
        "\"nodes\":[{\"children\":[1],\"translation\":[10,0,0]},{\"mesh\":0,\"scale\":[2,2,2]}],"
        "\"meshes\":[{\"primitives\":[{\"attributes\":{\"POSITION\":0}}]}],"
        "\"buffers\":[{\"byteLength\":36,\"uri\":\"data:application/octet-stream;base64," +
            Base64(buffer) +
            "\"}],\"bufferViews\":[{\"buffer\":0,\"byteOffset\":0,\"byteLength\":36}],"
            "\"accessors\":[{\"bufferView\":0,\"componentType\":5126,\"count\":3,\"type\":\"VEC3\","
            "\"min\":[0,0,0],\"max\":[1,1,0]}]}",
        "moved.gltf");
    ToolResult r = Convert("'" + Path("moved.gltf") + "' '" + Path("moved.m") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    int mode = -1;
    std::vector<Triangle> expected = {{10, 0, 0, 12, 0, 0, 10, 2, 0}};
    EXPECT_EQ(DumpTriangles(Path("moved.m"), &mode), expected);
}

TEST_F(ConvertCommand, FitBringsAFarAwayModelIntoView) {
    ASSERT_EQ(std::system(("cp '" + std::string(POLYVIEW_EXAMPLES) + "/Wall.bmp' '" + dir_ + "/'").c_str()),
              0);
    Write(MakeCube(1000, 800, -3000, 40).obj, "far.obj");
    auto snapshot = [&]() {
        Frame frame = Snapshot(dir_, "160x120");
        EXPECT_EQ(frame.width, 160);
        return frame;
    };

    // Mode 0 draws white on black.
    ASSERT_EQ(Convert("--mode 0 '" + Path("far.obj") + "' '" + Path("poligon.m") + "'").status, 0);
    Frame before = snapshot();
    ASSERT_EQ(before.width, 160);
    EXPECT_EQ(before.Lit(), 0);
    EXPECT_EQ(RunTool("check '" + Path("poligon.m") + "'").status, 1);

    ASSERT_EQ(Convert("--fit --mode 0 '" + Path("far.obj") + "' '" + Path("poligon.m") + "'").status, 0);
    Frame after = snapshot();
    ASSERT_EQ(after.width, 160);
    EXPECT_TRUE(after.IsWhite(80, 60));
    // The cube fills much of the view, and none of it touches the border.
    EXPECT_GT(after.Lit(), 160 * 120 / 5);
    int borderLit = 0;
    for (int x = 0; x < 160; ++x) borderLit += after.IsWhite(x, 0) + after.IsWhite(x, 119);
    for (int y = 0; y < 120; ++y) borderLit += after.IsWhite(0, y) + after.IsWhite(159, y);
    EXPECT_EQ(borderLit, 0);
    ToolResult check = RunTool("check '" + Path("poligon.m") + "'");
    EXPECT_EQ(check.status, 0) << check.out;
}

TEST_F(ConvertCommand, BadInputLeavesNoOut) {
    ToolResult missing = Convert("'" + Path("none.obj") + "' '" + Path("out.m") + "'");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("Unable to open file"), std::string::npos) << missing.err;

    Write("nothing a reader knows\n", "junk.xyz");
    ToolResult unknown = Convert("'" + Path("junk.xyz") + "' '" + Path("out.m") + "'");
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("No suitable reader"), std::string::npos) << unknown.err;

    Write("v 0 0 0\nv 1 0 0\nv 0 1 0\nl 1 2\nl 2 3\n", "lines.obj");
    ToolResult lines = Convert("'" + Path("lines.obj") + "' '" + Path("out.m") + "'");
    EXPECT_EQ(lines.status, 1);
    EXPECT_NE(lines.err.find("lines.obj"), std::string::npos) << lines.err;

    // Nothing was left behind: no OUT and no temporary file.
    EXPECT_EQ(FolderEntries(dir_), (std::vector<std::string>{"junk.xyz", "lines.obj"}));

    // An OUT that exists already stays as it was.
    Write("keep me\n", "out.m");
    EXPECT_EQ(Convert("'" + Path("junk.xyz") + "' '" + Path("out.m") + "'").status, 1);
    EXPECT_EQ(ReadWhole(Path("out.m")), "keep me\n");

    // An OUT that cannot be written.
    Write(MakeCube(0, 0, 0, 1).obj, "cube.obj");
    ToolResult nowhere = Convert("'" + Path("cube.obj") + "' '" + Path("no/such/out.m") + "'");
    EXPECT_EQ(nowhere.status, 1);
    EXPECT_NE(nowhere.err.find("cannot write"), std::string::npos) << nowhere.err;

    EXPECT_EQ(Convert("'" + Path("cube.obj") + "'").status, 2);
    EXPECT_EQ(Convert("--mode 2 '" + Path("cube.obj") + "' '" + Path("out.m") + "'").status, 2);
    EXPECT_EQ(ReadWhole(Path("out.m")), "keep me\n");
}

TEST_F(ConvertCommand, ProgressOnlyOnATerminalForLargeInputs) {
    // 200,000 facets: a binary STL of about 10 MB.
    std::vector<float> positions;
    positions.reserve(200000 * 9);
    for (int f = 0; f < 200000; ++f)
        for (float value : {0.f, 0.f, float(f % 7), 1.f, 0.f, 0.f, 0.f, 1.f, 0.f}) positions.push_back(value);
    Write(BinaryStl(positions), "large.stl");

    ToolResult quiet = Convert("'" + Path("large.stl") + "' '" + Path("large.m") + "'");
    ASSERT_EQ(quiet.status, 0) << quiet.err;
    EXPECT_EQ(quiet.err, "");

    // Under a terminal (script(1) gives the command one), stderr shows it.
    std::string command = "script -qec \"'" + std::string(POLYVIEW_TOOL) + "' convert '" + Path("large.stl") +
                          "' '" + Path("large2.m") + "' 2>&1 >/dev/null\" /dev/null";
    ToolResult shown;
    {
        std::string out = Path("terminal.txt");
        int raw = std::system((command + " >'" + out + "' </dev/null").c_str());
        shown.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        shown.out = ReadWhole(out);
    }
    ASSERT_EQ(shown.status, 0) << shown.out;
    EXPECT_NE(shown.out.find("reading"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("writing 100%"), std::string::npos) << shown.out;
    EXPECT_EQ(ReadWhole(Path("large.m")), ReadWhole(Path("large2.m")));
}

TEST_F(ConvertCommand, NothingInTheFileCanCrashHangOrExhaustIt) {
    Write("keep me\n", "out.m");
    auto expectOneLine = [&](const ToolResult& r, const std::string& line) {
        EXPECT_EQ(r.status, 1);
        // Sanitizer builds let the importer's own messages through.
        EXPECT_GE(r.err.size(), line.size());
        EXPECT_EQ(r.err.substr(r.err.size() - std::min(r.err.size(), line.size())), line) << r.err;
#ifndef POLYVIEW_SANITIZE
        EXPECT_EQ(r.err, line);
#endif
        EXPECT_EQ(r.out, "");
    };
    // An OFF file that claims more vertices than it holds: the importer
    // fails one of its own assertions (abort), or, for 3.6 GB of them,
    // needs more memory or more time than it is given.
    std::string crash = Write("OFF\n1000 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n", "crash.off");
    expectOneLine(Convert("'" + crash + "' '" + Path("out.m") + "'"),
                  "polyview-tool convert: the importer crashed on " + crash + " (signal 6)\n");
    std::string huge = Write("OFF\n300000000 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n", "huge.off");
    expectOneLine(Convert("--memory-limit 256 '" + huge + "' '" + Path("out.m") + "'"),
                  "polyview-tool convert: the importer needed more than 256 MiB on " + huge +
                      " (see --memory-limit)\n");
    expectOneLine(
        Convert("--memory-limit 16384 --time-limit 1 '" + huge + "' '" + Path("out.m") + "'"),
        "polyview-tool convert: the importer took longer than 1 s on " + huge + " (see --time-limit)\n");
    // OUT is left as it was, and nothing else is left behind (no core file).
    EXPECT_EQ(ReadWhole(Path("out.m")), "keep me\n");
    EXPECT_EQ(FolderEntries(dir_), (std::vector<std::string>{"crash.off", "huge.off", "out.m"}));

    for (const char* bad : {"--memory-limit 0", "--time-limit x", "--time-limit", "--up w", "--uv sphere",
                            "--keep-orientation", "--fit --keep-orientation --up z", "--uv box --mode 0"})
        EXPECT_EQ(Convert(std::string(bad) + " '" + crash + "' '" + Path("out.m") + "'").status, 2) << bad;
}

TEST_F(ConvertCommand, UpStandsTheSourceUpright) {
    Write(BoxObj(4, 1, 2), "box.obj");
    ASSERT_EQ(Convert("'" + Path("box.obj") + "' '" + Path("as_is.m") + "'").status, 0);
    ToolResult r = Convert("--up z '" + Path("box.obj") + "' '" + Path("up.m") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, Path("up.m") + ": 12 triangles, mode 0; the viewer sees its front (-Y side), +Z up\n");
    // Exactly: x stays, z becomes y, -y becomes z.
    int mode = -1;
    std::vector<Triangle> asIs = DumpTriangles(Path("as_is.m"), &mode),
                          up = DumpTriangles(Path("up.m"), &mode);
    ASSERT_EQ(up.size(), asIs.size());
    for (size_t t = 0; t < up.size(); ++t)
        for (size_t v = 0; v < 3; ++v) {
            EXPECT_EQ(up[t][v * 3], asIs[t][v * 3]);
            EXPECT_EQ(up[t][v * 3 + 1], asIs[t][v * 3 + 2]);
            EXPECT_EQ(up[t][v * 3 + 2], -asIs[t][v * 3 + 1]);
        }

    // An FBX file states its axes; --fit follows them, --up overrides them.
    Write(
        "; FBX 7.4.0 project file\nFBXHeaderExtension: {\n FBXHeaderVersion: 1003\n FBXVersion: 7400\n}\n"
        "GlobalSettings: {\n Version: 1000\n Properties70: {\n"
        "  P: \"UpAxis\", \"int\", \"Integer\", \"\",2\n  P: \"UpAxisSign\", \"int\", \"Integer\", \"\",1\n"
        "  P: \"FrontAxis\", \"int\", \"Integer\", \"\",1\n  P: \"FrontAxisSign\", \"int\", \"Integer\", "
        "\"\",-1\n"
        " }\n}\nObjects: {\n Geometry: 1, \"Geometry::t\", \"Mesh\" {\n  Vertices: *9 {\n   a: "
        "0,0,0,1,0,0,0,0,2\n  }\n"
        "  PolygonVertexIndex: *3 {\n   a: 0,1,-3\n  }\n }\n Model: 2, \"Model::t\", \"Mesh\" {\n }\n}\n"
        "Connections: {\n C: \"OO\",1,2\n C: \"OO\",2,0\n}\n",
        "upright.fbx");
    r = Convert("--fit '" + Path("upright.fbx") + "' '" + Path("fbx.m") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("the viewer sees its front (-Y side), +Z up"), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "");
    r = Convert("--fit --up y '" + Path("upright.fbx") + "' '" + Path("fbx.m") + "'");
    EXPECT_NE(r.out.find("the viewer sees its top (+Y side), -Z up"), std::string::npos) << r.out;
}

TEST_F(ConvertCommand, FitShowsTheBroadestSide) {
    const struct {
        float sides[3];
        const char* options;
        const char* seen;
        float shown[3];  // the source's sides along the view's x, y, z
    } cases[] = {
        {{2, 2, 2}, "", "its front (+Z side), +Y up", {2, 2, 2}},
        {{4, 1, 2}, "--up z", "its front (-Y side), +Z up", {4, 2, 1}},
        {{4, 1, 2}, "", "its top (+Y side), -Z up", {4, 2, 1}},
        {{1, 2, 4}, "", "its side (+X side), +Y up", {4, 2, 1}},
        {{1, 2, 4}, "--keep-orientation", "its front (+Z side), +Y up", {1, 2, 4}},
        {{4, 0, 2}, "", "its top (+Y side), -Z up", {4, 2, 0}},
        {{4, 0, 2}, "--keep-orientation", "its front (+Z side), +Y up", {4, 0, 2}},
    };
    for (const auto& c : cases) {
        Write(BoxObj(c.sides[0], c.sides[1], c.sides[2]), "box.obj");
        ToolResult r =
            Convert("--fit " + std::string(c.options) + " '" + Path("box.obj") + "' '" + Path("box.m") + "'");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find(std::string("the viewer sees ") + c.seen + "; centred and scaled"),
                  std::string::npos)
            << c.options << ": " << r.out;
        int mode = -1;
        std::vector<float> extents = Extents(DumpTriangles(Path("box.m"), &mode), 3);
        for (int a = 0; a < 3; ++a)
            EXPECT_NEAR(extents[size_t(a)] / extents[0], c.shown[a] / c.shown[0], 1e-5)
                << c.options << " axis " << a;
        // A flat model seen edge-on shows nothing, and convert says so; the
        // viewer's check agrees.
        bool isEdgeOn = c.shown[2] != 0 && (c.shown[0] == 0 || c.shown[1] == 0);
        EXPECT_EQ(r.err.find("every triangle is degenerate or seen edge-on") != std::string::npos, isEdgeOn)
            << c.options << ": " << r.err;
        EXPECT_EQ(RunTool("check '" + Path("box.m") + "'").status, isEdgeOn ? 1 : 0) << c.options;
    }
}

TEST_F(ConvertCommand, BoxCoordinatesShowTheShape) {
    Write(BoxObj(3, 2, 1), "box.obj");
    int mode = -1;
    ASSERT_EQ(Convert("'" + Path("box.obj") + "' '" + Path("plain.m") + "'").status, 0);
    DumpTriangles(Path("plain.m"), &mode);
    EXPECT_EQ(mode, 0);  // without the option nothing changes

    ToolResult r = Convert("--uv box '" + Path("box.obj") + "' '" + Path("box.m") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(
        r.out.find(
            "mode 1; the viewer sees its front (+Z side), +Y up; texture coordinates from its bounding box"),
        std::string::npos)
        << r.out;
    std::vector<Triangle> box = DumpTriangles(Path("box.m"), &mode);
    EXPECT_EQ(mode, 1);
    ASSERT_EQ(box.size(), 12u);
    // Every side shows the whole picture, upright and unmirrored from outside:
    // its corners take the picture's corners, and each triangle keeps its
    // winding (counter-clockwise from outside) in the picture.
    for (const Triangle& t : box) {
        const float* p[3] = {&t[0], &t[5], &t[10]};
        for (const float* v : p) {
            EXPECT_TRUE(v[3] == 0 || v[3] == 1) << v[3];
            EXPECT_TRUE(v[4] == 0 || v[4] == 1) << v[4];
        }
        float uvArea = (p[1][3] - p[0][3]) * (p[2][4] - p[0][4]) - (p[2][3] - p[0][3]) * (p[1][4] - p[0][4]);
        EXPECT_FLOAT_EQ(uvArea, 1.0f) << "a triangle takes half the picture, the right way round";
    }
    // The viewer then draws the picture on it, not a white silhouette.
    ASSERT_EQ(std::system(("cp '" + std::string(POLYVIEW_EXAMPLES) + "/Wall.bmp' '" + dir_ + "/'").c_str()),
              0);
    ASSERT_EQ(Convert("--fit --uv box '" + Path("box.obj") + "' '" + Path("poligon.m") + "'").status, 0);
    Frame frame = Snapshot(dir_, "160x120");
    ASSERT_EQ(frame.width, 160);
    int bricks = 0;
    for (size_t i = 0; i < frame.rgba.size(); i += 4)
        bricks += frame.rgba[i] > 100 && frame.rgba[i] > 2 * frame.rgba[i + 2];
    EXPECT_GT(bricks, 160 * 120 / 5);
}

// polyview-tool export: what the viewer draws, written as glTF 2.0, OBJ, STL
// or PLY by the Open Asset Import Library's exporter.
#include <assimp/GltfMaterial.h>
#include <assimp/material.h>
#include <assimp/scene.h>
#include <sys/stat.h>
#include <unistd.h>

#include <assimp/Exporter.hpp>
#include <assimp/IOStream.hpp>
#include <assimp/IOSystem.hpp>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "commands.h"
#include "gl_read_back.h"
#include "headless_gl.h"
#include "model/model.h"
#include "output_file.h"
#include "png_output.h"
#include "render/view.h"
#include "texture/texture.h"
#include "texture/texture_failure.h"

namespace {

const char* const UsageText = "usage: polyview-tool export DIR|MODEL OUT [--format glb|gltf|obj|stl|ply]\n";

struct Format {
    const char* name;         // --format's word and OUT's extension
    const char* exporter;     // the exporter's format id
    bool hasTexture;          // texture coordinates and a picture
    const char* sidePicture;  // where the picture goes: "" inside the file
};

// Binary STL and PLY keep every 32-bit float exactly.
const Format Formats[] = {
    {"glb", "glb2", true, ""},
    {"gltf", "gltf2", true, "beside it"},
    {"obj", "obj", true, "beside it, named by its .mtl"},
    {"stl", "stlb", false, ""},
    {"ply", "plyb", false, ""},
};

const Format* FindFormat(const std::string& name) {
    std::string lower;
    for (char c : name) lower += char(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    for (const Format& format : Formats)
        if (lower == format.name) return &format;
    return nullptr;
}

// OUT's extension, without its full stop; empty when it has none.
std::string Extension(const std::string& path) {
    size_t dot = path.rfind('.');
    size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    return path.substr(dot + 1);
}

std::string WithoutExtension(const std::string& path) {
    std::string extension = Extension(path);
    return extension.empty() ? path : path.substr(0, path.size() - extension.size() - 1);
}

std::string BaseName(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A file the exporter writes, kept in memory so that it can be written by
// the tool's own output rules.
class MemoryStream : public Assimp::IOStream {
public:
    explicit MemoryStream(std::vector<uint8_t>* bytes) : bytes_(bytes) {}
    size_t Read(void*, size_t, size_t) override { return 0; }
    size_t Write(const void* buffer, size_t size, size_t count) override {
        const size_t length = size * count;
        if (bytes_->size() < position_ + length) bytes_->resize(position_ + length);
        if (length) std::memcpy(bytes_->data() + position_, buffer, length);
        position_ += length;
        return count;
    }
    aiReturn Seek(size_t offset, aiOrigin origin) override {
        // Past the end is allowed (the GLB writer skips its header first);
        // a later write fills the gap with zeros.
        const size_t base = origin == aiOrigin_SET ? 0 : origin == aiOrigin_CUR ? position_ : bytes_->size();
        position_ = base + offset;
        return aiReturn_SUCCESS;
    }
    size_t Tell() const override { return position_; }
    size_t FileSize() const override { return bytes_->size(); }
    void Flush() override {}

private:
    std::vector<uint8_t>* bytes_;
    size_t position_ = 0;
};

// The exporter's file system: every file it opens for writing is collected,
// in the order opened; nothing is read.
class MemoryFiles : public Assimp::IOSystem {
public:
    std::vector<std::pair<std::string, std::unique_ptr<std::vector<uint8_t>>>> files;

    bool Exists(const char*) const override { return false; }
    char getOsSeparator() const override { return '/'; }
    Assimp::IOStream* Open(const char* name, const char* mode) override {
        if (!mode || (mode[0] != 'w' && mode[0] != 'a')) return nullptr;
        files.emplace_back(name, new std::vector<uint8_t>());
        return new MemoryStream(files.back().second.get());
    }
    void Close(Assimp::IOStream* stream) override { delete stream; }
};

// The model's triangles that the viewer draws with finite values; the
// number left out, and the first of them (a text), for the message.
struct DrawnTriangles {
    std::vector<const ModelTriangle*> kept;
    int64_t leftOut = 0;
    std::string firstLeftOut;
};

DrawnTriangles FiniteTriangles(bool textured) {
    DrawnTriangles drawn;
    for (int32_t t = 0; t < ModelStore.triangleCount; ++t) {
        const ModelTriangle& triangle = ModelStore.triangles[t];
        int bad = -1;
        for (int i = 0; i < 3 && bad < 0; ++i) {
            const ModelVertex& v = triangle.vertices[i];
            bool finite = std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
            if (textured) finite = finite && std::isfinite(v.u) && std::isfinite(v.v);
            if (!finite) bad = i;
        }
        if (bad < 0) {
            drawn.kept.push_back(&triangle);
            continue;
        }
        if (drawn.leftOut++ == 0) {
            const ModelVertex& v = triangle.vertices[bad];
            char text[200];
            std::snprintf(text, sizeof text, "triangle %d, vertex %d: %.9g %.9g %.9g", int(t + 1), bad + 1,
                          double(v.x), double(v.y), double(v.z));
            drawn.firstLeftOut = text;
            if (textured) {
                std::snprintf(text, sizeof text, " %.9g %.9g", double(v.u), double(v.v));
                drawn.firstLeftOut += text;
            }
        }
    }
    return drawn;
}

// The texture the viewer makes of "Wall.bmp" in the current directory, as a
// PNG (alpha kept); false with the reason in `error`.
bool MakeTexturePng(std::vector<uint8_t>* png, std::string* error) {
    HeadlessGl gl;
    if (!OpenHeadlessGl(&gl, 0, 0, error)) {
        *error = "no OpenGL context to make the texture in: " + *error;
        return false;
    }
    GLuint texture = 0;
    TextureLoadReport load;
    bool isMade = LoadPictureTextureReported(ScenePictureName, &texture, &load);
    if (!isMade) {
        *error = DescribeTextureFailure(load);
    } else {
        const GlImage texels = ReadBoundTexture();
        isMade = EncodeBottomUpPng(texels.rgba.data(), texels.width, texels.height, true, png, error);
    }
    CloseHeadlessGl(&gl);
    return isMade;
}

// The glTF exporter always joins a mesh's vertices that it takes as the same:
// positions less than about 3e-22 apart (so 0 and -0, or two tiny values),
// texture coordinates less than 1e-5 apart. Where that would change a value,
// the triangles are split into consecutive meshes: the first triangle of
// each mesh after the first. A vertex's key is its position with every
// component below 1e-14 in size made 0, so that positions the exporter may
// join have the same key (distinct floats from 1e-14 on differ by more).
struct PositionKey {
    float p[3];
    bool operator==(const PositionKey& other) const { return std::memcmp(p, other.p, sizeof p) == 0; }
};
struct PositionKeyHash {
    size_t operator()(const PositionKey& key) const {
        uint32_t bits[3];
        std::memcpy(bits, key.p, sizeof bits);
        return (size_t(bits[0]) * 0x9E3779B1u) ^ (size_t(bits[1]) * 0x85EBCA77u) ^ bits[2];
    }
};

PositionKey KeyOf(const ModelVertex& v) {
    PositionKey key = {{v.x, v.y, v.z}};
    for (float& c : key.p)
        if (std::fabs(c) < 1e-14f) c = 0.0f;
    return key;
}

// True when the exporter would join `a` and `b` into one vertex of other
// values (with some margin on its texture coordinate test).
bool JoinChangesValues(const ModelVertex& a, const ModelVertex& b, bool withCoordinates) {
    const float du = a.u - b.u, dv = a.v - b.v;
    if (withCoordinates && du * du + dv * dv > 2e-10f) return false;
    const size_t fields = (withCoordinates ? 5 : 3) * sizeof(float);
    return std::memcmp(&a, &b, fields) != 0;
}

std::vector<size_t> JoinSafeMeshStarts(const DrawnTriangles& drawn, bool withCoordinates) {
    std::vector<size_t> starts = {0};
    std::unordered_multimap<PositionKey, const ModelVertex*, PositionKeyHash> seen;
    for (size_t t = 0; t < drawn.kept.size(); ++t) {
        bool isSafe = true;
        for (const ModelVertex& v : drawn.kept[t]->vertices) {
            auto range = seen.equal_range(KeyOf(v));
            for (auto it = range.first; it != range.second && isSafe; ++it)
                isSafe = !JoinChangesValues(v, *it->second, withCoordinates);
        }
        if (!isSafe) {
            starts.push_back(t);
            seen.clear();
        }
        for (const ModelVertex& v : drawn.kept[t]->vertices) seen.emplace(KeyOf(v), &v);
    }
    return starts;
}

// The kept triangles from `first` to `end`, three vertices each in their
// order.
aiMesh* BuildMesh(const DrawnTriangles& drawn, size_t first, size_t end, bool withCoordinates) {
    aiMesh* mesh = new aiMesh();
    const unsigned vertexCount = unsigned((end - first) * 3);
    mesh->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
    mesh->mNumVertices = vertexCount;
    mesh->mVertices = new aiVector3D[vertexCount];
    if (withCoordinates) {
        mesh->mTextureCoords[0] = new aiVector3D[vertexCount];
        mesh->mNumUVComponents[0] = 2;
    }
    mesh->mNumFaces = unsigned(end - first);
    mesh->mFaces = new aiFace[mesh->mNumFaces];
    unsigned index = 0;
    for (size_t t = first; t < end; ++t) {
        aiFace& face = mesh->mFaces[t - first];
        face.mNumIndices = 3;
        face.mIndices = new unsigned[3];
        for (const ModelVertex& v : drawn.kept[t]->vertices) {
            face.mIndices[index % 3] = index;
            mesh->mVertices[index] = aiVector3D(v.x, v.y, v.z);
            if (withCoordinates) mesh->mTextureCoords[0][index] = aiVector3D(v.u, v.v, 0.0f);
            ++index;
        }
    }
    return mesh;
}

// The kept triangles as meshes that begin at `meshStarts`, in order under
// the root node, with one material: white, opaque (the viewer neither
// blends nor tests alpha, so black texels show black), and the picture at
// `picturePath` where one is given.
std::unique_ptr<aiScene> BuildScene(const DrawnTriangles& drawn, const std::vector<size_t>& meshStarts,
                                    bool withCoordinates, const std::string& picturePath,
                                    const std::vector<uint8_t>& embedded) {
    std::unique_ptr<aiScene> scene(new aiScene());
    scene->mNumMeshes = unsigned(meshStarts.size());
    scene->mMeshes = new aiMesh*[scene->mNumMeshes];
    scene->mRootNode = new aiNode("polyview");
    scene->mRootNode->mNumMeshes = scene->mNumMeshes;
    scene->mRootNode->mMeshes = new unsigned[scene->mNumMeshes];
    for (size_t m = 0; m < meshStarts.size(); ++m) {
        const size_t end = m + 1 < meshStarts.size() ? meshStarts[m + 1] : drawn.kept.size();
        scene->mMeshes[m] = BuildMesh(drawn, meshStarts[m], end, withCoordinates);
        scene->mRootNode->mMeshes[m] = unsigned(m);
    }

    aiMaterial* material = new aiMaterial();
    aiString name("polyview");
    material->AddProperty(&name, AI_MATKEY_NAME);
    const aiColor4D white(1.0f, 1.0f, 1.0f, 1.0f);
    material->AddProperty(&white, 1, AI_MATKEY_COLOR_DIFFUSE);
    material->AddProperty(&white, 1, AI_MATKEY_BASE_COLOR);
    const float metallic = 0.0f, roughness = 1.0f;
    material->AddProperty(&metallic, 1, AI_MATKEY_METALLIC_FACTOR);
    material->AddProperty(&roughness, 1, AI_MATKEY_ROUGHNESS_FACTOR);
    aiString opaque("OPAQUE");
    material->AddProperty(&opaque, AI_MATKEY_GLTF_ALPHAMODE);
    if (!picturePath.empty()) {
        aiString path(picturePath);
        const int linear = 9729;  // GL_LINEAR both ways, no mipmaps, as the viewer's texture
        for (aiTextureType type : {aiTextureType_DIFFUSE, aiTextureType_BASE_COLOR}) {
            material->AddProperty(&path, AI_MATKEY_TEXTURE(type, 0));
            material->AddProperty(&linear, 1, AI_MATKEY_GLTF_MAPPINGFILTER_MAG(type, 0));
            material->AddProperty(&linear, 1, AI_MATKEY_GLTF_MAPPINGFILTER_MIN(type, 0));
        }
    }
    scene->mMaterials = new aiMaterial*[1];
    scene->mMaterials[0] = material;
    scene->mNumMaterials = 1;

    if (!embedded.empty()) {
        aiTexture* texture = new aiTexture();
        texture->mWidth = unsigned(embedded.size());
        texture->mHeight = 0;  // compressed: mWidth bytes of a PNG
        std::strcpy(texture->achFormatHint, "png");
        texture->pcData = new aiTexel[(embedded.size() + sizeof(aiTexel) - 1) / sizeof(aiTexel)];
        std::memcpy(texture->pcData, embedded.data(), embedded.size());
        scene->mTextures = new aiTexture*[1];
        scene->mTextures[0] = texture;
        scene->mNumTextures = 1;
    }

    return scene;
}

}  // namespace

int RunExportCommand(int argc, char** argv) {
    const char* given = nullptr;
    const char* outPath = nullptr;
    const Format* format = nullptr;
    for (int i = 0; i < argc; ++i) {
        const char* option = argv[i];
        if (std::strcmp(option, "--help") == 0) {
            std::fputs(UsageText, stdout);
            return 0;
        } else if (std::strcmp(option, "--format") == 0) {
            format = i + 1 < argc ? FindFormat(argv[++i]) : nullptr;
            if (!format) {
                std::fputs("polyview-tool export: --format takes glb, gltf, obj, stl or ply\n", stderr);
                return ExitUsage;
            }
        } else if (!TakeTwoOperands("export", option, UsageText, &given, &outPath)) {
            return ExitUsage;
        }
    }
    if (!given || !outPath) {
        std::fputs(UsageText, stderr);
        return ExitUsage;
    }
    if (!format) format = FindFormat(Extension(outPath));
    if (!format) {
        std::fprintf(
            stderr,
            "polyview-tool export: '%s' does not end in .glb, .gltf, .obj, .stl or .ply (see --format)\n",
            outPath);
        return ExitUsage;
    }

    // A folder is read as the viewer finds it there: "poligon.m" and "Wall.bmp".
    std::string folder;
    struct stat info;
    bool isFolder = stat(given, &info) == 0 && S_ISDIR(info.st_mode);
    if (isFolder) folder = given;
    std::string modelPath = isFolder ? folder + (folder.back() == '/' ? "" : "/") + SceneModelName : given;
    // The outputs stay relative to where the tool was started.
    const std::string out = AbsolutePath(outPath);

    RegularFile opened = {};
    if (!LoadModelFileReported(modelPath.c_str(), &opened)) {
        std::fprintf(stderr, "polyview-tool export: cannot open '%s': %s\n", modelPath.c_str(),
                     DescribeFileOpenFailure(opened));
        return 1;
    }
    const int32_t mode = ModelStore.TextureMode;
    if ((mode != 0 && mode != 1) || ModelStore.triangleCount <= 0) {
        std::fprintf(stderr,
                     "polyview-tool export: the viewer draws nothing of '%s' (%d triangles, mode %d)\n",
                     modelPath.c_str(), int(ModelStore.triangleCount), int(mode));
        return 1;
    }
    const bool withCoordinates = mode == 1 && format->hasTexture;
    DrawnTriangles drawn = FiniteTriangles(withCoordinates);
    if (drawn.leftOut)
        std::fprintf(stderr,
                     "polyview-tool export: %s: a vertex that is not finite (%s): %lld triangle%s left out\n",
                     modelPath.c_str(), drawn.firstLeftOut.c_str(), (long long)drawn.leftOut,
                     drawn.leftOut == 1 ? "" : "s");
    if (drawn.kept.size() > UINT32_MAX / 3) {
        std::fprintf(stderr, "polyview-tool export: '%s' has more triangles than the exporter takes (%lu)\n",
                     modelPath.c_str(), (unsigned long)(UINT32_MAX / 3));
        return 1;
    }
    if (drawn.kept.empty()) {
        std::fprintf(stderr, "polyview-tool export: no triangle of '%s' is left to write\n",
                     modelPath.c_str());
        return 1;
    }

    int status = 0;
    std::vector<uint8_t> png;
    if (withCoordinates && isFolder) {
        const std::string picturePath =
            modelPath.substr(0, modelPath.size() - std::strlen(SceneModelName)) + ScenePictureName;
        std::string error;
        if (chdir(folder.c_str()) != 0)
            error = std::string("cannot enter its folder: ") + std::strerror(errno);
        if (error.empty()) MakeTexturePng(&png, &error);
        if (!error.empty()) {
            std::fprintf(stderr,
                         "polyview-tool export: cannot read %s: %s; the model is written without texture\n",
                         picturePath.c_str(), error.c_str());
            png.clear();
            status = 1;
        }
    }

    // OUT is opened first, so that where it is refused nothing is written
    // beside it, and written last, so that it never names a missing file.
    // The files beside it go beside the file it names (links followed),
    // under that file's name, where the file that names them finds them.
    OutputFile main;
    std::string error;
    if (!OpenOutputFile(out, &main, &error)) {
        std::fprintf(stderr, "polyview-tool export: cannot write '%s': %s\n", outPath, error.c_str());
        return 1;
    }
    if (*format->sidePicture && main.temporary.empty()) {
        std::fprintf(stderr,
                     "polyview-tool export: %s writes files beside '%s', which must then be a regular file "
                     "or a new name\n",
                     format->name, outPath);
        CloseOutputFile(&main, false, &error);
        return 1;
    }
    const std::string target = main.target;
    const std::string picturePath = WithoutExtension(target) + ".png";
    std::string pictureReference;
    if (!png.empty()) pictureReference = *format->sidePicture ? BaseName(picturePath) : "*0";
    const bool isGltf = format->exporter[0] == 'g';
    const std::vector<size_t> meshStarts =
        isGltf ? JoinSafeMeshStarts(drawn, withCoordinates) : std::vector<size_t>{0};
    std::unique_ptr<aiScene> scene = BuildScene(drawn, meshStarts, withCoordinates, pictureReference,
                                                *format->sidePicture ? std::vector<uint8_t>() : png);

    Assimp::Exporter exporter;
    MemoryFiles* files = new MemoryFiles();  // the exporter owns it
    exporter.SetIOHandler(files);
    if (exporter.Export(scene.get(), format->exporter, target) != aiReturn_SUCCESS) {
        std::fprintf(stderr, "polyview-tool export: the exporter failed: %s\n", exporter.GetErrorString());
        CloseOutputFile(&main, false, &error);
        return 1;
    }
    if (!png.empty() && *format->sidePicture)
        files->files.emplace_back(picturePath, new std::vector<uint8_t>(std::move(png)));
    // Each name once, so that no file replaces another.
    for (size_t i = 0; i < files->files.size(); ++i)
        for (size_t j = 0; j < i; ++j)
            if (files->files[i].first == files->files[j].first) {
                std::fprintf(stderr,
                             "polyview-tool export: '%s' would be written twice: choose another OUT\n",
                             files->files[i].first.c_str());
                CloseOutputFile(&main, false, &error);
                return ExitUsage;
            }
    std::string written;
    const std::vector<uint8_t>* mainBytes = nullptr;
    for (const auto& file : files->files) {
        if (file.first == target) {
            mainBytes = file.second.get();
        } else if (!WriteOutputBytes(file.first, file.second->data(), file.second->size(), &error)) {
            std::fprintf(stderr, "polyview-tool export: cannot write '%s': %s\n", file.first.c_str(),
                         error.c_str());
            CloseOutputFile(&main, false, &error);
            return 1;
        } else {
            written += (written.empty() ? "; with " : ", ") + BaseName(file.first);
        }
    }
    if (!mainBytes) {
        std::fprintf(stderr, "polyview-tool export: the exporter wrote no '%s'\n", outPath);
        CloseOutputFile(&main, false, &error);
        return 1;
    }
    if (!FinishOutputFile(&main, mainBytes->data(), mainBytes->size(), &error)) {
        std::fprintf(stderr, "polyview-tool export: cannot write '%s': %s\n", outPath, error.c_str());
        return 1;
    }

    std::string kept = withCoordinates ? "positions and texture coordinates" : "positions";
    if (withCoordinates && pictureReference.empty())
        kept += isFolder ? ", no picture" : ", no picture (a folder gives its Wall.bmp)";
    if (!pictureReference.empty())
        kept +=
            std::string(", the texture as a PNG ") + (*format->sidePicture ? format->sidePicture : "inside");
    std::string dropped;
    if (mode == 1 && !format->hasTexture)
        dropped = std::string("; dropped: the texture coordinates and the texture (") + format->name +
                  " has no texture)";
    std::printf("%s: %zu triangle%s, mode %d, %s: %s%s%s\n", outPath, drawn.kept.size(),
                drawn.kept.size() == 1 ? "" : "s", int(mode), format->name, kept.c_str(), dropped.c_str(),
                written.c_str());
    if (std::fflush(stdout) != 0) {
        std::perror("polyview-tool export: writing the summary");
        return 1;
    }
    return status;
}

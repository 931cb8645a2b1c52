// Flattening an imported scene into convert's triangles.
#include "scene_triangles.h"

#include <assimp/scene.h>

#include <string>
#include <vector>

namespace {

bool IsUsableFace(const aiFace& face, unsigned vertexCount) {
    if (face.mNumIndices != 3) return false;  // points and lines
    for (int i = 0; i < 3; ++i)
        if (face.mIndices[i] >= vertexCount) return false;
    return true;
}

}  // namespace

SignedAxis MetadataAxis(const aiScene* scene, const char* axisKey, const char* signKey) {
    if (!scene->mMetaData) return 0;
    int32_t axis = -1, sign = 1;
    if (!scene->mMetaData->Get(std::string(axisKey), axis) || axis < 0 || axis > 2) return 0;
    scene->mMetaData->Get(std::string(signKey), sign);
    return sign < 0 ? -(axis + 1) : axis + 1;
}

uint64_t CountSceneTriangles(const aiScene* scene, bool* hasTextureCoordinates) {
    uint64_t count = 0;
    *hasTextureCoordinates = false;
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
        const aiMesh* source = scene->mMeshes[m];
        if (source->HasTextureCoords(0)) *hasTextureCoordinates = true;
        for (unsigned f = 0; f < source->mNumFaces; ++f)
            count += IsUsableFace(source->mFaces[f], source->mNumVertices);
    }
    return count;
}

bool FlattenSceneTriangles(const aiScene* scene,
                           const std::function<bool(const ModelTriangle* triangles, size_t count)>& take) {
    std::vector<ModelTriangle> chunk;
    chunk.reserve(4096);
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
        const aiMesh* source = scene->mMeshes[m];
        const aiVector3D* uv = source->HasTextureCoords(0) ? source->mTextureCoords[0] : nullptr;
        for (unsigned f = 0; f < source->mNumFaces; ++f) {
            const aiFace& face = source->mFaces[f];
            if (!IsUsableFace(face, source->mNumVertices)) continue;
            ModelTriangle triangle;
            for (int i = 0; i < 3; ++i) {
                unsigned index = face.mIndices[i];
                const aiVector3D& p = source->mVertices[index];
                ModelVertex& vertex = triangle.vertices[i];
                vertex.x = p.x;
                vertex.y = p.y;
                vertex.z = p.z;
                vertex.u = uv ? uv[index].x : 0.0f;
                vertex.v = uv ? uv[index].y : 0.0f;
            }
            chunk.push_back(triangle);
            if (chunk.size() == chunk.capacity()) {
                if (!take(chunk.data(), chunk.size())) return false;
                chunk.clear();
            }
        }
    }
    return chunk.empty() || take(chunk.data(), chunk.size());
}

// The triangles of a scene that the Open Asset Import Library read, as
// convert takes them: every mesh's faces of three valid corners, flattened in
// the scene's order (points and lines have no place in a triangle model).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "model/model.h"
#include "signed_axis.h"

struct aiScene;

// The usable triangles; `hasTextureCoordinates`: some mesh has a first set
// of texture coordinates.
uint64_t CountSceneTriangles(const aiScene* scene, bool* hasTextureCoordinates);

// Hands the usable triangles to `take` in chunks, in the scene's order (u, v
// are 0 where a mesh has no texture coordinates); stops, returning false,
// when `take` does.
bool FlattenSceneTriangles(const aiScene* scene,
                           const std::function<bool(const ModelTriangle* triangles, size_t count)>& take);

// The axis that a scene's metadata names (FBX states its axes this way); 0
// where it names none.
SignedAxis MetadataAxis(const aiScene* scene, const char* axisKey, const char* signKey);

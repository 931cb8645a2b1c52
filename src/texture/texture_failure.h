// The texture loader's reason for a failed load in words, as check,
// snapshot and the viewer's reload say it.
#pragma once

#include <string>

#include "texture/texture.h"

// "No such file or directory", "not a BMP, PNG, JPEG or GIF picture", ...;
// empty for a load that did not fail.
std::string DescribeTextureFailure(const TextureLoadReport& report);

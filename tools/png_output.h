// Writing OpenGL read-backs as PNG files.
#pragma once

#include <cstdint>
#include <string>

// Writes width x height RGBA pixels whose first row is the bottom one (as
// OpenGL reads them back) as a PNG with the top row first. With `keepAlpha`
// false the PNG is RGB. False on failure, with the reason in `error`.
bool WriteBottomUpPng(const std::string& path, const uint8_t* rgba, int32_t width, int32_t height,
                      bool keepAlpha, std::string* error);

// Makes a path given on the command line independent of later changes of
// the current directory.
std::string AbsolutePath(const std::string& path);

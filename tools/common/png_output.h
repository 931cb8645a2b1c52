// Writing OpenGL read-backs as PNG files, and reading PNG files back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Encodes width x height RGBA pixels whose first row is the bottom one (as
// OpenGL reads them back) as a PNG with the top row first, into `png`. With
// `keepAlpha` false the PNG is RGB. False on failure, with the reason in
// `error`.
bool EncodeBottomUpPng(const uint8_t* rgba, int32_t width, int32_t height, bool keepAlpha,
                       std::vector<uint8_t>* png, std::string* error);

// Writes the PNG that EncodeBottomUpPng makes to `path`, by the tool's
// output rules (output_file.h). False on failure, with the reason in `error`.
bool WriteBottomUpPng(const std::string& path, const uint8_t* rgba, int32_t width, int32_t height,
                      bool keepAlpha, std::string* error);

// The PNG at `path` as RGBA bytes, top row first; false when it cannot be
// read.
bool ReadPng(const std::string& path, int32_t* width, int32_t* height, std::vector<uint8_t>* rgba);

// Makes a path given on the command line independent of later changes of
// the current directory.
std::string AbsolutePath(const std::string& path);

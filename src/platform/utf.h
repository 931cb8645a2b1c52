// UTF-8 as the Win32 subset's code page conversions and polyview-tool's
// quoting read it, and the conversions for the subset's own strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Length of the UTF-8 sequence at p, with its code point in `code`; 0 when
// the bytes there are not UTF-8 (overlong, a surrogate, past U+10FFFF, cut
// short by `end`).
size_t DecodeUtf8(const char* p, const char* end, uint32_t* code);

// A NUL-terminated text through the subset's CP_UTF8 conversions, whole.
std::u16string WidenUtf8(const char* text);
std::string NarrowUtf16(const char16_t* wide);

// UTF-8 to UTF-16 and back for the Win32 subset's wide calls. A byte that is
// not UTF-8 becomes the unit 0xDC00 + byte and comes back as that byte, so a
// name in any bytes survives the way through UTF-16.
#include "platform/utf.h"

#include <cstring>

#include "platform/win32_api.h"

size_t DecodeUtf8(const char* p, const char* end, uint32_t* code) {
    const unsigned char first = static_cast<unsigned char>(*p);
    const size_t length = first < 0x80 ? 1 : first >= 0xC2 && first < 0xE0 ? 2
                        : first >= 0xE0 && first < 0xF0 ? 3 : first >= 0xF0 && first < 0xF5 ? 4 : 0;
    if (length == 0 || size_t(end - p) < length) return 0;
    uint32_t value = length == 1 ? first : first & (0x7Fu >> length);
    for (size_t k = 1; k < length; ++k) {
        const unsigned char next = static_cast<unsigned char>(p[k]);
        if ((next & 0xC0) != 0x80) return 0;
        value = value << 6 | (next & 0x3F);
    }
    if ((length == 3 && (value < 0x800 || (value >= 0xD800 && value <= 0xDFFF))) ||
        (length == 4 && (value < 0x10000 || value > 0x10FFFF)))
        return 0;
    *code = value;
    return length;
}

namespace {

// Appends `count` units to `out` (of `capacity`; 0: only counted). False
// when they do not fit.
template <typename Unit>
bool Put(const Unit* units, int count, Unit* out, int capacity, int* used) {
    if (capacity > 0) {
        if (*used + count > capacity) return false;
        std::memcpy(out + *used, units, sizeof(Unit) * size_t(count));
    }
    *used += count;
    return true;
}

}  // namespace

int WINAPI MultiByteToWideChar(UINT codePage, DWORD, LPCSTR text, int length, LPWSTR wide, int capacity) {
    if (codePage != CP_UTF8 || !text || capacity < 0) return 0;
    const char* p = text;
    const char* end = p + (length < 0 ? std::strlen(text) + 1 : size_t(length));  // -1: the NUL too
    int used = 0;
    while (p < end) {
        uint32_t code = 0;
        size_t taken = DecodeUtf8(p, end, &code);
        WCHAR units[2] = {WCHAR(code), 0};
        int count = 1;
        if (taken == 0) {
            units[0] = WCHAR(0xDC00 + static_cast<unsigned char>(*p));
            taken = 1;
        } else if (code >= 0x10000) {
            units[0] = WCHAR(0xD800 + ((code - 0x10000) >> 10));
            units[1] = WCHAR(0xDC00 + ((code - 0x10000) & 0x3FF));
            count = 2;
        }
        if (!Put(units, count, wide, capacity, &used)) return 0;
        p += taken;
    }
    return used;
}

int WINAPI WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR wide, int length, LPSTR text, int capacity,
                               LPCSTR, BOOL* usedDefaultChar) {
    if (usedDefaultChar) *usedDefaultChar = FALSE;
    if (codePage != CP_UTF8 || !wide || capacity < 0) return 0;
    size_t units = 0;
    if (length < 0) {
        while (wide[units]) ++units;
        ++units;  // the NUL too
    } else {
        units = size_t(length);
    }
    int used = 0;
    for (size_t i = 0; i < units; ++i) {
        uint32_t code = wide[i];
        char bytes[4];
        int count;
        if (code >= 0xDC80 && code <= 0xDCFF) {  // a byte that was not UTF-8
            bytes[0] = char(code - 0xDC00);
            count = 1;
        } else {
            if (code >= 0xD800 && code <= 0xDBFF && i + 1 < units && wide[i + 1] >= 0xDC00 &&
                wide[i + 1] <= 0xDFFF)
                code = 0x10000 + ((code - 0xD800) << 10) + (wide[++i] - 0xDC00);
            // Other lone surrogates keep their three bytes.
            count = code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
            static const unsigned char lead[5] = {0, 0, 0xC0, 0xE0, 0xF0};
            for (int k = count - 1; k > 0; --k, code >>= 6) bytes[k] = char(0x80 | (code & 0x3F));
            bytes[0] = char(lead[count] | code);
        }
        if (!Put(bytes, count, text, capacity, &used)) return 0;
    }
    return used;
}

std::u16string WidenUtf8(const char* text) {
    std::u16string wide(size_t(MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0)), u'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, &wide[0], int(wide.size()));
    wide.pop_back();  // the NUL, which the string keeps of its own
    return wide;
}

std::string NarrowUtf16(const char16_t* wide) {
    std::string text(size_t(WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, &text[0], int(text.size()), nullptr, nullptr);
    text.pop_back();
    return text;
}

// The reference scanner: the %d and %f conversions and the literal matching
// of glibc's sscanf, byte for byte. Plain code, no knowledge of the model format.
#include "model/scan.h"

#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace {

bool IsSpace(unsigned char c) { return IsScanSpace(c); }

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

int HexValue(unsigned char c) {
    if (IsDigit(c)) return c - '0';
    c |= 0x20;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c | 0x20) : c; }

// Reads the decimal exponent digits after 'e' / 'p' with saturation. Returns
// false when no digit follows (the exponent is then not part of the number).
bool ReadExponent(const char*& p, const char* end, long& exponent) {
    const char* q = p;
    bool negative = false;
    if (q < end && (*q == '+' || *q == '-')) negative = *q++ == '-';
    if (q >= end || !IsDigit(*q)) return false;
    long value = 0;
    for (; q < end && IsDigit(*q); ++q)
        if (value < 100000000) value = value * 10 + (*q - '0');
    exponent = negative ? -value : value;
    p = q;
    return true;
}

// Hexadecimal mantissa (after "0x") into float, following glibc's rounding:
// round to nearest even, except that for results below the normal range the
// bit just past the 24-bit mantissa is dropped instead of joining the sticky
// bits (glibc's quirk for subnormal hexadecimal input).
float ConvertHex(const char* p, const char* end, bool negative) {
    // Collect the first 64 significant bits; the rest only count as sticky.
    uint64_t bits = 0;
    int bitCount = 0;       // significant bits held in `bits`
    bool sticky = false;    // a 1 bit beyond those held
    long exponent = 0;      // value = bits * 2^(exponent) before adjustment
    bool seenDot = false, anyDigit = false;
    for (; p < end; ++p) {
        if (*p == '.') {
            if (seenDot) break;
            seenDot = true;
            continue;
        }
        int d = HexValue((unsigned char)*p);
        if (d < 0) break;
        anyDigit = true;
        if (bitCount == 0 && d == 0) {
            if (seenDot) exponent -= 4;
            continue;
        }
        if (bitCount <= 60) {
            bits = (bits << 4) | unsigned(d);
            bitCount = bitCount == 0 ? 4 : bitCount + 4;
            if (seenDot) exponent -= 4;
        } else {
            if (d != 0) sticky = true;
            if (!seenDot) exponent += 4;
        }
    }
    float zero = negative ? -0.0f : 0.0f;
    if (!anyDigit || bits == 0) return zero;
    long written = 0;
    if (p < end && Lower(*p) == 'p') {
        const char* q = p + 1;
        if (ReadExponent(q, end, written)) exponent += written;
    }
    // Normalise to a 24-bit mantissa m with round bit r and sticky s.
    int top = 63;
    while (!(bits >> top)) --top;
    long e = exponent + top;  // value = 1.xxx * 2^e
    uint32_t m;
    bool r, s = sticky;
    if (top >= 24) {
        int drop = top - 23;
        m = uint32_t(bits >> drop);
        r = (bits >> (drop - 1)) & 1;
        if (drop > 1 && (bits & ((uint64_t(1) << (drop - 1)) - 1))) s = true;
    } else {
        m = uint32_t(bits << (23 - top));
        r = false;
    }
    float inf = negative ? -std::numeric_limits<float>::infinity()
                         : std::numeric_limits<float>::infinity();
    if (e > 127) return inf;
    if (e < -150) return zero;
    uint32_t result;
    if (e >= -126) {
        if (r && (s || (m & 1))) {
            if (++m == (1u << 24)) {
                m >>= 1;
                if (++e > 127) return inf;
            }
        }
        result = (uint32_t(e + 127) << 23) | (m & 0x7FFFFF);
    } else {
        int shift = int(-126 - e);  // 1 to 24
        bool round = (m >> (shift - 1)) & 1;
        bool more = s || (m & ((1u << (shift - 1)) - 1));
        m >>= shift;
        if (round && (more || (m & 1))) ++m;
        result = m;  // carrying into the exponent field gives the smallest normal
    }
    if (negative) result |= 0x80000000u;
    float f;
    std::memcpy(&f, &result, sizeof f);
    return f;
}

// Decimal mantissa with optional exponent, correctly rounded (as glibc).
#if defined(_LIBCPP_VERSION) && !defined(__cpp_lib_to_chars)
// libc++ before 17 (the web build's) reads no floating point with
// from_chars; its C library's strtof (musl's, correctly rounded) reads the
// same decimal numbers, given the number's text alone.
bool ConvertDecimal(const char* p, const char* end, bool negative, float* out) {
    std::string text(p, end);
    char* stop = nullptr;
    float value = std::strtof(text.c_str(), &stop);
    if (stop == text.c_str()) return false;
    *out = negative ? -value : value;
    return true;
}
#else
bool ConvertDecimal(const char* p, const char* end, bool negative, float* out) {
    float value = 0;
    std::from_chars_result r = std::from_chars(p, end, value, std::chars_format::general);
    if (r.ec == std::errc::invalid_argument) return false;
    if (r.ec == std::errc::result_out_of_range) {
        // Overflow gives infinity, underflow zero; tell them apart by the
        // decimal magnitude: position of the first non-zero digit plus exponent.
        long magnitude = 0, intDigits = 0, leadingZeros = 0;
        bool seenDot = false, seenNonZero = false;
        const char* q = p;
        for (; q < r.ptr; ++q) {
            if (*q == '.') { seenDot = true; continue; }
            if (!IsDigit(*q)) break;
            if (*q != '0') seenNonZero = true;
            if (!seenDot && seenNonZero) ++intDigits;
            if (seenDot && !seenNonZero) ++leadingZeros;
        }
        long exponent = 0;
        if (q < r.ptr && Lower(*q) == 'e') {
            ++q;
            ReadExponent(q, r.ptr, exponent);
        }
        magnitude = exponent + (intDigits > 0 ? intDigits : -leadingZeros);
        value = magnitude > 0 ? std::numeric_limits<float>::infinity() : 0.0f;
    }
    *out = negative ? -value : value;
    return true;
}
#endif

}  // namespace

bool ConvertFloatText(const char* text, size_t length, float* out) {
    const char* p = text;
    const char* end = text + length;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    if (p == end) return false;
    char c = Lower(*p);
    if (c == 'n' || c == 'i') {
        if (end - p < 3) return false;
        float v = c == 'n' ? std::numeric_limits<float>::quiet_NaN()
                           : std::numeric_limits<float>::infinity();
        *out = std::copysign(v, negative ? -1.0f : 1.0f);
        return true;
    }
    if (c == '0' && end - p >= 2 && Lower(p[1]) == 'x') {
        *out = ConvertHex(p + 2, end, negative);
        return true;
    }
    return ConvertDecimal(p, end, negative, out);
}

namespace {

// One pass of glibc's %f collection over [p, end). On success moves `p` past
// the characters taken and returns 1; on a conversion failure returns 0 and
// leaves `p` alone.
int ScanFloat(const char*& p, const char* end, float* target) {
    const char* start = p;
    const char* q = p;
    auto at = [&](const char* x) { return x < end ? *x : '\0'; };
    bool gotSign = false;
    if (at(q) == '-' || at(q) == '+') {
        gotSign = true;
        ++q;
        if (q >= end) return 0;
    }
    char c = Lower(at(q));
    if (c == 'n') {
        if (Lower(at(q + 1)) != 'a' || Lower(at(q + 2)) != 'n') return 0;
        q += 3;
    } else if (c == 'i') {
        if (Lower(at(q + 1)) != 'n' || Lower(at(q + 2)) != 'f') return 0;
        q += 3;
        if (Lower(at(q)) == 'i') {
            static const char rest[] = "inity";
            for (int i = 0; i < 5; ++i)
                if (Lower(at(q + i)) != rest[i]) return 0;
            q += 5;
        }
    } else {
        char expChar = 'e';
        bool hex = false, gotDigit = false, gotDot = false, gotE = false;
        if (at(q) == '0') {
            ++q;
            if (Lower(at(q)) == 'x') {
                hex = true;
                expChar = 'p';
                ++q;
            } else {
                gotDigit = true;
            }
        }
        for (; q < end; ++q) {
            char d = *q;
            if (IsDigit(d)) {
                gotDigit = true;
            } else if (!gotE && hex && HexValue((unsigned char)d) >= 0) {
                gotDigit = true;
            } else if (gotE && Lower(q[-1]) == expChar && (d == '-' || d == '+')) {
                // The exponent's sign, right after its letter: taken, and
                // nothing to note.
            } else if (gotDigit && !gotE && Lower(d) == expChar) {
                gotE = gotDot = true;
            } else if (!gotDot && d == '.') {
                gotDot = true;
            } else {
                break;
            }
        }
        size_t taken = size_t(q - start);
        if (taken == size_t(gotSign) || (hex && taken == 2 + size_t(gotSign))) return 0;
    }
    float value;
    if (!ConvertFloatText(start, size_t(q - start), &value)) return 0;
    *target = value;
    p = q;
    return 1;
}

int ScanInt(const char*& p, const char* end, int32_t* target) {
    const char* q = p;
    bool negative = false;
    if (q < end && (*q == '-' || *q == '+')) negative = *q++ == '-';
    const char* digits = q;
    int64_t value = 0;
    bool overflow = false;
    for (; q < end && IsDigit(*q); ++q) {
        value = value * 10 + (*q - '0');
        if (value > int64_t(INT32_MAX) + 1) {
            overflow = true;
            value = int64_t(INT32_MAX) + 2;
        }
    }
    if (q == digits) return 0;
    if (negative) value = -value;
    if (overflow || value > INT32_MAX || value < INT32_MIN) return 0;
    *target = int32_t(value);
    p = q;
    return 1;
}

}  // namespace

int ScanTextInto(const char* text, size_t length, const char* format, void* const* targets) {
    const char* nul = static_cast<const char*>(std::memchr(text, '\0', length));
    const char* p = text;
    const char* end = nul ? nul : text + length;
    int done = 0;
    bool skipSpace = false;
    for (const char* f = format; *f; ++f) {
        if (*f != '%') {
            if (IsSpace((unsigned char)*f)) {
                skipSpace = true;
                continue;
            }
            if (p >= end) return done ? done : -1;
            if (skipSpace) {
                while (p < end && IsSpace((unsigned char)*p)) ++p;
                if (p >= end) return done ? done : -1;
                skipSpace = false;
            }
            if (*p != *f) return done;
            ++p;
            continue;
        }
        ++f;
        while (p < end && IsSpace((unsigned char)*p)) ++p;
        skipSpace = false;
        if (p >= end) return done ? done : -1;
        int assigned;
        if (*f == 'd')
            assigned = ScanInt(p, end, static_cast<int32_t*>(targets[done]));
        else if (*f == 'f')
            assigned = ScanFloat(p, end, static_cast<float*>(targets[done]));
        else
            return done;  // unsupported directive
        if (!assigned) return done;
        ++done;
    }
    return done;
}

int ScanText(const char* text, size_t length, const char* format, ...) {
    void* targets[16];
    int count = 0;
    for (const char* f = format; *f && count < 16; ++f)
        if (*f == '%' && (f[1] == 'd' || f[1] == 'f')) ++count;
    va_list args;
    va_start(args, format);
    for (int i = 0; i < count; ++i) targets[i] = va_arg(args, void*);
    va_end(args);
    return ScanTextInto(text, length, format, targets);
}

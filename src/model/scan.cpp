#include "model/scan.h"

#include "model/model_format.h"

#include <charconv>
#include <cfloat>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

bool IsSpace(unsigned char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

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

#if FLT_EVAL_METHOD == 0 && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
#define POLYVIEW_FAST_DECIMAL 1

// Eight text bytes as one word, the first byte lowest, each XORed with '0':
// digits become 0 to 9, every other byte something else.
uint64_t LoadDigitWord(const char* p) {
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word ^ 0x3030303030303030ull;
}

// Number of leading digit bytes in a word from LoadDigitWord (0 to 8).
int LeadingDigitCount(uint64_t word) {
    // A byte's top bit ends up set when it is 10 or more; the mask keeps the
    // addition from carrying into the next byte.
    uint64_t nonDigit =
        (((word & 0x7F7F7F7F7F7F7F7Full) + 0x7676767676767676ull) | word) & 0x8080808080808080ull;
    return nonDigit ? __builtin_ctzll(nonDigit) >> 3 : 8;
}

// Value of the first `count` (1 to 8) digits of a word from LoadDigitWord.
inline __attribute__((always_inline)) uint32_t DigitWordValue(uint64_t word, int count) {
    word <<= 8 * (8 - count);  // drop the bytes past the digits; zeros lead
    word = word * 10 + (word >> 8);  // even bytes: two-digit groups
    word = (((word & 0x000000FF000000FFull) * (100 + (1000000ull << 32))) +
            (((word >> 16) & 0x000000FF000000FFull) * (1 + (10000ull << 32)))) >> 32;
    return uint32_t(word);
}

// Appends the run of digits at `q` to `mantissa`, advancing `q`. False when
// the number grows past 19 digits (leading zeros included). With `Padded`,
// eight bytes past `end` may be read (and are not taken).
template <bool Padded>
inline __attribute__((always_inline)) bool TakeDigits(const char*& q, const char* end,
                                                      uint64_t& mantissa, int& digits) {
    static const uint64_t Scale[] = {1,      10,      100,      1000,     10000,
                                     100000, 1000000, 10000000, 100000000};
    while (Padded ? q < end : end - q >= 8) {
        uint64_t word = LoadDigitWord(q);
        int count = LeadingDigitCount(word);
        if (Padded && count > end - q) count = int(end - q);
        if (count == 0) return true;
        digits += count;
        if (digits > 19) return false;
        mantissa = mantissa * Scale[count] + DigitWordValue(word, count);
        q += count;
        if (count < 8) return true;
    }
    for (; q < end && IsDigit(*q); ++q) {
        if (++digits > 19) return false;
        mantissa = mantissa * 10 + unsigned(*q - '0');
    }
    return true;
}

// Plain decimal numbers ("-12.345678", "1.5e-3") with at most 19 digits and a
// power of ten within 22 are converted here, in one pass: the mantissa (at
// most 2^53) times the power of ten (exact for positive powers, correctly
// rounded for negative ones) is within two units in the last place of the
// exact value, a hundred million times finer than float precision. Rounding
// that double to float gives the correctly rounded float unless it lies within
// that distance of a point halfway between two floats. Anything else, and the
// near-halfway case, returns false with nothing consumed and takes the general
// path. The characters taken are those the general collection takes for such
// a number.
//
// ConvertDecimalParts is that conversion, of mantissa * 10^exponent: false,
// with nothing stored, when the parts are out of its range or the value lies
// near a halfway point.
inline bool ConvertDecimalParts(uint64_t mantissa, int exponent, bool negative, float* target) {
    static const double PowersOfTen[] = {
        1e-22, 1e-21, 1e-20, 1e-19, 1e-18, 1e-17, 1e-16, 1e-15, 1e-14, 1e-13, 1e-12,
        1e-11, 1e-10, 1e-9,  1e-8,  1e-7,  1e-6,  1e-5,  1e-4,  1e-3,  1e-2,  1e-1,
        1e0,   1e1,   1e2,   1e3,   1e4,   1e5,   1e6,   1e7,   1e8,   1e9,   1e10,
        1e11,  1e12,  1e13,  1e14,  1e15,  1e16,  1e17,  1e18,  1e19,  1e20,  1e21, 1e22};
    if (mantissa > (uint64_t(1) << 53) || exponent < -22 || exponent > 22) return false;
    double d = double(mantissa) * PowersOfTen[exponent + 22];
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    // Halfway between two floats the 29 bits below float precision read
    // 1000...0; keep a margin of 8 on either side.
    if (((bits & 0x1FFFFFFFu) - (0x10000000u - 8)) <= 16) return false;
    float f = float(d);
    *target = negative ? -f : f;
    return true;
}

template <bool Padded>
inline __attribute__((always_inline)) bool ScanPlainDecimal(const char*& p, const char* end,
                                                            float* target) {
    const char* q = p;
    if (q >= end) return false;
    // Signs are as frequent as not in coordinates: no branch on them.
    bool negative = *q == '-';
    q += negative | (*q == '+');
    if (end - q >= 2 && q[0] == '0' && (q[1] | 0x20) == 'x') return false;
    uint64_t mantissa = 0;
    int exponent = 0;  // value = mantissa * 10^exponent
    int digits = 0;
    if (!TakeDigits<Padded>(q, end, mantissa, digits)) return false;
    if (q < end && *q == '.') {
        ++q;
        int before = digits;
        if (!TakeDigits<Padded>(q, end, mantissa, digits)) return false;
        exponent = before - digits;
    }
    if (digits == 0) return false;
    if (q < end && (*q | 0x20) == 'e') {
        const char* e = q + 1;
        bool negativeExponent = false;
        if (e < end && (*e == '-' || *e == '+')) negativeExponent = *e++ == '-';
        if (e >= end || !IsDigit(*e)) return false;  // marker without digits
        int value = 0;
        for (; e < end && IsDigit(*e); ++e) {
            if (value > 1000) return false;
            value = value * 10 + (*e - '0');
        }
        exponent += negativeExponent ? -value : value;
        q = e;
    }
    if (!ConvertDecimalParts(mantissa, exponent, negative, target)) return false;
    p = q;
    return true;
}

#ifdef __SSE2__
#define POLYVIEW_DELIMITED_DECIMAL 1

// Byte classes of the 16 bytes at `p`, one bit per byte.
struct ByteClasses {
    unsigned digit, space, point;
};

inline __attribute__((always_inline)) ByteClasses ClassifyBytes(const char* p) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i fromZero = _mm_sub_epi8(bytes, _mm_set1_epi8('0'));
    ByteClasses classes;
    classes.digit = unsigned(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(fromZero, _mm_set1_epi8(9)), fromZero)));
    classes.space = unsigned(_mm_movemask_epi8(_mm_or_si128(
        _mm_cmpeq_epi8(bytes, _mm_set1_epi8(' ')),
        _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8('\t' - 1)),
                      _mm_cmplt_epi8(bytes, _mm_set1_epi8('\r' + 1))))));
    classes.point = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('.'))));
    return classes;
}

// The rest of ScanDelimitedDecimal, for a number with an exponent: the same
// form and the same conversion as ScanPlainDecimal's.
__attribute__((noinline)) const char* ScanDelimitedExponent(const char* p, unsigned length,
                                                            const ByteClasses& classes, float* target) {
    const bool negative = p[0] == '-';
    const unsigned start = negative | (p[0] == '+');
    const unsigned number = (1u << length) - (1u << start);
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const unsigned markers = number & unsigned(_mm_movemask_epi8(
        _mm_cmpeq_epi8(_mm_or_si128(bytes, _mm_set1_epi8(0x20)), _mm_set1_epi8('e'))));
    if (!markers) return nullptr;
    const unsigned mantissaEnd = unsigned(__builtin_ctz(markers));
    const unsigned mantissa = number & ((1u << mantissaEnd) - 1);
    const unsigned points = classes.point & mantissa;
    const unsigned pointAt = points ? unsigned(__builtin_ctz(points)) : mantissaEnd;
    const unsigned intDigits = pointAt - start;
    const unsigned fracDigits = mantissaEnd - pointAt - (points != 0);
    unsigned at = mantissaEnd + 1;
    const bool isNegative = p[at] == '-';
    at += isNegative | (p[at] == '+');
    const unsigned expDigits = length - at;
    const unsigned expMask = number & ~((1u << at) - 1);
    if (((classes.digit | points) & mantissa) != mantissa || (points & (points - 1)) ||
        intDigits + fracDigits == 0 || intDigits > 8 || fracDigits > 8 || at > length ||
        expDigits == 0 || expDigits > 4 || (classes.digit & expMask) != expMask)
        return nullptr;
    const int value = int(DigitWordValue(LoadDigitWord(p + at), int(expDigits)));
    const int exponent = (isNegative ? -value : value) - int(fracDigits);
    static const uint64_t Scale[] = {1,      10,      100,      1000,     10000,
                                     100000, 1000000, 10000000, 100000000};
    const uint64_t whole = intDigits ? DigitWordValue(LoadDigitWord(p + start), int(intDigits)) : 0;
    const uint64_t fraction =
        fracDigits ? DigitWordValue(LoadDigitWord(p + pointAt + 1), int(fracDigits)) : 0;
    if (!ConvertDecimalParts(whole * Scale[fracDigits] + fraction, exponent, negative, target))
        return nullptr;
    return p + length;
}

// A plain decimal that white space (or the end of the text) ends, read from
// the classes of its bytes in one 16-byte view rather than byte by byte: its
// end and point are found at once. The form is [sign] digits [. digits]
// [e [sign] digits], with at most 8 digits before and after the point and 4
// in the exponent, within 16 bytes. It is converted as ScanPlainDecimal
// converts it (the same mantissa and power of ten), so it takes exactly the
// numbers of that form that ScanPlainDecimal takes. Needs 16 readable bytes
// at `p` (read, never taken past `end`). On success stores the value and
// returns where the next item begins: past the white space after the number.
// Null, with nothing stored, for anything else.
inline __attribute__((always_inline)) const char* ScanDelimitedDecimal(const char* p, const char* end,
                                                                       float* target) {
    static const uint64_t Scale[] = {1,      10,      100,      1000,     10000,
                                     100000, 1000000, 10000000, 100000000};
    static const double InverseScale[] = {1e0, 1e-1, 1e-2, 1e-3, 1e-4, 1e-5, 1e-6, 1e-7, 1e-8};
    const ptrdiff_t avail = end - p;
    if (avail <= 0) return nullptr;
    const ByteClasses classes = ClassifyBytes(p);
    // The number ends where white space or the end of the text begins.
    const unsigned stop = classes.space | (avail < 16 ? ~0u << avail : 0u) | 0x10000u;
    const unsigned length = unsigned(__builtin_ctz(stop));
    const bool negative = p[0] == '-';
    const unsigned start = negative | (p[0] == '+');
    const unsigned number = (1u << length) - (1u << start);
    const unsigned points = classes.point & number;
    const unsigned pointAt = points ? unsigned(__builtin_ctz(points)) : length;
    const unsigned intDigits = pointAt - start;
    const unsigned fracDigits = length - pointAt - (points != 0);
    const char* next;
    if (((classes.digit | points) & number) != number || (points & (points - 1)) ||
        intDigits + fracDigits == 0 || intDigits > 8 || fracDigits > 8 || length >= 16) {
        if (length >= 16) return nullptr;
        next = ScanDelimitedExponent(p, length, classes, target);
        if (!next) return nullptr;
    } else {
        const uint64_t wholeWord = LoadDigitWord(p + start);
        uint64_t mantissa;
        if (fracDigits == 0) {
            mantissa = DigitWordValue(wholeWord, int(intDigits));
        } else if (intDigits + fracDigits <= 8) {
            // Both parts in one word: the digits before the point, then those after.
            const uint64_t digits = (wholeWord & ((uint64_t(1) << (8 * intDigits)) - 1)) |
                                    (LoadDigitWord(p + pointAt + 1) << (8 * intDigits));
            mantissa = DigitWordValue(digits, int(intDigits + fracDigits));
        } else {
            mantissa = uint64_t(DigitWordValue(wholeWord, int(intDigits))) * Scale[fracDigits] +
                       DigitWordValue(LoadDigitWord(p + pointAt + 1), int(fracDigits));
        }
        // As ConvertDecimalParts, for a power of ten from 0 to -8.
        if (mantissa > (uint64_t(1) << 53)) return nullptr;
        const double d = double(int64_t(mantissa)) * InverseScale[fracDigits];
        uint64_t bits;
        std::memcpy(&bits, &d, sizeof bits);
        if (((bits & 0x1FFFFFFFu) - (0x10000000u - 8)) <= 16) return nullptr;
        const float f = float(d);
        *target = negative ? -f : f;
        next = p + length;
    }
    // Past the white space after the number, when it ends in view.
    const unsigned after = ~stop & 0xFFFFu & (~0u << length);
    if (after) return p + __builtin_ctz(after);
    while (next < end && IsSpace((unsigned char)*next)) ++next;
    return next;
}
#endif
#endif

// One pass of glibc's %f collection over [p, end). On success moves `p` past
// the characters taken and returns 1; on a conversion failure returns 0 and
// leaves `p` alone.
int ScanFloat(const char*& p, const char* end, float* target) {
#ifdef POLYVIEW_FAST_DECIMAL
    if (ScanPlainDecimal<false>(p, end, target)) return 1;
#endif
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

namespace {

template <bool Padded>
bool ScanVertexLineWith(const char* text, size_t length, bool textured, float* values) {
#ifdef POLYVIEW_FAST_DECIMAL
    // A NUL stops every step below (it is neither a digit, white space nor a
    // literal), so a line that gets through holds none before its end.
    const char* p = text;
    const char* end = text + length;
    auto skipSpace = [&]() __attribute__((always_inline)) {
        // Mostly one blank: take it before the general loop.
        if (p < end && *p == ' ') ++p;
        while (p < end && IsSpace((unsigned char)*p)) ++p;
    };
    // A number and the white space after it.
    auto number = [&](float* target) __attribute__((always_inline)) {
#ifdef POLYVIEW_DELIMITED_DECIMAL
        if (Padded) {
            if (const char* next = ScanDelimitedDecimal(p, end, target)) {
                p = next;
                return true;
            }
        }
#endif
        if (!ScanPlainDecimal<Padded>(p, end, target)) return false;
        skipSpace();
        return true;
    };
    constexpr size_t vertexLength = sizeof VertexKeyword - 1;
    constexpr size_t texCoordLength = sizeof TexCoordKeyword - 1;
    if (length < vertexLength || std::memcmp(p, VertexKeyword, vertexLength) != 0) return false;
    p += vertexLength;
    float got[5];
    skipSpace();
    if (!number(&got[0]) || !number(&got[1]) || !number(&got[2])) return false;
    if (textured) {
        if (end - p < 2 || p[0] != '>' || p[1] != '>') return false;
        p += 2;
        skipSpace();
        if (size_t(end - p) < texCoordLength || std::memcmp(p, TexCoordKeyword, texCoordLength) != 0)
            return false;
        p += texCoordLength;
        skipSpace();
        if (!number(&got[3]) || !number(&got[4])) return false;
    }
    if (textured)
        std::memcpy(values, got, 5 * sizeof(float));
    else
        std::memcpy(values, got, 3 * sizeof(float));
    return true;
#else
    (void)text, (void)length, (void)textured, (void)values;
    return false;
#endif
}

}  // namespace

bool ScanVertexLine(const char* text, size_t length, bool textured, float* values) {
    return ScanVertexLineWith<false>(text, length, textured, values);
}

bool ScanPaddedVertexLine(const char* text, size_t length, bool textured, float* values) {
    return ScanVertexLineWith<true>(text, length, textured, values);
}

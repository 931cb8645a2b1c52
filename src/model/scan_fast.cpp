// The vertex-line fast path: plain decimal numbers word at a time (and in
// 16-byte views with SSE2), for the lines that the model's writers write;
// and the loads' one entry, which tries it first.
#include "model/scan_vertex.h"

#include <cfloat>
#include <cstring>

#include "model/model_keywords.h"
#include "model/scan.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

#if FLT_EVAL_METHOD == 0 && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
#define POLYVIEW_FAST_DECIMAL 1

// 10^n for the digit counts of one word.
constexpr uint64_t DigitScale[] = {1,      10,      100,      1000,     10000,
                                   100000, 1000000, 10000000, 100000000};

// Eight text bytes as one word, the first byte lowest, each XORed with '0':
// digits become 0 to 9, every other byte something else.
uint64_t LoadDigitWord(const char* p) {
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word ^ 0x3030303030303030ull;
}

// The top bit of each byte of a word from LoadDigitWord that is no digit:
// a byte's top bit ends up set when it is 10 or more; the mask keeps the
// addition from carrying into the next byte.
inline uint64_t NonDigitBytes(uint64_t word) {
    return (((word & 0x7F7F7F7F7F7F7F7Full) + 0x7676767676767676ull) | word) & 0x8080808080808080ull;
}

// Number of leading digit bytes in a word from LoadDigitWord (0 to 8).
int LeadingDigitCount(uint64_t word) {
    const uint64_t nonDigit = NonDigitBytes(word);
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
    while (Padded ? q < end : end - q >= 8) {
        uint64_t word = LoadDigitWord(q);
        int count = LeadingDigitCount(word);
        if (Padded && count > end - q) count = int(end - q);
        if (count == 0) return true;
        digits += count;
        if (digits > 19) return false;
        mantissa = mantissa * DigitScale[count] + DigitWordValue(word, count);
        q += count;
        if (count < 8) return true;
    }
    for (; q < end && IsDigit(*q); ++q) {
        if (++digits > 19) return false;
        mantissa = mantissa * 10 + unsigned(*q - '0');
    }
    return true;
}

// mantissa * 10^exponent as the correctly rounded float, for a mantissa of
// at most 2^53 and a power of ten within 22: the mantissa times the power of
// ten (exact for positive powers, correctly rounded for negative ones) is
// within two units in the last place of the exact value, a hundred million
// times finer than float precision. Rounding that double to float gives the
// correctly rounded float unless it lies within that distance of a point
// halfway between two floats. False, with nothing stored, when the parts are
// out of range or the value lies near a halfway point.
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

// A plain decimal number ("-12.345678", "1.5e-3") with at most 19 digits,
// converted in one pass by ConvertDecimalParts; it takes the characters that
// the reference collection takes for such a number. Anything else, and the
// near-halfway case, returns false with nothing consumed.
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
    const uint64_t whole = intDigits ? DigitWordValue(LoadDigitWord(p + start), int(intDigits)) : 0;
    const uint64_t fraction =
        fracDigits ? DigitWordValue(LoadDigitWord(p + pointAt + 1), int(fracDigits)) : 0;
    if (!ConvertDecimalParts(whole * DigitScale[fracDigits] + fraction, exponent, negative, target))
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
            mantissa = uint64_t(DigitWordValue(wholeWord, int(intDigits))) * DigitScale[fracDigits] +
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
    while (next < end && IsScanSpace((unsigned char)*next)) ++next;
    return next;
}
#endif
#endif

// When `text` is a vertex line of the mode's form whose numbers are plain
// decimals, stores 3 values (5 when `textured`) into `values` exactly as
// ScanTextInto with VertexLineFormat(textured) would, and returns true.
// Otherwise stores nothing and returns false. `Padded`: at least 16 more
// readable bytes follow the text, so that each number is read from one view
// of 16 bytes, and numbers at the end of the line eight digits at a time like
// the rest.
template <bool Padded>
inline __attribute__((always_inline)) bool ScanVertexLineWith(const char* text, size_t length, bool textured, float* values) {
#ifdef POLYVIEW_FAST_DECIMAL
    // A NUL stops every step below (it is neither a digit, white space nor a
    // literal), so a line that gets through holds none before its end.
    const char* p = text;
    const char* end = text + length;
    auto skipSpace = [&]() __attribute__((always_inline)) {
        // Mostly one blank: take it before the general loop.
        if (p < end && *p == ' ') ++p;
        while (p < end && IsScanSpace((unsigned char)*p)) ++p;
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

int ScanVertexFields(const char* text, size_t length, bool textured, bool isPadded, float* hold,
                     bool* isFast) {
    *isFast = isPadded ? ScanVertexLineWith<true>(text, length, textured, hold)
                       : ScanVertexLineWith<false>(text, length, textured, hold);
    if (*isFast) return textured ? 5 : 3;
    void* const targets[5] = {&hold[0], &hold[1], &hold[2], &hold[3], &hold[4]};
    return ScanTextInto(text, length, VertexLineFormat(textured), targets);
}

namespace {

// Past the digits at q, eight at a time where the text allows.
inline __attribute__((always_inline)) const char* SkipDigits(const char* q, const char* end) {
#ifdef POLYVIEW_FAST_DECIMAL
    while (end - q >= 8) {
        const uint64_t word = LoadDigitWord(q);
        if (const uint64_t nonDigit = NonDigitBytes(word)) return q + (__builtin_ctzll(nonDigit) >> 3);
        q += 8;
    }
#endif
    while (q < end && IsDigit(*q)) ++q;
    return q;
}

// Past a decimal number that the fast path has taken at q.
inline __attribute__((always_inline)) const char* SkipTakenDecimal(const char* q, const char* end) {
    q += q < end && (*q == '-' || *q == '+');
    q = SkipDigits(q, end);
    if (q < end && *q == '.') q = SkipDigits(q + 1, end);
    if (q < end && (*q | 0x20) == 'e') {
        const char* e = q + 1;
        e += e < end && (*e == '-' || *e == '+');
        const char* digits = SkipDigits(e, end);
        if (digits != e) q = digits;  // "1e" is no number of the fast path: it ends at the 'e'
    }
    return q;
}

inline __attribute__((always_inline)) const char* SkipScanSpace(const char* p, const char* end) {
    while (p < end && IsScanSpace((unsigned char)*p)) ++p;
    return p;
}

}  // namespace

bool IsTakenLineSpaced(const char* text, size_t length, bool textured) {
    const char* p = text + sizeof VertexKeyword - 1;
    const char* const end = text + length;
    const int count = textured ? 5 : 3;
    for (int i = 0; i < count; ++i) {
        p = SkipScanSpace(p, end);
        if (i == 3) p = SkipScanSpace(SkipScanSpace(p + 2, end) + sizeof TexCoordKeyword - 1, end);  // ">>"
        p = SkipTakenDecimal(p, end);
        if (p < end && !IsScanSpace((unsigned char)*p) && !(i == 2 && textured && *p == '>')) return false;
    }
    return SkipScanSpace(p, end) == end;
}

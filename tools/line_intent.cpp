// check's lenient reading of a model line: what a person who wrote it meant,
// whatever the scanner makes of it, for explaining where the two differ.
#include "line_intent.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "model/model_keywords.h"
#include "model/scan.h"
#include "platform/utf.h"

namespace {

bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c | 0x20) : c;
}

// A number that ends where a plain number must end.
bool TakePlainNumber(const char*& p, const char* end) {
    size_t n = PlainNumberLength(p, end);
    if (!n) return false;
    p += n;
    return p == end || IsScanSpace((unsigned char)*p) || *p == '>';
}

}  // namespace

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

const char* SkipSpace(const char* p, const char* end) {
    while (p < end && IsScanSpace((unsigned char)*p)) ++p;
    return p;
}

bool StartsWith(const char* p, const char* end, const char* word) {
    size_t n = std::strlen(word);
    return size_t(end - p) >= n && std::memcmp(p, word, n) == 0;
}

bool EqualsIgnoringCase(const std::string& a, const char* b) {
    size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

namespace {

// Characters that a terminal shows as nothing, or as something else than
// they are: C1 controls, format characters and other invisible ones.
bool IsInvisible(uint32_t code) {
    static const uint32_t ranges[][2] = {
        {0x80, 0x9F},       {0xAD, 0xAD},       {0x600, 0x605},     {0x61C, 0x61C},
        {0x6DD, 0x6DD},     {0x70F, 0x70F},     {0x8E2, 0x8E2},     {0x180E, 0x180E},
        {0x200B, 0x200F},   {0x2028, 0x202E},   {0x2060, 0x206F},   {0xFE00, 0xFE0F},
        {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD}, {0x110CD, 0x110CD},
        {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0000, 0xE0FFF},
    };
    for (const auto& range : ranges)
        if (code >= range[0] && code <= range[1]) return true;
    return false;
}

}  // namespace

std::string Quote(const char* p, const char* end, size_t limit) {
    std::string text;
    size_t characters = 0;
    for (; p < end && characters < limit && *p != '\n' && *p != '\r'; ++characters) {
        char escape[16] = "";
        uint32_t code = 0;
        size_t length = DecodeUtf8(p, end, &code);
        if (length == 0 || code < 0x20 || code == 0x7F) {
            if (*p == '\t')
                std::strcpy(escape, "\\t");
            else
                std::snprintf(escape, sizeof escape, "\\x%02X", (unsigned char)*p);
            length = 1;
        } else if (IsInvisible(code)) {
            std::snprintf(escape, sizeof escape, code < 0x10000 ? "\\u%04X" : "\\U%08X", unsigned(code));
        }
        text += escape[0] ? std::string(escape) : std::string(p, length);
        p += length;
    }
    if (p < end && *p != '\n' && *p != '\r') text += "...";
    return "'" + text + "'";
}

TextStart ClassifyTextStart(const char* bytes, size_t size) {
    const size_t markLength = sizeof Utf8ByteOrderMark - 1;
    if (size >= markLength && std::memcmp(bytes, Utf8ByteOrderMark, markLength) == 0) return TextStart::Utf8Mark;
    if (size >= 2 && (((unsigned char)bytes[0] == 0xFF && (unsigned char)bytes[1] == 0xFE) ||
                      ((unsigned char)bytes[0] == 0xFE && (unsigned char)bytes[1] == 0xFF)))
        return TextStart::Utf16;
    // Without a mark: every other byte of the first line NUL, the others not
    // all NUL (zeros alone are no text). A UTF-16 line feed is 0A 00 or 00 0A.
    const char* lf = static_cast<const char*>(std::memchr(bytes, '\n', size));
    const size_t line = lf ? size_t(lf - bytes) : size;
    if (line < 2) return TextStart::Plain;
    bool isNul[2] = {true, true}, hasText = false;
    for (size_t i = 0; i < line; ++i) {
        isNul[i % 2] = isNul[i % 2] && bytes[i] == '\0';
        hasText = hasText || bytes[i] != '\0';
    }
    return hasText && (isNul[0] || isNul[1]) ? TextStart::Utf16 : TextStart::Plain;
}

size_t PlainNumberLength(const char* p, const char* end) {
    const char* q = p;
    if (q < end && (*q == '+' || *q == '-')) ++q;
    auto word = [&](const char* w) {
        size_t n = std::strlen(w);
        if (size_t(end - q) < n) return false;
        for (size_t i = 0; i < n; ++i)
            if (Lower(q[i]) != w[i]) return false;
        return true;
    };
    if (q < end && (Lower(*q) == 'i' || Lower(*q) == 'n')) {
        if (word("infinity")) return size_t(q + 8 - p);
        if (word("inf") || word("nan")) return size_t(q + 3 - p);
        return 0;
    }
    bool hex = end - q >= 2 && q[0] == '0' && Lower(q[1]) == 'x';
    if (hex) q += 2;
    auto digit = [&](char c) { return hex ? IsHexDigit(c) : IsDigit(c); };
    size_t digits = 0;
    while (q < end && digit(*q)) ++q, ++digits;
    if (q < end && *q == '.') {
        ++q;
        while (q < end && digit(*q)) ++q, ++digits;
    }
    if (digits == 0) return 0;
    if (q < end && Lower(*q) == (hex ? 'p' : 'e')) {
        const char* e = q + 1;
        if (e < end && (*e == '+' || *e == '-')) ++e;
        if (e >= end || !IsDigit(*e)) return 0;  // "1e": not plain
        while (e < end && IsDigit(*e)) ++e;
        q = e;
    }
    return size_t(q - p);
}

bool IsPlainVertexLine(const char* p, const char* end, bool textured) {
    if (!StartsWith(p, end, VertexKeyword)) return false;
    p += sizeof VertexKeyword - 1;
    for (int i = 0; i < 3; ++i) {
        p = SkipSpace(p, end);
        if (!TakePlainNumber(p, end)) return false;
    }
    if (textured) {
        p = SkipSpace(p, end);
        if (!StartsWith(p, end, ">>")) return false;
        p = SkipSpace(p + 2, end);
        if (!StartsWith(p, end, TexCoordKeyword)) return false;
        p += sizeof TexCoordKeyword - 1;
        for (int i = 0; i < 2; ++i) {
            p = SkipSpace(p, end);
            if (!TakePlainNumber(p, end)) return false;
        }
    }
    return SkipSpace(p, end) == end;
}

Token ClassifyNumber(const std::string& text) {
    Token token{text, TokenKind::NotNumber, 0.0f};
    const char* p = text.data();
    const char* end = p + text.size();
    size_t plain = PlainNumberLength(p, end);
    if (plain == text.size()) {
        token.kind = TokenKind::Plain;
        ConvertFloatText(p, text.size(), &token.meant);
        return token;
    }
    size_t comma = text.find(',');
    if (comma != std::string::npos && text.find(',', comma + 1) == std::string::npos) {
        std::string dotted = text;
        dotted[comma] = '.';
        bool digitNear =
            (comma > 0 && IsDigit(text[comma - 1])) || (comma + 1 < text.size() && IsDigit(text[comma + 1]));
        if (digitNear && PlainNumberLength(dotted.data(), dotted.data() + dotted.size()) == dotted.size()) {
            token.kind = TokenKind::DecimalComma;
            ConvertFloatText(dotted.data(), dotted.size(), &token.meant);
            return token;
        }
    }
    if (plain > 0 ||
        (!text.empty() && (IsDigit(text[0]) || text[0] == '-' || text[0] == '+' || text[0] == '.')))
        token.kind = TokenKind::Malformed;
    return token;
}

VertexIntent ReadVertexIntent(const char* p, const char* end) {
    VertexIntent intent;
    intent.blankBefore = p < end && IsScanSpace((unsigned char)*p);
    p = SkipSpace(p, end);
    if (p == end) {
        intent.blankOnly = true;
        return intent;
    }
    if (*p == '#') {
        intent.commentLike = true;
        return intent;
    }
    const char* w = p;
    while (p < end && IsLetter(*p)) ++p;
    intent.keyword.assign(w, p);
    if (!EqualsIgnoringCase(intent.keyword, VertexKeyword)) {
        // Not a vertex line; keep the rest as it stands for the message.
        intent.trailing.assign(w, end);
        return intent;
    }
    int section = 0;  // 0: coordinates, 1: texture coordinates
    for (;;) {
        p = SkipSpace(p, end);
        if (p == end) break;
        const char* start = p;
        if (*p == '#') {
            intent.trailing.assign(start, end);  // a note after the line's fields
            break;
        }
        if (*p == '>') {
            while (p < end && *p == '>') ++p;
            if (section == 0 && intent.arrow.empty() && intent.texWord.empty()) {
                intent.arrow.assign(start, p);
                continue;
            }
        } else if (IsLetter(*p)) {
            while (p < end && IsLetter(*p)) ++p;
            std::string word(start, p);
            bool isNumberWord = EqualsIgnoringCase(word, "inf") || EqualsIgnoringCase(word, "infinity") ||
                                EqualsIgnoringCase(word, "nan");
            bool isTexPlace = !intent.arrow.empty() || intent.numbers.size() >= 3;
            if (!isNumberWord && section == 0 && intent.texWord.empty() && isTexPlace) {
                intent.texWord = word;
                section = 1;
                continue;
            }
            if (isNumberWord && (p == end || IsScanSpace((unsigned char)*p) || *p == '>')) {
                (section ? intent.texNumbers : intent.numbers).push_back(ClassifyNumber(word));
                continue;
            }
            while (p < end && !IsScanSpace((unsigned char)*p) && *p != '>') ++p;
            (section ? intent.texNumbers : intent.numbers).push_back(ClassifyNumber(std::string(start, p)));
            continue;
        } else {
            while (p < end && !IsScanSpace((unsigned char)*p) && *p != '>') ++p;
            if (!intent.arrow.empty() && intent.texWord.empty()) section = 1;
            (section ? intent.texNumbers : intent.numbers).push_back(ClassifyNumber(std::string(start, p)));
            continue;
        }
        // Something in a place where nothing more is expected.
        intent.trailing.assign(start, end);
        break;
    }
    return intent;
}

// check's lenient reading of a model line: what a person who wrote it meant,
// whatever the scanner makes of it, so that check can say where they differ.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Length of a number written the plain way at p (sign; digits with an
// optional fraction and exponent; "0x" hexadecimal; inf, infinity or nan),
// or 0. Such a number reads the same to every reader, the loader included.
size_t PlainNumberLength(const char* p, const char* end);

// A vertex line written exactly in the form the mode asks for (textured:
// with "TKoord"), every number plain and standing apart, nothing but white
// space after the last one: the loader reads such a line as written.
bool IsPlainVertexLine(const char* p, const char* end, bool textured);

enum class TokenKind {
    Plain,         // a plain number
    DecimalComma,  // a plain number with a comma for its point
    Malformed,     // begins like a number, but is not a plain one
    NotNumber,
};

struct Token {
    std::string text;
    TokenKind kind;
    float meant;  // Plain and DecimalComma only
};

// What one word of a vertex line seems to be.
Token ClassifyNumber(const std::string& text);

// What a vertex line seems to mean, read leniently.
struct VertexIntent {
    bool blankBefore = false;       // white space before the first word
    bool commentLike = false;       // blanks, then '#'
    bool blankOnly = false;         // nothing but white space
    std::string keyword;            // the first word
    std::vector<Token> numbers;     // before ">>" or "TKoord"
    std::string arrow;              // the run of '>' found, if any
    std::string texWord;            // the word after the first numbers, if any
    std::vector<Token> texNumbers;  // after it
    std::string trailing;           // a second run of text that fits nowhere
};

VertexIntent ReadVertexIntent(const char* p, const char* end);

enum class TextStart {
    Plain,
    Utf8Mark,  // a UTF-8 byte-order mark, which the loader skips
    Utf16,     // UTF-16 text, which the loader does not decode
};

// What the first bytes of a model file (its first line, or as much of it as
// `size` holds) say about its encoding: a UTF-8 or UTF-16 byte-order mark,
// or every other byte of the first line NUL.
TextStart ClassifyTextStart(const char* bytes, size_t size);

// The small lexicon of check's reading and messages.
bool IsDigit(char c);
bool IsLetter(char c);
const char* SkipSpace(const char* p, const char* end);  // white space as the scanner sees it
bool StartsWith(const char* p, const char* end, const char* word);
bool EqualsIgnoringCase(const std::string& a, const char* b);

// The text in single quotes for a message: at most `limit` characters and
// "..." when more follow, up to the line's end. What a terminal shows as
// nothing is escaped: a tab as \t, other control characters and bytes that
// are not UTF-8 as \xHH, format and other invisible characters (a byte-order
// mark, U+200B) as \uHHHH or \UHHHHHHHH.
std::string Quote(const char* p, const char* end, size_t limit = 40);
// A word or number of the line, quoted the same way: a token may be as long
// as the line.
inline std::string Quote(const std::string& text) {
    return Quote(text.data(), text.data() + text.size());
}

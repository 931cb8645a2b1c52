// check's lenient reading of model lines, against the scanner: a line it calls
// plain must read as written, and the fast path's own verdict must agree.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "line_intent.h"
#include "model/model_keywords.h"
#include "model/scan.h"
#include "model/scan.h"
#include "model/scan_vertex.h"

namespace {

TEST(LineIntent, QuotesShowWhatTerminalsShowAsNothingEscaped) {
    auto quote = [](const std::string& text, size_t limit = 40) {
        return Quote(text.data(), text.data() + text.size(), limit);
    };
    EXPECT_EQ(quote("\xEF\xBB\xBFUcgen\tSay\x01\x7F\n"), "'\\uFEFFUcgen\\tSay\\x01\\x7F'");
    EXPECT_EQ(quote("a\xE2\x80\x8B" "b\xC2\x85" "c\xF3\xA0\x80\x81"), "'a\\u200Bb\\u0085c\\U000E0001'");
    // Letters are shown as they are, one character each; bytes that are not
    // UTF-8 are escaped one by one.
    EXPECT_EQ(quote("\xC3\xBC\xC4\x9F\xD0\xBC\xE4\xB8\x80", 3), "'\xC3\xBC\xC4\x9F\xD0\xBC...'");
    EXPECT_EQ(quote("\xC4\xFF\xED\xA0\x80"), "'\\xC4\\xFF\\xED\\xA0\\x80'");
}

TEST(LineIntent, PlainNumbersAreThoseEveryReaderTakesWhole) {
    const struct {
        const char* text;
        size_t length;
    } cases[] = {
        {"1", 1},       {"-1.5e3", 6}, {"+.5", 3},      {"5.", 2},    {"0x1.8p3", 7}, {"INF", 3},
        {"infinity", 8}, {"nan(1)", 3}, {"1e", 0},       {"1e+", 0},   {".", 0},       {"-", 0},
        {"1,5", 1},     {"+-1", 0},    {"0x1p", 0},     {"12abc", 2}, {"infinit", 3},
    };
    for (const auto& c : cases) {
        const char* end = c.text + std::strlen(c.text);
        EXPECT_EQ(PlainNumberLength(c.text, end), c.length) << c.text;
        if (c.length != std::strlen(c.text)) continue;
        // A plain number is read whole, and as ClassifyNumber reads it.
        float scanned = -7;
        const std::string line = std::string(c.text) + " ";
        ASSERT_EQ(ScanText(line.data(), line.size(), "%f ", &scanned), 1) << c.text;
        Token token = ClassifyNumber(c.text);
        EXPECT_EQ(token.kind, TokenKind::Plain) << c.text;
        EXPECT_EQ(std::memcmp(&token.meant, &scanned, sizeof scanned), 0) << c.text;
    }
    EXPECT_EQ(ClassifyNumber("1,25").kind, TokenKind::DecimalComma);
    EXPECT_EQ(ClassifyNumber("1,25").meant, 1.25f);
    EXPECT_EQ(ClassifyNumber("1.2.3").kind, TokenKind::Malformed);
    EXPECT_EQ(ClassifyNumber("TKoord").kind, TokenKind::NotNumber);
}

TEST(LineIntent, VertexLinesSplitIntoTheirParts) {
    auto read = [](const std::string& line) { return ReadVertexIntent(line.data(), line.data() + line.size()); };
    VertexIntent full = read("Vertex 1 -2 3e1 >> TKoord 0.5 1\n");
    EXPECT_EQ(full.keyword, "Vertex");
    ASSERT_EQ(full.numbers.size(), 3u);
    EXPECT_EQ(full.numbers[2].meant, 30.0f);
    EXPECT_EQ(full.arrow, ">>");
    EXPECT_EQ(full.texWord, "TKoord");
    EXPECT_EQ(full.texNumbers.size(), 2u);
    EXPECT_EQ(full.trailing, "");

    VertexIntent odd = read("vertex 1 2,5 3 > TKord 4 # note");
    EXPECT_EQ(odd.keyword, "vertex");
    EXPECT_EQ(odd.numbers[1].kind, TokenKind::DecimalComma);
    EXPECT_EQ(odd.arrow, ">");
    EXPECT_EQ(odd.texWord, "TKord");
    EXPECT_EQ(odd.texNumbers.size(), 1u);
    EXPECT_EQ(odd.trailing, "# note");

    EXPECT_TRUE(read(" # a comment after a blank").commentLike);
    EXPECT_TRUE(read(" \t ").blankOnly);
    EXPECT_TRUE(read(" Vertex 1 2 3").blankBefore);
    EXPECT_EQ(read("KaplamaKullanimi >> 1").trailing, "KaplamaKullanimi >> 1");
}

// Random lines near the vertex forms: numbers that may run together
// ("1-2"), blanks or none, the textured part or pieces of it, something
// after the end. Where the scanner's fast path takes a line, its verdict on
// spacing must be check's; and a line check calls plain must scan whole, to
// the values check reads in it.
TEST(LineIntent, PlainLinesReadAsWrittenAndAgreeWithTheFastPath) {
    static const char* const numbers[] = {"1", "-2.5", "+3", "4e2", "5.", ".5", "-0.000001", "7e-3",
                                          "1e", "0x1p3", "inf", "nan", "1,5", "9-8", "1.2.3", ""};
    static const char* const blanks[] = {" ", " ", " ", "", "  ", "\t"};
    static const char* const endings[] = {"", "\n", " \n", " x", " # c", "\r\n", "7", ">"};
    std::mt19937 random(19);
    auto pick = [&](const auto& items) { return items[random() % (sizeof items / sizeof items[0])]; };
    int taken = 0, plain = 0;
    for (int i = 0; i < 40000; ++i) {
        const bool textured = random() % 4 != 0;
        std::string line = random() % 20 ? "Vertex" : "vertex";
        for (int k = 0; k < 3; ++k) line += std::string(pick(blanks)) + pick(numbers);
        if (textured || random() % 4 == 0) {
            line += std::string(pick(blanks)) + (random() % 10 ? ">>" : ">") + pick(blanks);
            line += random() % 10 ? "TKoord" : "TKord";
            for (int k = 0; k < 2; ++k) line += std::string(pick(blanks)) + pick(numbers);
        }
        line += pick(endings);
        const char* end = line.data() + line.size();
        const bool isPlain = IsPlainVertexLine(line.data(), end, textured);
        float values[5];
        bool isFast = false;
        ScanVertexFields(line.data(), line.size(), textured, false, values, &isFast);
        if (isFast) {
            ++taken;
            EXPECT_EQ(IsTakenLineSpaced(line.data(), line.size(), textured), isPlain) << line;
        }
        if (!isPlain) continue;
        ++plain;
        const int full = textured ? 5 : 3;
        void* targets[5] = {&values[0], &values[1], &values[2], &values[3], &values[4]};
        ASSERT_EQ(ScanTextInto(line.data(), line.size(), VertexLineFormat(textured), targets), full) << line;
        VertexIntent intent = ReadVertexIntent(line.data(), end);
        // A number right after a keyword ("Vertexnan", "TKoordinf") reads as part of it here.
        if (intent.keyword != "Vertex" || (textured && intent.texWord != "TKoord")) continue;
        std::vector<Token> tokens = intent.numbers;
        tokens.insert(tokens.end(), intent.texNumbers.begin(), intent.texNumbers.end());
        ASSERT_EQ(tokens.size(), size_t(full)) << line;
        for (int f = 0; f < full; ++f)
            EXPECT_EQ(std::memcmp(&tokens[size_t(f)].meant, &values[f], sizeof(float)), 0) << line << " field " << f;
    }
    // Both verdicts came up often enough to mean something.
    EXPECT_GT(taken, 2000);
    EXPECT_GT(plain, 2000);
}

}  // namespace

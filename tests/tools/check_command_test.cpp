// polyview-tool check, run as the real program: its findings line by line,
// its geometry warnings against the renderer, its picture check.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "../model/model_test_util.h"
#include "snapshot_frame.h"
#include "tool_runner.h"

namespace {

struct Diagnostic {
    long line;  // 0: none given
    std::string severity;
    std::string text;
};

struct CheckOutput {
    int status;
    std::vector<Diagnostic> diagnostics;
    std::string summary;  // the last line
    std::string raw;
};

CheckOutput ParseCheck(const ToolResult& r) {
    CheckOutput out{r.status, {}, "", r.out + r.err};
    std::istringstream lines(r.out);
    std::string line;
    static const std::regex withLine(R"(^[^:]+:(\d+): (warning|error|note): (.*)$)");
    static const std::regex withoutLine(R"(^[^:]+: (warning|error|note): (.*)$)");
    std::smatch m;
    while (std::getline(lines, line)) {
        if (std::regex_match(line, m, withLine))
            out.diagnostics.push_back({std::stol(m[1]), m[2], m[3]});
        else if (std::regex_match(line, m, withoutLine))
            out.diagnostics.push_back({0, m[1], m[2]});
        else
            out.summary = line;
    }
    return out;
}

// Number of warnings and errors (notes do not count).
int Problems(const CheckOutput& out) {
    int n = 0;
    for (const Diagnostic& d : out.diagnostics) n += d.severity != "note";
    return n;
}

// True when a diagnostic at `line` of `severity` mentions every piece.
bool Has(const CheckOutput& out, long line, const std::string& severity,
         const std::vector<std::string>& pieces) {
    for (const Diagnostic& d : out.diagnostics) {
        if (d.line != line || d.severity != severity) continue;
        bool all = true;
        for (const std::string& piece : pieces) all = all && d.text.find(piece) != std::string::npos;
        if (all) return true;
    }
    return false;
}

// A model in mode 0 with these vertex lines.
std::string PlainModel(int count, const std::string& vertices) {
    return "UcgenSayisi >> " + std::to_string(count) + "\nKaplamaKullanimi >> 0\n" + vertices;
}

}  // namespace

class CheckCommand : public ModelFileTest {
protected:
    CheckOutput Check(const std::string& contents) {
        std::string path = Write(contents, "model.m");
        return ParseCheck(RunTool("check '" + path + "'"));
    }
};

TEST_F(CheckCommand, QuotesOnlyFragmentsOfLongText) {
    // Words and numbers of 10 MB, in each place check quotes from.
    const std::string word(10000000, 'a'), digits(10000000, '7');
    for (const std::string& text :
         {"UcgenSayisi >> " + digits + "\nKaplamaKullanimi >> 0\n",
          "Ucgen" + word + " >> 1\nKaplamaKullanimi >> 0\n",
          "UcgenSayisi >> 1\nKaplamaKullanimi >> 0\nVertex nan(" + word + " 1 1\nVertex 1 " + word +
              " 0\nVertex 1,5" + digits + " 1 " + digits + "\n",
          "UcgenSayisi >> 1\nKaplamaKullanimi >> 1\nVertex 1 2 3 " + word + "\nVertex 1 2 3 >> " + word +
              "\nVertex 1 2 3 >> TKoord 1 2 " + word + "\n"}) {
        CheckOutput out = Check(text);
        EXPECT_GE(out.diagnostics.size(), 1u);
        size_t longest = 0;
        for (size_t at = 0, next; at < out.raw.size(); at = next + 1) {
            next = out.raw.find('\n', at);
            if (next == std::string::npos) next = out.raw.size();
            longest = std::max(longest, next - at);
        }
        EXPECT_LT(longest, 400u) << out.raw.substr(0, 2000);
    }
}

TEST_F(CheckCommand, CleanFilesAreSilent) {
    CheckOutput textured = Check(
        "# a comment\n\nUcgenSayisi >> 2\n# between\nKaplamaKullanimi >> 1\n"
        "Vertex -1 -1 0 >> TKoord 0 0\nVertex 1 -1 0 >> TKoord 1 0\n\nVertex 0 1 0>>TKoord 0.5 1\n"
        "Vertex -1.5e-1 +2 -0.25 >> TKoord 0x1p-1 1\nVertex1 0 0 >>  TKoord 0 0\n"
        "Vertex 0 0 1\t>> TKoord 1 1 # inline note\n# trailing comment\n");
    EXPECT_EQ(textured.status, 0) << textured.raw;
    EXPECT_EQ(Problems(textured), 0) << textured.raw;
    EXPECT_EQ(textured.summary, dir_ + "/model.m: 2 triangles, mode 1, 0 warnings, 0 errors");

    CheckOutput plain = Check(
        "UcgenSayisi >> 1\r\nKaplamaKullanimi >> 0\r\n"
        "Vertex 0 0 0\r\nVertex 1 0 0\r\nVertex 0 1 0");
    EXPECT_EQ(plain.status, 0) << plain.raw;
    EXPECT_TRUE(plain.diagnostics.empty()) << plain.raw;
    EXPECT_EQ(plain.summary, dir_ + "/model.m: 1 triangle, mode 0, 0 warnings, 0 errors");
}

TEST_F(CheckCommand, ByteOrderMarksAndUTF16) {
    const std::string mark = "\xEF\xBB\xBF";
    const std::string model = PlainModel(1, "Vertex 0 0 0\r\nVertex 1 0 0\r\nVertex 0 1 0\r\n");
    CheckOutput out = Check(mark + "# saved by Notepad\r\n" + model);
    EXPECT_EQ(out.status, 0) << out.raw;
    ASSERT_EQ(out.diagnostics.size(), 1u) << out.raw;
    EXPECT_TRUE(Has(out, 1, "note", {"the file begins with a UTF-8 byte-order mark; it is skipped"})) << out.raw;
    // Only the first is skipped; the second begins the count line.
    CheckOutput twice = Check(mark + mark + model);
    EXPECT_TRUE(Has(twice, 1, "error", {"found '\\uFEFFUcgenSayisi >> 1'"})) << twice.raw;

    std::string little = "\xFF\xFE", big;  // UTF-16 with a byte-order mark, and without
    for (char c : model) little += {c, '\0'}, big += {'\0', c};
    for (const std::string& text : {little, big}) {
        CheckOutput utf16 = Check(text);
        ASSERT_EQ(utf16.diagnostics.size(), 1u) << utf16.raw;
        EXPECT_TRUE(Has(utf16, 1, "error", {"the file is UTF-16 text", "save it as UTF-8 or ANSI"})) << utf16.raw;
        EXPECT_EQ(utf16.summary, dir_ + "/model.m: 0 triangles, mode 0, 0 warnings, 1 error");
    }
}

TEST_F(CheckCommand, HeaderLinesThatDoNotMatch) {
    const std::string vertices = "Vertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\n";
    CheckOutput blank = Check("# c\n UcgenSayisi >> 1\nKaplamaKullanimi >> 0\n" + vertices);
    EXPECT_EQ(blank.status, 1);
    EXPECT_TRUE(Has(blank, 2, "error", {"count line", "a blank before the keyword", "reads as 0"}))
        << blank.raw;
    // With the count 0 the vertex lines are never read.
    EXPECT_TRUE(Has(blank, 4, "warning", {"3 data lines", "ignored"})) << blank.raw;
    EXPECT_EQ(blank.summary, dir_ + "/model.m: 0 triangles, mode 0, 1 warning, 1 error");

    CheckOutput letterCase = Check("UcgenSayisi >> 1\nkaplamakullanimi >> 1\n" + vertices);
    EXPECT_TRUE(Has(letterCase, 2, "error",
                    {"texture mode line", "other letter case", "'kaplamakullanimi'", "stays 0"}))
        << letterCase.raw;
    EXPECT_EQ(Problems(letterCase), 1) << letterCase.raw;

    CheckOutput arrows = Check("UcgenSayisi 1\nKaplamaKullanimi > 0\n" + vertices);
    EXPECT_TRUE(Has(arrows, 1, "error", {"'>>' missing"})) << arrows.raw;
    EXPECT_TRUE(Has(arrows, 2, "error", {"'>' instead of '>>'"})) << arrows.raw;

    CheckOutput numbers = Check("UcgenSayisi >> 2147483648\nKaplamaKullanimi >> x\n" + vertices);
    EXPECT_TRUE(Has(numbers, 1, "error", {"2147483648 is out of range"})) << numbers.raw;
    EXPECT_TRUE(Has(numbers, 2, "error", {"no number"})) << numbers.raw;

    CheckOutput swapped = Check("KaplamaKullanimi >> 0\nUcgenSayisi >> 1\n" + vertices);
    EXPECT_TRUE(Has(swapped, 1, "error", {"cannot be swapped"})) << swapped.raw;
    EXPECT_TRUE(Has(swapped, 2, "error", {"second count line"})) << swapped.raw;

    CheckOutput comment = Check("UcgenSayisi >> 1\n\t# mode follows\nKaplamaKullanimi >> 0\n" + vertices);
    EXPECT_TRUE(Has(comment, 2, "error", {"a blank before '#'", "data line, not a comment"})) << comment.raw;

    CheckOutput fraction = Check("UcgenSayisi >> 1.5\nKaplamaKullanimi >> 0\n" + vertices);
    EXPECT_EQ(fraction.status, 1);
    EXPECT_TRUE(Has(fraction, 1, "warning", {"read as 1", "'.5'"})) << fraction.raw;
}

TEST_F(CheckCommand, CountAndModeThatDrawNothing) {
    CheckOutput zero = Check("UcgenSayisi >> 0\nKaplamaKullanimi >> 0\n");
    EXPECT_EQ(zero.status, 1);
    EXPECT_TRUE(Has(zero, 1, "warning", {"count 0", "nothing is drawn"})) << zero.raw;

    CheckOutput negative = Check("UcgenSayisi >> -4\nKaplamaKullanimi >> 0\n");
    EXPECT_TRUE(Has(negative, 1, "warning", {"count -4"})) << negative.raw;
    EXPECT_EQ(negative.summary, dir_ + "/model.m: -4 triangles, mode 0, 1 warning, 0 errors");

    CheckOutput mode = Check("UcgenSayisi >> 1\n# m\nKaplamaKullanimi >> 2\nVertex 0 0 0\n");
    EXPECT_TRUE(Has(mode, 3, "warning", {"mode 2", "nothing is drawn"})) << mode.raw;
    EXPECT_TRUE(Has(mode, 4, "warning", {"1 data line", "mode 2 reads no vertex line"})) << mode.raw;
    EXPECT_EQ(Problems(mode), 2) << mode.raw;
}

TEST_F(CheckCommand, VertexLinesThatMatchOnlyInPart) {
    CheckOutput out = Check(
        "UcgenSayisi >> 3\nKaplamaKullanimi >> 1\n"
        "Vertex 1 2 -3 >> TKoord 0.5 0.25\n"  // 3
        "Vertex 1,5 2 -3 >> TKoord 1 1\n"     // 4: decimal comma in x
        "Vertex 4 5 -6\n"                     // 5: the plain form in mode 1
        "# comment\n"                         // 6
        "Vertex 7 8 -9 >> TKoord 0\n"         // 7: v missing
        "Vertex 7 8 -9 > TKoord 1 1\n"        // 8
        "Vertex 7 8 -9 >> tkoord 1 1\n"       // 9
        "Vertex 7 y -9 >> TKoord 1 1\n"       // 10
        "Vertex 1 2 -3 >> TKoord 0 1\n"       // 11
        "Vertex 1 2 -3 >> TKoord 0 1\n");     // 12
    EXPECT_EQ(out.status, 1);
    EXPECT_TRUE(
        Has(out, 4, "error",
            {"only in part", "decimal comma in x", "'1,5' reads as 1", "y, z, u, v kept from line 3"}))
        << out.raw;
    EXPECT_TRUE(Has(out, 5, "error", {"without texture coordinates in mode 1", "u, v kept from line 3"}))
        << out.raw;
    EXPECT_TRUE(Has(out, 7, "error", {"only 1 of the 2 texture coordinates", "v kept from line 3"}))
        << out.raw;
    EXPECT_TRUE(Has(out, 8, "error", {"'>' instead of '>>'", "u kept from line 7, v from line 3"}))
        << out.raw;
    EXPECT_TRUE(Has(out, 9, "error", {"'tkoord' in other letter case"})) << out.raw;
    EXPECT_TRUE(Has(out, 10, "error", {"y 'y' is not a number", "y, z kept from line 9"})) << out.raw;
    // Every triangle repeats a vertex, so none has area on screen.
    EXPECT_TRUE(Has(out, 3, "warning", {"3 triangles have no area on screen"})) << out.raw;
    EXPECT_EQ(Problems(out), 6 + 2) << out.raw;

    // What the messages claim is what the loader keeps.
    LoadModelFile((dir_ + "/model.m").c_str());
    ASSERT_EQ(ModelStore.triangleCount, 3);
    EXPECT_EQ(Vertex(1).x, 1.0f);  // line 4: the integer part
    EXPECT_EQ(Vertex(1).y, 2.0f);  // y, z, u, v from line 3
    EXPECT_EQ(Vertex(1).u, 0.5f);
    EXPECT_EQ(Vertex(2).u, 0.5f);  // line 5: u, v from line 3
    EXPECT_EQ(Vertex(2).v, 0.25f);
    EXPECT_EQ(Vertex(3).u, 0.0f);  // line 7: u read, v from line 3
    EXPECT_EQ(Vertex(3).v, 0.25f);
}

TEST_F(CheckCommand, VertexLinesThatMatchNothing) {
    CheckOutput out = Check(
        "UcgenSayisi >> 2\nKaplamaKullanimi >> 0\n"
        " Vertex 0 0 0\n"      // 3: nothing read yet: all 0
        "Vertex 1 2 3\n"       // 4
        "  # commented out\n"  // 5
        "vertex 4 5 6\n"       // 6
        "  \n"                 // 7
        "Point 1 1 1\n");      // 8
    EXPECT_TRUE(
        Has(out, 3, "error", {"matches nothing", "a blank before 'Vertex'", "x, y, z never given (0)"}))
        << out.raw;
    EXPECT_TRUE(Has(out, 5, "error", {"matches nothing", "a blank before '#'", "repeats line 4"})) << out.raw;
    EXPECT_TRUE(Has(out, 6, "error", {"'vertex' in other letter case", "repeats line 4"})) << out.raw;
    EXPECT_TRUE(Has(out, 7, "error", {"a line of blanks only is a data line", "repeats line 4"})) << out.raw;
    EXPECT_TRUE(Has(out, 8, "error", {"not a vertex line", "'Point 1 1 1'"})) << out.raw;
    EXPECT_TRUE(Has(out, 3, "warning", {"2 triangles have no area on screen"})) << out.raw;
    EXPECT_EQ(Problems(out), 5 + 2) << out.raw;
}

TEST_F(CheckCommand, TheOtherVertexFormAndTrailingText) {
    CheckOutput plain = Check(
        "UcgenSayisi >> 1\nKaplamaKullanimi >> 0\n"
        "Vertex 0 0 0 >> TKoord 1 1\nVertex 1 0 0\nVertex 0 1 0,5\n");
    EXPECT_TRUE(Has(plain, 3, "warning", {"texture coordinates are ignored in mode 0"})) << plain.raw;
    EXPECT_TRUE(Has(plain, 5, "error", {"decimal comma in z", "'0,5' reads as 0"})) << plain.raw;
    EXPECT_EQ(Problems(plain), 2) << plain.raw;

    CheckOutput textured = Check(
        "UcgenSayisi >> 1\nKaplamaKullanimi >> 1\n"
        "Vertex 0 0 0 >> TKoord 1 1 1\nVertex 1 0 0 >> TKoord 1 1e\n"
        "Vertex 0 1 0 >> TKoord 1 1 oops\n");
    EXPECT_TRUE(Has(textured, 3, "warning", {"'1' after v is ignored"})) << textured.raw;
    EXPECT_TRUE(Has(textured, 4, "warning", {"v '1e' is not a plain number", "reads as 1"})) << textured.raw;
    EXPECT_TRUE(Has(textured, 5, "warning", {"'oops' after v is ignored"})) << textured.raw;
    EXPECT_EQ(Problems(textured), 3) << textured.raw;

    // Numbers run together read as two; a trailing one then looks like z.
    CheckOutput merged = Check("UcgenSayisi >> 1\nKaplamaKullanimi >> 0\n"
                               "Vertex 1-1 1 1\nVertex 1 0 0\nVertex 0 1.5.5 0\n");
    EXPECT_TRUE(Has(merged, 3, "warning", {"x '1-1' is not a plain number"})) << merged.raw;
    EXPECT_TRUE(Has(merged, 5, "warning", {"y '1.5.5' is not a plain number"})) << merged.raw;
}

TEST_F(CheckCommand, FileEndsAndLinesLeftOver) {
    CheckOutput early = Check(
        "UcgenSayisi >> 3\nKaplamaKullanimi >> 0\n"
        "Vertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nVertex 0 2 0\n# end\n");
    EXPECT_TRUE(Has(early, 7, "error", {"ends after 4 of 9 vertex lines", "holds the 1 triangle given whole",
                                        "not the 3 of the count"}))
        << early.raw;
    EXPECT_EQ(early.summary, dir_ + "/model.m: 1 triangle, mode 0, 0 warnings, 1 error");
    EXPECT_EQ(Problems(early), 1) << early.raw;

    CheckOutput header = Check("UcgenSayisi >> 1\n");
    EXPECT_TRUE(Has(header, 1, "error", {"ends before the texture mode line"})) << header.raw;

    CheckOutput empty = Check("# nothing here\n\n");
    EXPECT_TRUE(Has(empty, 2, "error", {"no data line"})) << empty.raw;
    EXPECT_EQ(empty.status, 1);

    CheckOutput extra = Check(
        "UcgenSayisi >> 1\nKaplamaKullanimi >> 0\n"
        "Vertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\n  \n\t# note\n"
        "Vertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\n");
    // Blank and commented-out lines at the end mean nothing; real ones are lost.
    EXPECT_TRUE(Has(extra, 8, "warning", {"3 data lines", "ignored", "needs 3 vertex lines"})) << extra.raw;
    EXPECT_EQ(Problems(extra), 1) << extra.raw;
}

TEST_F(CheckCommand, NulBytesAndNumbersThatAreNotFinite) {
    CheckOutput out = Check("UcgenSayisi >> 1\nKaplamaKullanimi >> 0\nVertex 0 0 0\nVertex 1 2" +
                            std::string(1, '\0') + " 3\nVertex inf 1 -1e99\n");
    EXPECT_TRUE(Has(out, 4, "warning", {"NUL byte in column 11"})) << out.raw;
    EXPECT_TRUE(Has(out, 4, "error", {"only 2 of the 3 coordinates", "z kept from line 3"})) << out.raw;
    EXPECT_TRUE(Has(out, 5, "warning", {"not finite", "x inf", "z -inf"})) << out.raw;
}

TEST_F(CheckCommand, LineNumbersCountEveryLineTheReaderReads) {
    // A long comment is one line, CR LF is one line end, and empty lines count.
    std::string longComment = "#" + std::string(3000, 'c') + "\r\n";
    CheckOutput out = Check("UcgenSayisi >> 1\r\n" + longComment + "\r\nKaplamaKullanimi >> 0\r\n" +
                            longComment + "Vertex 0 0 0\r\n\r\nVertex 1;0 0\r\nVertex 0 1 0\r\n");
    EXPECT_TRUE(Has(out, 8, "error", {"x '1;0' is not a plain number", "y, z kept from line 6"})) << out.raw;
    EXPECT_EQ(Problems(out), 1) << out.raw;
}

TEST_F(CheckCommand, GeometryTheViewDoesNotShow) {
    CheckOutput cut = Check(
        "UcgenSayisi >> 2\nKaplamaKullanimi >> 0\n"
        "Vertex 0 0 0\nVertex 1 0 4.95\nVertex 0 1 -96\n"
        "Vertex 0 0 0\nVertex 1 0 0\nVertex 0 1 4.8\n");
    EXPECT_TRUE(Has(cut, 4, "warning", {"1 vertex lies nearer than the near plane"})) << cut.raw;
    EXPECT_TRUE(Has(cut, 5, "warning", {"1 vertex lies beyond the far plane"})) << cut.raw;
    EXPECT_EQ(Problems(cut), 2) << cut.raw;

    // Beside the view, behind the viewer, beyond the far plane: all outside.
    for (const char* place :
         {"Vertex 100 0 0\nVertex 101 0 0\nVertex 100 1 0\n", "Vertex 0 0 10\nVertex 1 0 10\nVertex 0 1 10\n",
          "Vertex 0 0 -500\nVertex 1 0 -500\nVertex 0 1 -500\n"}) {
        CheckOutput outside = Check(std::string("UcgenSayisi >> 1\nKaplamaKullanimi >> 0\n") + place);
        EXPECT_TRUE(Has(outside, 3, "warning", {"the whole model lies outside the view"})) << outside.raw;
    }
    // Corners just inside the view's edges at z = 0: the half-height there is
    // 5 tan(22.5 degrees) = 2.07, the half-width 4/3 of it.
    CheckOutput inside = Check(
        "UcgenSayisi >> 1\nKaplamaKullanimi >> 0\n"
        "Vertex 2.7 2.0 0\nVertex 2.7 2.05 0\nVertex 2.75 2.05 0\n");
    EXPECT_EQ(inside.status, 0) << inside.raw;
    CheckOutput beside = Check(
        "UcgenSayisi >> 1\nKaplamaKullanimi >> 0\n"
        "Vertex 2.7 2.1 0\nVertex 2.7 2.2 0\nVertex 2.75 2.2 0\n");
    EXPECT_EQ(beside.status, 1) << beside.raw;
}

TEST_F(CheckCommand, TrianglesWithoutAreaAndModelsThatCoverNoPixel) {
    // Flat in a plane that holds the line of sight: seen edge-on.
    for (const char* flat :
         {"Vertex -1 0 -1\nVertex 1 0 -1\nVertex 0 0 1\nVertex -1 0 1\nVertex 1 0 1\nVertex 0 0 -1\n",
          "Vertex 0 -1 -1\nVertex 0 1 -1\nVertex 0 0 1\nVertex 0 -1 1\nVertex 0 1 1\nVertex 0 0 -1\n",
          "Vertex 1 1 1\nVertex 1 1 1\nVertex 1 1 1\nVertex 1 1 1\nVertex 1 1 1\nVertex 1 1 1\n"}) {
        CheckOutput out = Check(PlainModel(2, flat));
        EXPECT_TRUE(
            Has(out, 3, "warning", {"2 triangles have no area on screen (degenerate, or seen edge-on)"}))
            << out.raw;
        EXPECT_TRUE(
            Has(out, 3, "warning",
                {"covers no pixel of the 640x480 view", "every triangle is degenerate or seen edge-on"}))
            << out.raw;
        EXPECT_EQ(Problems(out), 2) << out.raw;
    }
    // One triangle that faces the viewer shows the model; the edge-on one is
    // still reported, at its first line.
    CheckOutput mixed = Check(PlainModel(2,
                                         "Vertex -1 -1 0\nVertex 1 -1 0\nVertex 0 1 0\n"
                                         "Vertex 0 -1 -1\nVertex 0 1 -1\nVertex 0 0 1\n"));
    EXPECT_TRUE(Has(mixed, 6, "warning", {"1 triangle has no area on screen"})) << mixed.raw;
    EXPECT_EQ(Problems(mixed), 1) << mixed.raw;
    // Neither flat nor outside, but too small to cover a pixel.
    CheckOutput tiny =
        Check(PlainModel(1, "Vertex 0.001 0.001 0\nVertex 0.003 0.001 0\nVertex 0.001 0.003 0\n"));
    EXPECT_TRUE(
        Has(tiny, 3, "warning", {"covers no pixel of the 640x480 view: the viewer shows a black window"}))
        << tiny.raw;
    EXPECT_EQ(Problems(tiny), 1) << tiny.raw;
}

TEST_F(CheckCommand, NoPixelWarningAgreesWithTheRenderer) {
    // Single triangles about a pixel in size, slivers among them, anywhere in
    // the view: check must warn whenever the snapshot is black, and only then
    // (it may miss a pixel centre within 1/64 pixel of an edge).
    ASSERT_EQ(std::system(("cp '" + std::string(POLYVIEW_EXAMPLES) + "/Wall.bmp' '" + dir_ + "/'").c_str()),
              0);
    std::mt19937 random(14);
    std::uniform_real_distribution<double> unit(-1, 1);
    const double halfHeight = std::tan(22.5 * 3.14159265358979323846 / 180);  // at distance 1
    int drawn = 0, black = 0;
    for (int round = 0; round < 32; ++round) {
        double z = 2 * unit(random), distance = 5 - z, pixel = 2 * halfHeight * distance / 480;
        double cx = unit(random) * halfHeight * distance * 4 / 3, cy = unit(random) * halfHeight * distance;
        double size = pixel * (1 + 0.6 * unit(random)), thin = round % 3 == 0 ? 0.05 : 1.0;
        std::string vertices;
        for (int corner = 0; corner < 3; ++corner) {
            double angle = corner * 2.1 + unit(random) * 0.3, r = corner == 2 ? size * thin : size;
            vertices += "Vertex " + std::to_string(cx + r * std::cos(angle)) + " " +
                        std::to_string(cy + r * std::sin(angle)) + " " + std::to_string(z) + "\n";
        }
        Write(PlainModel(1, vertices));
        CheckOutput out = Check(PlainModel(1, vertices));
        Frame frame = Snapshot(dir_);
        ASSERT_EQ(frame.width, 640);
        bool isWarned = out.raw.find("the viewer shows a black window") != std::string::npos;
        int lit = frame.Lit();
        EXPECT_TRUE(lit > 0 || isWarned) << out.raw;
        EXPECT_TRUE(lit <= 1 || !isWarned) << lit << " pixels drawn\n" << out.raw;
        ++(lit ? drawn : black);
    }
    // Both sides of the line were tried.
    EXPECT_GE(drawn, 5);
    EXPECT_GE(black, 5);
}

TEST_F(CheckCommand, ExitStatusTwoWhenTheModelCannotBeRead) {
    ToolResult missing = RunTool("check '" + dir_ + "/none.m'");
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.out.find("none.m: error: cannot be read"), std::string::npos) << missing.out;

    ToolResult folder = RunTool("check '" + dir_ + "'");  // no poligon.m, no Wall.bmp
    EXPECT_EQ(folder.status, 2);
    EXPECT_NE(folder.out.find("Wall.bmp: error: missing"), std::string::npos) << folder.out;

    ToolResult usage = RunTool("check a b");
    EXPECT_EQ(usage.status, 2);
}

TEST_F(CheckCommand, FolderChecksThePictureAsTheViewerUsesIt) {
    Write(
        "UcgenSayisi >> 1\nKaplamaKullanimi >> 1\nVertex 0 0 0 >> TKoord 0 0\n"
        "Vertex 1 0 0 >> TKoord 1 0\nVertex 0 1 0 >> TKoord 0 1\n");
    ToolResult noPicture = RunTool("check '" + dir_ + "'");
    EXPECT_EQ(noPicture.status, 1);
    EXPECT_NE(noPicture.out.find(dir_ + "/Wall.bmp: error: missing"), std::string::npos) << noPicture.out;

    Write("not a picture", "Wall.bmp");
    CheckOutput broken = ParseCheck(RunTool("check '" + dir_ + "'"));
    EXPECT_EQ(broken.status, 1);
    EXPECT_TRUE(Has(broken, 0, "error", {"cannot be read", "not a BMP, PNG, JPEG or GIF picture"})) << broken.raw;

    // The loader's reason, at once: nothing opens a FIFO to wait for a writer.
    std::remove((dir_ + "/Wall.bmp").c_str());
    ASSERT_EQ(mkfifo((dir_ + "/Wall.bmp").c_str(), 0600), 0);
    CheckOutput fifo = ParseCheck(RunProgram("timeout", "60 '" POLYVIEW_TOOL "' check '" + dir_ + "'"));
    EXPECT_EQ(fifo.status, 1);
    EXPECT_TRUE(Has(fifo, 0, "error", {"cannot be read (is a FIFO)"})) << fifo.raw;
    std::remove((dir_ + "/Wall.bmp").c_str());

    SDL_Surface* picture = SDL_CreateRGBSurfaceWithFormat(0, 300, 100, 32, SDL_PIXELFORMAT_RGBA32);
    ASSERT_NE(picture, nullptr);
    SDL_FillRect(picture, nullptr, 0xFF336699u);
    ASSERT_EQ(SDL_SaveBMP(picture, (dir_ + "/Wall.bmp").c_str()), 0);
    SDL_FreeSurface(picture);
    // Run from the folder with no PATH: the default is the current directory.
    ToolResult good;
    std::string command = "cd '" + dir_ + "' && '" + POLYVIEW_TOOL + "' check >out.txt 2>err.txt";
    int raw = std::system(command.c_str());
    good.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    good.out = ReadWhole(dir_ + "/out.txt");
    good.err = ReadWhole(dir_ + "/err.txt");
    CheckOutput out = ParseCheck(good);
    EXPECT_EQ(out.status, 0) << out.raw;
    EXPECT_TRUE(Has(out, 0, "note", {"picture 300x100, texture 256x128", "stretched"})) << out.raw;
    EXPECT_EQ(out.summary, "poligon.m: 1 triangle, mode 1, 0 warnings, 0 errors");
}

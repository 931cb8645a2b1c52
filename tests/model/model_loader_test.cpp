// LoadModelFile and ReadDataLine on files made in a scratch folder, and the
// load held against the plain reference loader on generated files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#endif
#include <vector>

#include "model_test_util.h"

namespace {

std::string Header(int count, int mode) {
    return "UcgenSayisi >> " + std::to_string(count) + "\nKaplamaKullanimi >> " +
           std::to_string(mode) + "\n";
}

void ExpectVertex(const ModelVertex& v, float x, float y, float z) {
    EXPECT_EQ(v.x, x);
    EXPECT_EQ(v.y, y);
    EXPECT_EQ(v.z, z);
}

void ExpectVertex(const ModelVertex& v, float x, float y, float z, float u, float w) {
    ExpectVertex(v, x, y, z);
    EXPECT_EQ(v.u, u);
    EXPECT_EQ(v.v, w);
}

}  // namespace

using ModelLoad = ModelFileTest;

TEST_F(ModelLoad, TexturedTriangleKeepsLineOrder) {
    Load(Header(2, 1) +
         "Vertex 1 2 3 >> TKoord 0.25 0.5\n"
         "Vertex -1.5e1 +2.5 .5 >> TKoord 1 0\n"
         "Vertex 7 8 9 >> TKoord 0 1\n"
         "Vertex 10 11 12 >> TKoord 0.125 0.375\n"
         "Vertex 13 14 15 >> TKoord 1 1\n"
         "Vertex 16 17 18 >> TKoord 0 0");  // last line without a line feed
    ASSERT_EQ(ModelStore.triangleCount, 2);
    EXPECT_EQ(ModelStore.TextureMode, 1);
    ExpectVertex(Vertex(0), 1, 2, 3, 0.25f, 0.5f);
    ExpectVertex(Vertex(1), -15, 2.5f, 0.5f, 1, 0);
    ExpectVertex(Vertex(2), 7, 8, 9, 0, 1);
    ExpectVertex(Vertex(3), 10, 11, 12, 0.125f, 0.375f);
    ExpectVertex(Vertex(5), 16, 17, 18, 0, 0);
}

TEST_F(ModelLoad, CommentsAndEmptyLinesAreSkippedAnywhere) {
    Load("# leading comment\n\n" "UcgenSayisi >> 1\n" "#between\n\n\n"
         "KaplamaKullanimi >> 0\n" "# before vertices\n" "Vertex 1 2 3\n" "\n"
         "#x\n" "Vertex 4 5 6\n" "Vertex 7 8 9\n" "# after the last line\n" "Vertex 99 99 99\n");
    ASSERT_EQ(ModelStore.triangleCount, 1);
    EXPECT_EQ(ModelStore.TextureMode, 0);
    ExpectVertex(Vertex(0), 1, 2, 3);
    ExpectVertex(Vertex(1), 4, 5, 6);
    ExpectVertex(Vertex(2), 7, 8, 9);
}

TEST_F(ModelLoad, CarriageReturnLineFeedReadsAsOneLineFeed) {
    // A CR LF line is empty (skipped); data lines scan as with LF alone.
    Load("UcgenSayisi >> 1\r\n\r\nKaplamaKullanimi >> 1\r\n\r\n"
         "Vertex 1 2 3 >> TKoord 4 5\r\nVertex 6 7 8 >> TKoord 9 10\r\n\r\n"
         "Vertex 11 12 13 >> TKoord 14 15\r\n");
    ASSERT_EQ(ModelStore.triangleCount, 1);
    ExpectVertex(Vertex(1), 6, 7, 8, 9, 10);
    ExpectVertex(Vertex(2), 11, 12, 13, 14, 15);
}

TEST_F(ModelLoad, AByteOrderMarkIsSkippedAtTheVeryStartOnly) {
    const std::string mark = "\xEF\xBB\xBF";
    const std::string model = Header(1, 0) + "Vertex 1 2 3\nVertex 4 5 6\nVertex 7 8 9\n";
    Load(mark + model);
    ASSERT_EQ(ModelStore.triangleCount, 1);
    ExpectVertex(Vertex(2), 7, 8, 9);
    // Anywhere else, twice, or cut short, the bytes are text of a data line.
    for (const std::string& text : {"\n" + mark + model, mark + mark + model, mark.substr(0, 2) + model, mark}) {
        Load(text);
        EXPECT_EQ(ModelStore.triangleCount, 0) << text;
    }
}

TEST_F(ModelLoad, LineStartingWithBlankIsDataEvenBeforeHash) {
    // " # note" is a data line: it fails the vertex scan and repeats the
    // previous vertex; a line of blanks likewise.
    Load(Header(1, 0) + "Vertex 1 2 3\n # note\n   \nVertex 9 9 9\n");
    ExpectVertex(Vertex(0), 1, 2, 3);
    ExpectVertex(Vertex(1), 1, 2, 3);
    ExpectVertex(Vertex(2), 1, 2, 3);
}

TEST_F(ModelLoad, HeaderSpellingDecidesTheMatch) {
    Load("UcgenSayisi>>1\nKaplamaKullanimi   >>\t 0\nVertex 1 1 1\nVertex 2 2 2\nVertex 3 3 3\n");
    EXPECT_EQ(ModelStore.triangleCount, 1);
    EXPECT_EQ(ModelStore.TextureMode, 0);

    ModelStore.TextureMode = 7;
    Load(" UcgenSayisi >> 4\nkaplamakullanimi >> 1\n");  // leading blank; other case
    EXPECT_EQ(ModelStore.triangleCount, 0);
    EXPECT_EQ(ModelStore.TextureMode, 7);
    EXPECT_EQ(ModelStore.triangles, nullptr);
}

TEST_F(ModelLoad, CountOfZeroOrLessReadsNoVertexLine) {
    Load(Header(0, 1) + "Vertex 1 2 3 >> TKoord 4 5\n");
    EXPECT_EQ(ModelStore.triangleCount, 0);
    EXPECT_EQ(ModelStore.triangles, nullptr);

    Load(Header(-3, 0) + "Vertex 1 2 3\n");
    EXPECT_EQ(ModelStore.triangleCount, -3);
    EXPECT_EQ(ModelStore.triangles, nullptr);
}

TEST_F(ModelLoad, ModeOtherThanZeroOrOneReadsOnlyTheHeader) {
    Load(Header(2, 2) + "Vertex 1 2 3\n");
    EXPECT_EQ(ModelStore.triangleCount, 2);
    EXPECT_EQ(ModelStore.TextureMode, 2);
    EXPECT_NE(ModelStore.triangles, nullptr);
}

TEST_F(ModelLoad, CountOrModeOutsideInt32DoNotMatch) {
    Load("UcgenSayisi >> 2147483648\nKaplamaKullanimi >> 1\nVertex 1 2 3 >> TKoord 4 5\n");
    EXPECT_EQ(ModelStore.triangleCount, 0);
    EXPECT_EQ(ModelStore.triangles, nullptr);

    Load("UcgenSayisi >> -99999999999999999999\nKaplamaKullanimi >> 1\n");
    EXPECT_EQ(ModelStore.triangleCount, 0);

    Load("UcgenSayisi >> 1\nKaplamaKullanimi >> 4294967296\n"
         "Vertex 1 2 3 >> TKoord 4 5\nVertex 1 2 3 >> TKoord 4 5\nVertex 1 2 3 >> TKoord 4 5\n");
    EXPECT_EQ(ModelStore.TextureMode, 1);  // kept from the load before
    EXPECT_EQ(ModelStore.triangleCount, 1);

    Load("UcgenSayisi >> -2147483648\nKaplamaKullanimi >> 2147483647\n");
    EXPECT_EQ(ModelStore.triangleCount, INT32_MIN);
    EXPECT_EQ(ModelStore.TextureMode, INT32_MAX);
}

TEST_F(ModelLoad, ReloadKeepsModeWhenItsLineDoesNotMatchAndTakesNewContents) {
    Load(Header(1, 1) + "Vertex 1 2 3 >> TKoord 4 5\nVertex 1 2 3 >> TKoord 4 5\nVertex 1 2 3 >> TKoord 4 5\n");
    ASSERT_EQ(ModelStore.TextureMode, 1);
    ModelTriangle* first = ModelStore.triangles;
    ASSERT_NE(first, nullptr);

    Load("UcgenSayisi >> 1\nKaplamaKullanimi >> zero\n"
         "Vertex 6 7 8 >> TKoord 9 10\nVertex 6 7 8 >> TKoord 9 10\nVertex 6 7 8\n");
    EXPECT_EQ(ModelStore.TextureMode, 1);
    ExpectVertex(Vertex(0), 6, 7, 8, 9, 10);
    ExpectVertex(Vertex(2), 6, 7, 8, 9, 10);  // plain form keeps u and v
}

TEST_F(ModelLoad, PartialMatchesKeepHoldingValues) {
    Load(Header(2, 1) +
         "Vertex 1 2 3 >> TKoord 4 5\n"
         "Vertex 6 7\n"                      // z, u, v held
         "Vertex 1,5 8 9 >> TKoord 1 1\n"    // comma: x = 1, the rest held
         "Something else\n"                  // repeats the previous vertex
         "Vertex 10 11 12 >> TKoord\n"       // u, v held
         "Vertex 1e 2e+ 3E-1 >> TKoord 0x1p-2 inf\n");
    ExpectVertex(Vertex(0), 1, 2, 3, 4, 5);
    ExpectVertex(Vertex(1), 6, 7, 3, 4, 5);
    ExpectVertex(Vertex(2), 1, 7, 3, 4, 5);
    ExpectVertex(Vertex(3), 1, 7, 3, 4, 5);
    ExpectVertex(Vertex(4), 10, 11, 12, 4, 5);
    ExpectVertex(Vertex(5), 1, 2, 0.3f, 0.25f, INFINITY);
}

TEST_F(ModelLoad, HoldingValuesStartAtZeroInEveryLoad) {
    Load(Header(1, 1) + "Vertex 1 2 3 >> TKoord 4 5\nVertex 1 2 3 >> TKoord 4 5\nVertex 1 2 3 >> TKoord 4 5\n");
    Load(Header(1, 1) + "Vertex 7\nnothing\nVertex 1 2 3\n");
    ExpectVertex(Vertex(0), 7, 0, 0, 0, 0);
    ExpectVertex(Vertex(1), 7, 0, 0, 0, 0);
    ExpectVertex(Vertex(2), 1, 2, 3, 0, 0);
}

TEST_F(ModelLoad, TexturedFormInModeZeroTakesThePosition) {
    Load(Header(1, 0) + "Vertex 1 2 3 >> TKoord 4 5\nVertex 6 7 8 >> junk\nVertex 9 10 11\n");
    ExpectVertex(Vertex(0), 1, 2, 3);
    ExpectVertex(Vertex(1), 6, 7, 8);
    ExpectVertex(Vertex(2), 9, 10, 11);
}

TEST_F(ModelLoad, ShortFileKeepsTheTrianglesItGivesWhole) {
    // The rest would repeat the last line: points and segments.
    Load(Header(3, 1) + "Vertex 1 2 3 >> TKoord 4 5\nVertex 6 7 8 >> TKoord 9 10\n" +
         "Vertex 1 1 1 >> TKoord 0 0\nVertex 2 2 2 >> TKoord 1 1\n# trailing comment\n\n" + std::string(200, '#'));
    ASSERT_EQ(ModelStore.triangleCount, 1);
    ExpectVertex(Vertex(0), 1, 2, 3, 4, 5);
    ExpectVertex(Vertex(2), 1, 1, 1, 0, 0);
    EXPECT_EQ(std::string(ModelStore.lineBuffer.text), "Vertex 2 2 2 >> TKoord 1 1\n");
}

TEST_F(ModelLoad, FileEndingInCommentsBeforeAnyDataLineGivesEmptyLines) {
    // The first load leaves a data line in the line buffer; the second load
    // must not read it again.
    Load(Header(1, 0) + "Vertex 1 2 3\nVertex 1 2 3\nVertex 1 2 3\n");
    Load("# nothing but comments\n\n# really\n");
    EXPECT_EQ(ModelStore.triangleCount, 0);
    EXPECT_EQ(ModelStore.TextureMode, 0);

    Load("");
    EXPECT_EQ(ModelStore.triangleCount, 0);
}

TEST_F(ModelLoad, CountIsBoundedByWhatTheFileCanHold) {
    // Room for at most one triangle after the header, whatever the count;
    // a mode that reads no vertex line keeps the bounded count.
    Load(Header(60000000, 1) + "Vertex 1 2 3 >> TKoord 4 5\n");
    EXPECT_EQ(ModelStore.triangleCount, 0);
    EXPECT_EQ(ModelStore.triangles, nullptr);
    Load(Header(60000000, 2) + "a\nb\nc\nd\ne");
    EXPECT_EQ(ModelStore.triangleCount, 1);
    Load(Header(60000000, 0) + "a\nb\nc\nd\ne\n");
    EXPECT_EQ(ModelStore.triangleCount, 1);
}

TEST_F(ModelLoad, LongLinesAreReadWhole) {
    std::string longComment = "#" + std::string(1000, 'x') + "#Vertex 5 5 5\n";
    std::string longData = "Vertex" + std::string(600, ' ') + "1" + std::string(300, ' ') + "2 3\n";
    std::string paddedHeader = "UcgenSayisi >> " + std::string(400, '0') + "1\n";
    Load(longComment + paddedHeader + longComment + "KaplamaKullanimi >> 0\n" + longData +
         longComment + "Vertex 4 5 6\n" + std::string(254, '#') + "\nVertex 7 8 9\n");
    ASSERT_EQ(ModelStore.triangleCount, 1);
    ExpectVertex(Vertex(0), 1, 2, 3);
    ExpectVertex(Vertex(1), 4, 5, 6);
    ExpectVertex(Vertex(2), 7, 8, 9);
}

TEST_F(ModelLoad, LinesAcrossBlockBoundariesAreJoined) {
    // The reader works in 1 MiB blocks. Put an empty CR LF line, then a data
    // line, at and around the end of the first block.
    const size_t block = 1 << 20;
    for (size_t pairAt : {block - 3, block - 2, block - 1, block}) {
        std::string text = Header(1, 0);
        text += "#" + std::string(pairAt - text.size() - 2, 'c') + "\n";
        ASSERT_EQ(text.size(), pairAt);
        text += "\r\nVertex 1.25 -2.5 3e1\r\n\r\nVertex 4 5 6\nVertex 7 8 9\n";
        Load(text);
        ASSERT_EQ(ModelStore.triangleCount, 1);
        ExpectVertex(Vertex(0), 1.25f, -2.5f, 30);
        ExpectVertex(Vertex(1), 4, 5, 6);
        ExpectVertex(Vertex(2), 7, 8, 9);
    }
}

TEST_F(ModelLoad, NulBytesEndTheScannedText) {
    std::string text = Header(1, 0) + "Vertex 1 2 3\n" + std::string("Vertex 4\0 5 6\n", 14) +
                       std::string("\0Vertex 7 8 9\n", 14);
    Load(text);
    ExpectVertex(Vertex(0), 1, 2, 3);
    ExpectVertex(Vertex(1), 4, 2, 3);
    ExpectVertex(Vertex(2), 4, 2, 3);
}

TEST_F(ModelLoad, FileThatCannotBeOpenedLeavesAnEmptyModel) {
    Load(Header(1, 1) + "Vertex 1 2 3 >> TKoord 4 5\nVertex 1\nVertex 2\n");
    ASSERT_NE(ModelStore.triangles, nullptr);
    LoadModelFile((dir_ + "/missing.m").c_str());
    EXPECT_EQ(ModelStore.triangleCount, 0);
    EXPECT_EQ(ModelStore.triangles, nullptr);
    EXPECT_EQ(ModelStore.TextureMode, 1);
    RegularFile opened = {};
    EXPECT_FALSE(LoadModelFileReported(dir_.c_str(), &opened));  // a folder reads as nothing
    EXPECT_EQ(ModelStore.triangleCount, 0);
    EXPECT_EQ(std::string(DescribeFileOpenFailure(opened)), "is a folder");
}

#ifndef _WIN32
TEST_F(ModelLoad, NamesThatAreNotRegularFilesAreRefusedAtOnce) {
    // A FIFO with no writer would block the open; the load must not wait.
    ASSERT_EQ(mkfifo((dir_ + "/fifo.m").c_str(), 0600), 0);
    RegularFile opened = {};
    EXPECT_FALSE(LoadModelFileReported((dir_ + "/fifo.m").c_str(), &opened));
    EXPECT_EQ(std::string(DescribeFileOpenFailure(opened)), "is a FIFO");
    EXPECT_EQ(ModelStore.triangleCount, 0);
}
#endif

TEST_F(ModelLoad, HolesInTheFileCostNoMemory) {
    // A vertex line, then 16 MiB of zeros (a hole where the system makes
    // sparse files) that read as one data line ending at its first NUL, then
    // three vertex lines: two whole triangles, on one thread and on several.
    std::string path = Write(Header(1000000, 1) + "Vertex 1 2 3 >> TKoord 4 5\nVertex 1 2 3\nVertex 6 6 6\n");
    FILE* file = std::fopen(path.c_str(), "r+b");
    ASSERT_NE(file, nullptr);
    std::fseek(file, 0, SEEK_END);
    std::fseek(file, std::ftell(file) + (16 << 20), SEEK_SET);
    std::fputs("\nVertex 7 8 9 >> TKoord 1 1\nVertex 7 8 9\nVertex 7 8 9", file);
    std::fclose(file);
    for (int32_t threads : {1, 2}) {
        modelLoadThreads = threads;
        LoadModelFile(path.c_str());
        ASSERT_EQ(ModelStore.triangleCount, 2) << threads << " threads";
        ExpectVertex(Vertex(2), 6, 6, 6, 4, 5);
        ExpectVertex(Vertex(3), 6, 6, 6, 4, 5);  // the line of zeros matches nothing
        ExpectVertex(Vertex(5), 7, 8, 9, 1, 1);
        EXPECT_LT(ModelStore.lineBuffer.capacity, size_t(1) << 20) << threads << " threads";
    }
    ReleaseModelStore();
    ModelLine line = {};
    ModelStream stream;
    ASSERT_TRUE(OpenModelStream(&stream, path.c_str()));
    for (int i = 0; i < 6; ++i) ReadDataLine(&stream, &line);
    EXPECT_EQ(line.length, 1u);  // the NUL that ends it
    EXPECT_TRUE(line.isCut);
    CloseModelStream(&stream);
    std::free(line.text);
}

// The sanitizers reserve more address space than the limit.
#if !defined(POLYVIEW_SANITIZE) && !defined(_WIN32)
TEST_F(ModelLoad, CountThatCannotBeAllocatedLeavesAnEmptyModel) {
    std::string path = Write("UcgenSayisi >> 100000000\nKaplamaKullanimi >> 1\nVertex 1 2 3 >> TKoord 4 5\n");
    // 6 GB of triangles cannot fit under a 1 GB address-space limit.
    auto loadUnderLimit = [&path] {
        struct rlimit limit;
        limit.rlim_cur = limit.rlim_max = 1u << 30;
        setrlimit(RLIMIT_AS, &limit);
        LoadModelFile(path.c_str());
        bool empty = ModelStore.triangleCount == 0 && ModelStore.triangles == nullptr &&
                     ModelStore.TextureMode == 1;
        std::exit(empty ? 0 : 1);
    };
    EXPECT_EXIT(loadUnderLimit(), ::testing::ExitedWithCode(0), "");
}
#endif

TEST_F(ModelLoad, CountAboveTheLimitLeavesAnEmptyModel) {
    // On a 64-bit build the count is then outside the 32-bit range.
    Load("UcgenSayisi >> " + std::to_string(int64_t(MaxTriangleCount) + 1) +
         "\nKaplamaKullanimi >> 1\nVertex 1 2 3 >> TKoord 4 5\n");
    EXPECT_EQ(ModelStore.triangleCount, 0);
    EXPECT_EQ(ModelStore.triangles, nullptr);
    EXPECT_EQ(ModelStore.TextureMode, 1);
}

using ReadDataLineTest = ModelFileTest;

TEST_F(ReadDataLineTest, DeliversDataLinesThenRepeatsTheLast) {
    std::string path = Write("#c\n\r\nfirst\r\n  # second\nlast");
    ModelStream stream{};
    ModelLine line{};
    ASSERT_TRUE(OpenModelStream(&stream, path.c_str()));
    std::vector<std::string> got;
    for (int i = 0; i < 5; ++i) {
        ReadDataLine(&stream, &line);
        got.emplace_back(line.text, line.length);
    }
    CloseModelStream(&stream);
    std::free(line.text);
    EXPECT_EQ(got, (std::vector<std::string>{"first\n", "  # second\n", "last", "last", "last"}));
}

#include "reference_loader.h"

// LoadModelFile against the plain reference loader on generated files: every
// kind of line the format knows, in random order and at random places,
// including a byte-order mark at the start and elsewhere, CR LF ends, lines
// that begin with a carriage return, NUL bytes,
// long lines, header lines among the vertex lines and files that end early,
// some of them across the reader's block boundary. Each file is loaded as the
// viewer loads it, then on threads in chunks of a few bytes, so that chunk
// boundaries fall inside lines, at comments and empty lines, and between
// partial matches and the lines whose values they keep.
TEST_F(ModelLoad, AgreesWithTheReferenceLoaderOnGeneratedFiles) {
    const char* const pieces[] = {
        "Vertex 1 2 3 >> TKoord 0.25 0.5\n", "Vertex -1.5e1 +2.5 .5\n", "Vertex 6 7\n",
        "Vertex 1,5 8 9 >> TKoord 1 1\n", "junk\n", "# comment\n", "\n", "\r\n", "\r",
        "\rVertex 4 5 6 >> TKoord 7 8\n", "Vertex 9 8 7\r\n", " # blank first\n",
        "\tVertex 1 1 1\n", "vertex 2 2 2\n", "Vertex 0x1p3 inf nan >> TKoord 1e 2\n",
        "Vertex 3 3 3 >> TKoord\n", "Vertex 4\n", "UcgenSayisi >> 3\n", "KaplamaKullanimi >> 0\n",
        "Vertex 123456789.123456789 -0.000001 1e-40 >> TKoord 3.4e38 -7\n",
        "\xEF\xBB\xBFVertex 5 5 5\n"};
    std::string nul("Vertex 4\0 5 6\n", 14);
    std::mt19937 random(20261207);
    auto pick = [&](size_t n) { return size_t(random() % n); };
    for (int file = 0; file < 600; ++file) {
        int count = int(pick(12)) - 1;
        const char* modes[] = {"1", "0", "2", "x"};
        // Some files begin with a byte-order mark, which the loads skip.
        std::string text = std::string(pick(4) == 0 ? "\xEF\xBB\xBF" : "") + "UcgenSayisi >> " +
                           std::to_string(count) + "\n" +
                           (pick(8) == 0 ? "# c\n" : "") + "KaplamaKullanimi >> " + modes[pick(4)] + "\n";
        if (file % 100 == 99) text += "#" + std::string((1 << 20) - text.size() - 3 + pick(6), 'c') + "\n";
        int lines = int(pick(size_t(3 * (count > 0 ? count : 1) + 6)));
        for (int i = 0; i < lines; ++i) {
            size_t which = pick(std::size(pieces) + 2);
            if (which == std::size(pieces)) text += nul;
            else if (which == std::size(pieces) + 1) text += "Vertex " + std::string(300 + pick(300), ' ') + "5 6 7\n";
            else text += pieces[which];
        }
        if (pick(3) == 0) text.resize(text.size() - pick(std::min<size_t>(text.size(), 12)));
        const int32_t before = int32_t(pick(3));
        std::string path = Write(text);
        ReferenceModel want;
        ASSERT_TRUE(LoadReferenceModel(path.c_str(), before, 1000, &want));
        for (int split = 0; split < 2; ++split) {
            modelLoadThreads = split ? int32_t(2 + pick(3)) : 0;
            modelLoadChunkBytes = split ? int64_t(1 + pick(48)) : 0;
            ModelStore.TextureMode = before;
            LoadModelFile(path.c_str());
            ASSERT_EQ(DiffStoreFromReference(want), "")
                << "generated file " << file << " (" << modelLoadThreads << " threads, chunks of "
                << modelLoadChunkBytes << " bytes):\n" << text;
        }
        // The observed load (polyview-tool check) makes the same store, and
        // its reports give every vertex once, in order.
        ModelStore.TextureMode = before;
        struct Seen {
            int64_t vertices = 0, lastLine = 0;
            bool isInOrder = true;
        } seen;
        ASSERT_TRUE(LoadModelFileObserved(
            path.c_str(),
            [](const ModelLineReport& report, void* context) {
                Seen& seen = *static_cast<Seen*>(context);
                if (report.kind == ModelLineVertex && report.isNew) seen.vertices += report.vertices;
                if (report.isNew && report.lineNumber <= seen.lastLine) seen.isInOrder = false;
                if (report.isNew) seen.lastLine = report.lineNumber;
            },
            &seen));
        ASSERT_EQ(DiffStoreFromReference(want), "") << "observed load of generated file " << file << ":\n" << text;
        EXPECT_TRUE(seen.isInOrder) << text;
        EXPECT_EQ(seen.vertices, want.verticesRead) << text;
    }
}

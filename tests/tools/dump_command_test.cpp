// polyview-tool dump, run as the real program.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <utility>
#include <vector>

#include "../model/model_test_util.h"
#include "tool_runner.h"

struct DumpCommand : ModelFileTest {
    // `options` then the model `text` written to a file of its own.
    ToolResult Dump(const std::string& options, const std::string& text, const char* name = "model.m") {
        return RunTool("dump " + options + " '" + Write(text, name) + "'");
    }
};

TEST_F(DumpCommand, PrintsEveryVertexExactly) {
    ToolResult r = Dump("",
                        "UcgenSayisi >> 1\nKaplamaKullanimi >> 1\n"
                        "Vertex 0.1 -2 1e-45 >> TKoord 3.4028235e38 -0\n"
                        "Vertex nan -inf 16777217 >> TKoord 0x1p-3 1.5\n"
                        "Vertex 1 2 3\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "count 1\nmode 1\n"
              "0.100000001 -2 1.40129846e-45 3.40282347e+38 -0\n"
              "nan -inf 16777216 0.125 1.5\n"
              "1 2 3 0.125 1.5\n");
}

TEST_F(DumpCommand, ModeZeroPrintsPositionsAndOtherModesNoVertices) {
    EXPECT_EQ(Dump("", "UcgenSayisi >> 1\nKaplamaKullanimi >> 0\nVertex 1 2 3\nVertex 4 5 6\nx\n", "a.m").out,
              "count 1\nmode 0\n1 2 3\n4 5 6\n4 5 6\n");
    // The count stays within what the rest of the file has room for: 13
    // bytes hold at most 7 data lines, two triangles.
    const char* other = "UcgenSayisi >> 3\nKaplamaKullanimi >> 2\nVertex 1 2 3\n";
    EXPECT_EQ(Dump("", other, "b.m").out, "count 2\nmode 2\n");
    EXPECT_EQ(Dump("--summary", other, "b.m").out, "count 2\nmode 2\n");
}

TEST_F(DumpCommand, SummaryGivesRangesWithoutNaN) {
    ToolResult r = Dump("--summary",
                        "UcgenSayisi >> 1\nKaplamaKullanimi >> 1\n"
                        "Vertex nan 5 -1 >> TKoord 0 1\n"
                        "Vertex 2 -inf 7 >> TKoord 0.5 nan\n"
                        "Vertex -3 4 0 >> TKoord 1 0.25\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "count 1\nmode 1\nmin -3 -inf -1 0 0.25\nmax 2 5 7 1 1\n");

    // A field of NaN only has no range; of equal bounds (0 and -0) the first stays.
    EXPECT_EQ(Dump("--summary", "UcgenSayisi >> 1\nKaplamaKullanimi >> 0\n"
                                "Vertex nan -0 0\nVertex nan 0 -0\nVertex nan 1 -1\n", "zeros.m").out,
              "count 1\nmode 0\nmin nan -0 -1\nmax nan 1 0\n");
    EXPECT_EQ(Dump("--summary", "UcgenSayisi >> 0\nKaplamaKullanimi >> 1\n", "empty.m").out, "count 0\nmode 1\n");
}

TEST_F(DumpCommand, MissingFilePrintsTheEmptyStoreAndFails) {
    ToolResult r = RunTool("dump '" + dir_ + "/missing.m'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "count 0\nmode 0\n");
    EXPECT_NE(r.err.find("missing.m"), std::string::npos) << r.err;
}

// A model that is a folder, a FIFO with no writer, or a link to an endless
// device (private copies of /dev/zero and /dev/urandom, where device nodes
// can be made): dump, check and snapshot refuse it at once, naming its kind.
TEST_F(DumpCommand, NamesThatAreNotFilesAreRefusedAtOnce) {
    std::vector<std::pair<std::string, std::string>> names = {{"folder", "is a folder"}, {"fifo", "is a FIFO"}};
    ASSERT_EQ(mkdir((dir_ + "/folder").c_str(), 0700), 0);
    ASSERT_EQ(mkfifo((dir_ + "/fifo").c_str(), 0600), 0);
    if (mknod((dir_ + "/zero").c_str(), S_IFCHR | 0600, makedev(1, 5)) == 0 &&
        mknod((dir_ + "/urandom").c_str(), S_IFCHR | 0600, makedev(1, 9)) == 0) {
        names.push_back({"zero", "is a device"});
        names.push_back({"urandom", "is a device"});
    }
    for (const auto& [name, kind] : names) {
        const std::string folder = dir_ + "/with-" + name, model = folder + "/poligon.m";
        ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
        ASSERT_EQ(symlink((dir_ + "/" + name).c_str(), model.c_str()), 0);
        ToolResult dump = RunProgram("timeout", "20 '" POLYVIEW_TOOL "' dump '" + model + "'");
        EXPECT_EQ(dump.status, 1) << name;
        EXPECT_EQ(dump.out, "count 0\nmode 0\n") << name;
        EXPECT_NE(dump.err.find("cannot open '" + model + "': " + kind), std::string::npos) << dump.err;
        // check takes a folder for the viewer's folder.
        ToolResult check = RunProgram("timeout", "20 '" POLYVIEW_TOOL "' check '" + model + "'");
        const std::string checked = name == "folder" ? model + "/poligon.m" : model;
        EXPECT_EQ(check.status, 2) << name;
        EXPECT_NE(check.out.find(checked + ": error: cannot be read: "), std::string::npos) << check.out;
        if (name != "folder") EXPECT_NE(check.out.find(kind), std::string::npos) << check.out;
        // The viewer's first frame: an empty model, drawn.
        ToolResult snapshot = RunProgram(
            "timeout", "20 '" POLYVIEW_TOOL "' snapshot --dir '" + folder + "' --out '" + folder + "/out.png'");
        EXPECT_NE(snapshot.status, 124) << name << ": snapshot did not end";
    }
}

TEST(ToolUsage, ErrorsExitTwoAndHelpSucceeds) {
    for (const char* args : {"", "dump", "frobnicate", "dump --bogus x.m", "dump a.m b.m"}) {
        ToolResult r = RunTool(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(r.out, "") << args;
        EXPECT_NE(r.err, "") << args;
    }
    ToolResult help = RunTool("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("dump"), std::string::npos);
}

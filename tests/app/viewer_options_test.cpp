// --help, --version and usage errors of the viewer, run as the real program.
// It answers these before it looks for a display, so no X server is needed.
#include <gtest/gtest.h>

#include <string>

#include "tools/tool_runner.h"

namespace {

ToolResult RunViewer(const std::string& arguments) { return RunProgram(POLYVIEW_VIEWER, arguments); }

const char* const viewerUsage =
    "usage: polyview [--watch] [--turn AZ,EL] [--zoom K] [DIR | DIR/poligon.m] | --help | --version\n";

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

TEST(CommandLine, VersionIsTheProjectVersion) {
    ToolResult viewer = RunViewer("--version");
    EXPECT_EQ(viewer.status, 0);
    EXPECT_EQ(viewer.out, "polyview " POLYVIEW_VERSION "\n");
    EXPECT_EQ(viewer.err, "");
}

TEST(CommandLine, ViewerHelpIsTheUsageLineTheOptionsAndTheControls) {
    ToolResult help = RunViewer("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    ASSERT_EQ(help.out.compare(0, std::string(viewerUsage).size(), viewerUsage), 0) << help.out;
    for (const char* word : {"poligon.m", "Wall.bmp", "DIR", "--watch", "--turn AZ,EL", "--zoom K", "drag", "wheel",
                             "arrows", "Page Up", "Home", "F frames", "F1", "Esc"})
        EXPECT_NE(help.out.find(word), std::string::npos) << word << " not in " << help.out;
}

TEST(CommandLine, ViewerRefusesOtherOptionsAndMoreThanOneArgument) {
    for (const char* args : {"-x", "--versions", "-", "--help --version", "--version extra", "dir1 dir2",
                             "--fullscreen dir", "--watch dir1 dir2", "--watch -x", "--turn 30", "--turn x,1 dir",
                             "--zoom 21", "dir --zoom", "--turn 1,2 --zoom 0.5 dir1 dir2"}) {
        ToolResult r = RunViewer(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(r.out, "") << args;
        EXPECT_TRUE(EndsWith(r.err, viewerUsage)) << args << ": " << r.err;
        EXPECT_GT(r.err.size(), std::string(viewerUsage).size()) << args << ": no reason given";
    }
}

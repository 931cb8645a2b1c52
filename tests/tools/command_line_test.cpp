// polyview-tool's own options, run as the real program.
#include <gtest/gtest.h>

#include "tool_runner.h"

TEST(ToolCommandLine, VersionIsTheProjectVersion) {
    ToolResult tool = RunTool("--version");
    EXPECT_EQ(tool.status, 0);
    EXPECT_EQ(tool.out, "polyview-tool " POLYVIEW_VERSION "\n");
    EXPECT_EQ(tool.err, "");
}

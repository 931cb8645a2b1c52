// The command line: the C runtime's splitting rules, the inverse used by the
// Linux start-up, and the start folder in WinMain, against the recording fake.
#include <random>

#include "app/command_line.h"
#include "app_test.h"
#include "platform/viewer_options.h"

namespace {

using Arguments = std::vector<std::string>;

TEST(SplitCommandLine, FollowsTheCRuntimeRules) {
    const struct {
        const char* line;
        Arguments arguments;
    } cases[] = {
        {"", {}},
        {" \t ", {}},
        {"  models  ", {"models"}},
        {"C:\\models\\house", {"C:\\models\\house"}},
        {"\"C:\\My Models\"", {"C:\\My Models"}},
        {"C:\\My\" \"Models", {"C:\\My Models"}},
        {"\"C:\\My Models\\\\\"", {"C:\\My Models\\"}},
        {"\"C:\\My Models\\\"", {"C:\\My Models\""}},  // the escaped quote does not close
        {"a\\\\\\\"b", {"a\\\"b"}},
        {"a\\\\b\\", {"a\\\\b\\"}},
        {"\"a\"\"b\"", {"a\"b"}},
        {"\"\"", {""}},
        {"\"unclosed dir", {"unclosed dir"}},
        {"one\ttwo  \"three four\"", {"one", "two", "three four"}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.arguments) << c.line;
    EXPECT_EQ(SplitCommandLine(nullptr), Arguments());
}

TEST(JoinCommandLine, SplitGivesTheArgumentsBack) {
    EXPECT_EQ(JoinCommandLine({"plain", "with space", ""}), "plain \"with space\" \"\"");
    std::mt19937 random(14);
    const char alphabet[] = {'a', 'b', ' ', '\t', '"', '\\', '\n', '#'};
    for (int round = 0; round < 20000; ++round) {
        Arguments arguments(random() % 4);
        for (std::string& argument : arguments) {
            size_t length = random() % 8;
            for (size_t i = 0; i < length; ++i) argument += alphabet[random() % sizeof alphabet];
        }
        std::string line = JoinCommandLine(arguments);
        ASSERT_EQ(SplitCommandLine(line.c_str()), arguments) << line;
    }
}

class StartFolderTest : public AppTest {
protected:
    int Run(const char* commandLine) {
        fake::answers["Start FullScreen?"] = IDNO;
        fake::script = {fake::Message(WM_QUIT, 0)};
        std::string line = commandLine;
        return WinMain(fake::instance, nullptr, &line[0], SW_SHOWDEFAULT);
    }
};

TEST_F(StartFolderTest, TheFolderIsEnteredBeforeAnythingElse) {
    EXPECT_EQ(Run("\"C:\\My Models\\house\""), 0);
    ASSERT_GE(fake::calls.size(), 2u);
    EXPECT_EQ(fake::calls[0], "SetCurrentDirectoryA(\"C:\\My Models\\house\")");
    EXPECT_EQ(fake::calls[1].rfind("MessageBoxA(NULL, \"Would You Like", 0), 0u) << fake::calls[1];
    EXPECT_EQ(fake::Find("InitScene()"), fake::Find("ResizeScene(640, 480)") + 1);

    // Without an argument nothing changes.
    SetUp();
    EXPECT_EQ(Run("  "), 0);
    EXPECT_TRUE(fake::CallsNamed({"SetCurrentDirectoryA"}).empty());
}

TEST_F(StartFolderTest, AFolderThatCannotBeEnteredIsNamedWithTheReason) {
    fake::failing = {"SetCurrentDirectoryA"};
    EXPECT_EQ(Run("C:\\nowhere"), 1);
    EXPECT_EQ(fake::calls,
              std::vector<std::string>({
                  "SetCurrentDirectoryA(\"C:\\nowhere\")",
                  "GetLastError()",
                  "FormatMessageA(0x1200, NULL, 3, 0, 512, NULL)",
                  "MessageBoxA(NULL, \"Cannot enter the folder \"C:\\nowhere\": The system cannot find the "
                  "path specified.\", \"ERROR\", 0x30)",
              }));
}

TEST_F(StartFolderTest, MoreThanOneArgumentIsRefused) {
    EXPECT_EQ(Run("C:\\models other"), 2);
    ASSERT_EQ(fake::calls.size(), 1u);
    EXPECT_EQ(fake::boxes.at(0).caption, "ERROR");
    EXPECT_EQ(fake::boxes.at(0).flags, UINT(MB_OK | MB_ICONEXCLAMATION));
}

}  // namespace

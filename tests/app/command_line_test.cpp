// The command line: the C runtime's splitting rules, the inverse used by the
// Linux start-up, and the start folder in WinMain, against the recording fake.
#include <random>

#include "app/command_line.h"
#include "app_test.h"
#include "platform/utf.h"
#include "platform/sdl/viewer_options.h"

namespace {

using Arguments = std::vector<std::string>;

// SplitCommandLine on the UTF-16 form of `line`, the arguments in UTF-8.
Arguments Split(const char* line) {
    Arguments arguments;
    std::u16string wide = WidenUtf8(line);
    for (const WideString& argument : SplitCommandLine(line ? wide.c_str() : nullptr))
        arguments.push_back(NarrowUtf16(argument.c_str()));
    return arguments;
}

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
        {"\"C:\\Masa\xC3\xBCst\xC3\xBC\\\xC4\x9F \xD0\xBC\"", {"C:\\Masa\xC3\xBCst\xC3\xBC\\\xC4\x9F \xD0\xBC"}},
    };
    for (const auto& c : cases) EXPECT_EQ(Split(c.line), c.arguments) << c.line;
    EXPECT_EQ(Split(nullptr), Arguments());
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
        ASSERT_EQ(Split(line.c_str()), arguments) << line;
    }
}

class StartFolderTest : public AppTest {
protected:
    // The folder comes from GetCommandLineW's line, after the program's
    // quoted name, not from WinMain's ANSI one.
    int Run(const char* commandLine) {
        fake::answers["Start FullScreen?"] = IDNO;
        fake::script = {fake::Message(WM_QUIT, 0)};
        fake::commandLine = "\"C:\\Program Files\\polyview.exe\" " + std::string(commandLine);
        return WinMain(fake::instance, nullptr, const_cast<char*>("?"), SW_SHOWDEFAULT);
    }
};

TEST_F(StartFolderTest, TheFolderIsEnteredBeforeAnythingElse) {
    EXPECT_EQ(Run("\"C:\\My Models\\house\""), 0);
    ASSERT_GE(fake::calls.size(), 2u);
    EXPECT_EQ(fake::calls[0], "SetCurrentDirectoryW(\"C:\\My Models\\house\")");
    EXPECT_EQ(fake::calls[1].rfind("MessageBoxA(NULL, \"Would You Like", 0), 0u) << fake::calls[1];
    EXPECT_EQ(fake::Find("InitScene()"), fake::Find("ResizeScene(640, 480)") + 1);

    // Without an argument nothing changes.
    SetUp();
    EXPECT_EQ(Run("  "), 0);
    EXPECT_TRUE(fake::CallsNamed({"SetCurrentDirectoryW"}).empty());
}

TEST_F(StartFolderTest, AFolderThatCannotBeEnteredIsNamedWithTheReason) {
    fake::failing = {"SetCurrentDirectoryW"};
    EXPECT_EQ(Run("C:\\nowhere"), 1);
    EXPECT_EQ(fake::calls,
              std::vector<std::string>({
                  "SetCurrentDirectoryW(\"C:\\nowhere\")",
                  "GetLastError()",
                  "GetFileAttributesW(\"C:\\nowhere\")",
                  "FormatMessageW(0x1200, NULL, 3, 0, 512, NULL)",
                  "MessageBoxW(NULL, \"Cannot enter the folder \"C:\\nowhere\": The system cannot find the "
                  "path specified.\", \"ERROR\", 0x30)",
              }));
}

TEST_F(StartFolderTest, ALongFolderIsShortenedInTheMiddleAndWholeOnStandardError) {
    fake::failing = {"SetCurrentDirectoryW"};
    // Characters, not bytes, count: "\xC4\x9F" is one letter.
    auto folderShown = [&](const std::string& folder, std::string* err) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(Run(("\"" + folder + "\"").c_str()), 1);
        *err = testing::internal::GetCapturedStderr();
        const std::string& text = fake::boxes.at(0).text;
        size_t start = text.find('"') + 1, end = text.rfind("\": ");
        return text.substr(start, end - start);
    };
    auto characters = [](const std::string& text) {
        size_t count = 0;
        for (char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        return count;
    };
    std::string err;
    std::string fits = "C:\\" + std::string(57, 'a') + "\\end";  // 64 characters
    ASSERT_EQ(characters(fits), 64u);
    EXPECT_EQ(folderShown(fits, &err), fits);
    EXPECT_EQ(err, "");

    for (size_t letters : {58, 1000}) {  // 65 characters, and many more
        SetUp();
        fake::failing = {"SetCurrentDirectoryW"};
        std::string folder = "C:\\";
        for (size_t i = 0; i < letters; ++i) folder += "\xC4\x9F";
        folder += "\\end";
        std::string shown = folderShown(folder, &err);
        EXPECT_EQ(characters(shown), 64u) << shown;
        EXPECT_EQ(shown.rfind("C:\\\xC4\x9F", 0), 0u) << shown;
        EXPECT_EQ(shown.substr(shown.size() - 6), "\xC4\x9F\\end") << shown;
        size_t dots = shown.find("...");
        ASSERT_NE(dots, std::string::npos) << shown;
        // Whole letters on both sides of the cut.
        EXPECT_EQ(shown.substr(dots - 2, 2), "\xC4\x9F");
        EXPECT_EQ(shown.substr(dots + 3, 2), "\xC4\x9F");
        EXPECT_EQ(err, "ERROR: Cannot enter the folder \"" + folder +
                           "\": The system cannot find the path specified.\n");
    }
}

TEST_F(StartFolderTest, TheModelFileOpensItsFolderAndAnotherFileIsRefused) {
    fake::files = {"models/house/poligon.m", "poligon.m", "/poligon.m", "models/house/Wall.bmp"};
    EXPECT_EQ(Run("models/house/poligon.m"), 0);
    EXPECT_EQ(fake::CallsNamed({"SetCurrentDirectoryW"}),
              std::vector<std::string>({"SetCurrentDirectoryW(\"models/house/poligon.m\")",
                                        "SetCurrentDirectoryW(\"models/house/\")"}));
    for (const char* file : {"poligon.m", "/poligon.m"}) {
        SetUp();
        fake::files = {"poligon.m", "/poligon.m"};
        EXPECT_EQ(Run(file), 0);
        EXPECT_EQ(fake::CallsNamed({"SetCurrentDirectoryW"}).back(),
                  std::string("SetCurrentDirectoryW(\"") + (file[0] == '/' ? "/" : ".") + "\")");
    }

    SetUp();
    fake::files = {"models/house/Wall.bmp"};
    EXPECT_EQ(Run("models/house/Wall.bmp"), 2);
    EXPECT_EQ(fake::CallsNamed({"SetCurrentDirectoryW"}).size(), 1u);
    ASSERT_EQ(fake::boxes.size(), 1u);
    EXPECT_EQ(fake::boxes[0].text,
              "Cannot open \"models/house/Wall.bmp\": the viewer opens a folder, or the file poligon.m in it.");
    EXPECT_EQ(fake::boxes[0].caption, "ERROR");
}

TEST_F(StartFolderTest, MoreThanOneArgumentIsRefused) {
    EXPECT_EQ(Run("C:\\models other"), 2);
    ASSERT_EQ(fake::calls.size(), 1u);
    EXPECT_EQ(fake::boxes.at(0).caption, "ERROR");
    EXPECT_EQ(fake::boxes.at(0).flags, UINT(MB_OK | MB_ICONEXCLAMATION));
}

TEST_F(StartFolderTest, TheViewOptionsGiveTheStartViewOtherOptionsAreIgnored) {
    EXPECT_EQ(Run("--turn -390,120.5 --fullscreen \"C:\\My Models\" --zoom 0.8"), 0);
    EXPECT_EQ(fake::calls.at(0), "SetCurrentDirectoryW(\"C:\\My Models\")");
    for (const ViewPose& view : {CurrentView, HomeView}) {
        EXPECT_EQ(view.azimuth, -30.0);
        EXPECT_EQ(view.elevation, 90.0);
        EXPECT_EQ(view.zoom, 0.8);
    }

    // Each refusal names its option, then the usage.
    const std::pair<const char*, const char*> refusals[] = {
        {"--turn 30", "--turn"},       {"--turn 30,nan", "--turn"},  {"--turn 1e999,0", "--turn"},
        {"--turn 1,2x", "--turn"},     {"--zoom 0.049", "--zoom"},   {"--zoom 20.001", "--zoom"},
        {"--zoom", "--zoom"},          {"--turn 1,2 --zoom k C:\\models", "--zoom"},
    };
    for (const auto& refusal : refusals) {
        SetUp();
        EXPECT_EQ(Run(refusal.first), 2) << refusal.first;
        EXPECT_TRUE(fake::CallsNamed({"SetCurrentDirectoryW"}).empty()) << refusal.first;
        ASSERT_EQ(fake::boxes.size(), 1u) << refusal.first;
        const std::string& text = fake::boxes[0].text;
        EXPECT_EQ(text.rfind(std::string(refusal.second) + " takes ", 0), 0u) << text;
        EXPECT_EQ(text.substr(text.find("\n\n")), "\n\nusage: polyview [--watch] [--turn AZ,EL] [--zoom K] [DIR | DIR/poligon.m]");
        EXPECT_TRUE(IsStartPose(CurrentView) && IsStartPose(HomeView)) << refusal.first;
    }
}

}  // namespace

// convert over every model file of Debian's assimp-testmodels: the
// importer's own test files, broken ones among them on purpose. Nothing a
// file holds may crash, hang or exhaust convert (exit status 0 or 1 for
// each), and every converted model that the viewer draws as a black frame
// must get check's warning, as convert's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <assimp/Importer.hpp>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "snapshot_frame.h"

namespace {

namespace fs = std::filesystem;

const char* const ModelsFolder = "/usr/share/assimp/models";

// Model files: every file whose extension the importer claims. The package
// also holds reference pictures, textures, shaders and notes.
std::vector<std::string> ModelFiles() {
    Assimp::Importer importer;
    std::vector<std::string> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(ModelsFolder)) {
        std::string extension = entry.path().extension().string();
        if (entry.is_regular_file() && extension.size() > 1 && importer.IsExtensionSupported(extension))
            files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs a shell command; its exit status (-1 for a signal) and output.
ToolResult RunCommand(const std::string& command, const std::string& scratch) {
    ToolResult result;
    int raw =
        std::system((command + " >" + Quote(scratch + "/out") + " 2>" + Quote(scratch + "/err")).c_str());
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = ReadWhole(scratch + "/out");
    result.err = ReadWhole(scratch + "/err");
    return result;
}

struct Outcome {
    std::string file;
    int status = -1;
    std::string message;  // convert's standard error
    bool isConverted = false;
    bool isBlack = false;        // the snapshot is all black
    int lit = 0;                 // pixels that are not
    bool isCheckWarned = false;  // check says the viewer shows a black window
    bool isConvertWarned = false;
};

}  // namespace

TEST(ConvertSweep, EveryModelFileOfTheImportersTestSet) {
    if (!fs::is_directory(ModelsFolder)) GTEST_SKIP() << ModelsFolder << " is missing (assimp-testmodels)";
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::string> files = ModelFiles();
    ASSERT_GT(files.size(), 100u);

    char scratchTemplate[] = "/tmp/polyview-sweep-XXXXXX";
    ASSERT_NE(mkdtemp(scratchTemplate), nullptr);
    const std::string scratch = scratchTemplate;
    fs::copy_file(std::string(POLYVIEW_EXAMPLES) + "/Wall.bmp", scratch + "/Wall.bmp");
    // The snapshot's headless driver is not checked for leaks here.
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string snapshotEnvironment =
        "env ASAN_OPTIONS=" +
        Quote((asan && *asan ? std::string(asan) + ":" : std::string()) + "detect_leaks=0") + " ";
    const std::string tool = Quote(POLYVIEW_TOOL);

    std::vector<Outcome> outcomes(files.size());
    std::atomic<size_t> next{0};
    auto work = [&](int worker) {
        const std::string folder = scratch + "/" + std::to_string(worker);
        fs::create_directory(folder);
        fs::create_symlink(scratch + "/Wall.bmp", folder + "/Wall.bmp");
        for (size_t i; (i = next++) < files.size();) {
            Outcome& outcome = outcomes[i];
            outcome.file = files[i];
            const std::string model = folder + "/poligon.m";
            ToolResult converted =
                RunCommand(tool + " convert " + Quote(files[i]) + " " + Quote(model), folder);
            outcome.status = converted.status;
            outcome.message = converted.err;
            outcome.isConverted = converted.status == 0;
            if (!outcome.isConverted) continue;
            outcome.isConvertWarned =
                converted.err.find("the viewer shows a black window") != std::string::npos;
            ToolResult check = RunCommand(tool + " check " + Quote(model), folder);
            outcome.isCheckWarned = check.status == 1 && check.out.find(": warning: ") != std::string::npos &&
                                    check.out.find("the viewer shows a black window") != std::string::npos;
            RunCommand(snapshotEnvironment + tool + " snapshot --dir " + Quote(folder) + " --out " +
                           Quote(folder + "/shot.png"),
                       folder);
            Frame frame = ReadFrame(folder + "/shot.png");
            outcome.lit = frame.width == 640 ? frame.Lit() : -1;
            outcome.isBlack = outcome.lit == 0;
            fs::remove(model);
            fs::remove(folder + "/shot.png");
        }
    };
    unsigned workers = std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
    std::vector<std::thread> threads;
    for (unsigned w = 0; w < workers; ++w) threads.emplace_back(work, int(w));
    for (std::thread& thread : threads) thread.join();
    fs::remove_all(scratch);

    int converted = 0, refused = 0, crashed = 0, outOfMemory = 0, timedOut = 0, black = 0;
    for (const Outcome& o : outcomes) {
        EXPECT_TRUE(o.status == 0 || o.status == 1) << o.file << ": exit status " << o.status << "\n"
                                                    << o.message;
        if (o.status == 1) {
            // One line that says why (sanitizer builds let the importer's
            // own messages through before it).
            EXPECT_EQ(o.message.rfind("polyview-tool convert: ", o.message.size() - 1),
                      o.message.rfind('\n', o.message.size() - 2) + 1)
                << o.file << ":\n"
                << o.message;
#ifndef POLYVIEW_SANITIZE
            EXPECT_EQ(std::count(o.message.begin(), o.message.end(), '\n'), 1) << o.file << ":\n"
                                                                               << o.message;
#endif
            bool isCrash = o.message.find("the importer crashed on") != std::string::npos;
            bool isMemory = o.message.find("the importer needed more than") != std::string::npos;
            bool isTime = o.message.find("the importer took longer than") != std::string::npos;
            crashed += isCrash;
            outOfMemory += isMemory;
            timedOut += isTime;
            refused += !isCrash && !isMemory && !isTime;
        }
        if (!o.isConverted) continue;
        ++converted;
        ASSERT_GE(o.lit, 0) << o.file << ": no snapshot";
        black += o.isBlack;
        EXPECT_TRUE(!o.isBlack || o.isCheckWarned)
            << o.file << ": the viewer draws nothing, and check says nothing";
        EXPECT_TRUE(!o.isCheckWarned || o.lit <= 1)
            << o.file << ": check warns, but " << o.lit << " pixels are drawn";
        EXPECT_EQ(o.isConvertWarned, o.isCheckWarned) << o.file << ": convert and check disagree";
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf(
        "%zu model files: %d converted (%d of them draw a black frame, each with a warning), %d refused with "
        "the "
        "importer's reason, %d crashes contained, %d out of memory, %d timed out; %.1f s with %u workers\n",
        files.size(), converted, black, refused, crashed, outOfMemory, timedOut, seconds, workers);
}

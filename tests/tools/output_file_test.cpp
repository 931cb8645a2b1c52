// What polyview-tool writes keeps the kind of what the name holds: links are
// followed, FIFOs and character devices written through, anything else that
// is not a regular file refused, and a replaced file keeps mode and owner.
// The same for convert's OUT and every --out.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>

#include "tool_runner.h"

namespace {

std::string Quote(const std::string& text) { return "'" + text + "'"; }

struct Writer {
    const char* name;
    std::string arguments;  // before the output path
    std::string start;      // what a written file begins with
};

std::vector<Writer> Writers(const std::string& obj) {
    const std::string examples = POLYVIEW_EXAMPLES;
    return {{"convert", "convert " + Quote(obj) + " ", "# Converted"},
            {"texture", "texture " + Quote(examples + "/Wall.bmp") + " --out ", "\x89PNG"},
            {"snapshot", "snapshot --dir " + Quote(examples) + " --size 16x16 --out ", "\x89PNG"}};
}

// Everything a non-blocking FIFO reader has waiting.
std::string Drain(int fd) {
    std::string text;
    char chunk[65536];
    ssize_t n;
    while ((n = read(fd, chunk, sizeof chunk)) > 0) text.append(chunk, size_t(n));
    return text;
}

mode_t Kind(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0 ? info.st_mode & S_IFMT : 0;
}

}  // namespace

class ToolOutput : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "polyview-out-XXXXXX").string();
        ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
        dir_ = pattern;
        FILE* f = std::fopen(Path("tri.obj").c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", f);
        std::fclose(f);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    void Put(const std::string& name, const std::string& text) const {
        FILE* f = std::fopen(Path(name).c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs(text.c_str(), f);
        std::fclose(f);
    }

    std::string dir_;
};

TEST_F(ToolOutput, EveryOutputKeepsTheKindOfWhatItsNameHolds) {
    ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0644), 0);
    ASSERT_EQ(mkdir(Path("folder").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(Path("sub").c_str(), 0755), 0);
    ASSERT_EQ(symlink("sub/target", Path("link").c_str()), 0);
    ASSERT_EQ(symlink("loop", Path("loop").c_str()), 0);
    // Private copies of /dev/null and /dev/full, where this system lets us
    // make and open them.
    bool hasDevices = mknod(Path("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0 &&
                      mknod(Path("full").c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0;
    if (int fd = hasDevices ? open(Path("full").c_str(), O_WRONLY | O_CLOEXEC) : -1; fd >= 0)
        close(fd);
    else
        hasDevices = false;

    for (const Writer& w : Writers(Path("tri.obj"))) {
        SCOPED_TRACE(w.name);
        // A link (to a name that does not exist yet, then to the file made):
        // the target is written, the link stays.
        for (int round = 0; round < 2; ++round) {
            std::filesystem::remove(Path("sub/target"));
            if (round == 1) Put("sub/target", "old\n");
            ToolResult r = RunTool(w.arguments + Quote(Path("link")));
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(Kind(Path("link")), S_IFLNK);
            EXPECT_EQ(ReadWhole(Path("sub/target")).rfind(w.start, 0), 0u);
        }
        // A FIFO nobody reads is refused at once; one with a reader gets the
        // whole file.
        ToolResult alone = RunTool(w.arguments + Quote(Path("fifo")));
        EXPECT_EQ(alone.status, 1);
        EXPECT_NE(alone.err.find("is a FIFO that no process has open for reading"), std::string::npos)
            << alone.err;
        int reader = open(Path("fifo").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(reader, 0);
        ASSERT_GE(fcntl(reader, F_SETPIPE_SZ, 1 << 20), 1 << 18);  // room for all of it
        ToolResult read = RunTool(w.arguments + Quote(Path("fifo")));
        EXPECT_EQ(read.status, 0) << read.err;
        std::string piped = Drain(reader);
        close(reader);
        EXPECT_EQ(piped, ReadWhole(Path("sub/target")));  // what the link's target got
        EXPECT_EQ(Kind(Path("fifo")), S_IFIFO);

        for (const char* name : {"folder", "loop"}) {
            ToolResult refused = RunTool(w.arguments + Quote(Path(name)));
            EXPECT_EQ(refused.status, 1);
            EXPECT_NE(refused.err.find("cannot write"), std::string::npos) << refused.err;
        }
        EXPECT_EQ(Kind(Path("folder")), S_IFDIR);
        EXPECT_EQ(Kind(Path("loop")), S_IFLNK);

        if (hasDevices) {
            EXPECT_EQ(RunTool(w.arguments + Quote(Path("null"))).status, 0);
            ToolResult full = RunTool(w.arguments + Quote(Path("full")));
            EXPECT_EQ(full.status, 1);
            EXPECT_NE(full.err.find("No space left on device"), std::string::npos) << full.err;
            EXPECT_EQ(Kind(Path("null")), S_IFCHR);
            EXPECT_EQ(Kind(Path("full")), S_IFCHR);
        }
    }
    // Standard output as a name: the pipe it is gets the model.
    std::string toStdout = Quote(POLYVIEW_TOOL) + " convert " + Quote(Path("tri.obj")) + " /dev/stdout";
    FILE* pipe = popen(toStdout.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string piped;
    char chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) piped.append(chunk, n);
    EXPECT_EQ(pclose(pipe), 0);
    EXPECT_EQ(piped.rfind("# Converted", 0), 0u) << piped;
    EXPECT_NE(piped.find("/dev/stdout: 1 triangle"), std::string::npos) << piped;

    // Nothing else was left behind: no temporary file.
    auto entries = std::distance(std::filesystem::directory_iterator(dir_), {});
    EXPECT_EQ(entries, hasDevices ? 8 : 6);
    if (!hasDevices) GTEST_SKIP() << "no device nodes can be made here";
}

TEST_F(ToolOutput, AReaderThatLeavesEndsTheWriteWithAReason) {
    ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0644), 0);
    int reader = open(Path("fifo").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    fcntl(reader, F_SETPIPE_SZ, 4096);
    ToolResult r;
    std::thread tool([&] {
        r = RunTool("texture " + Quote(std::string(POLYVIEW_EXAMPLES) + "/Wall.bmp") + " --out " +
                    Quote(Path("fifo")));
    });
    // The first bytes, then the reader is gone with most of the PNG unread.
    pollfd ready = {reader, POLLIN, 0};
    EXPECT_EQ(poll(&ready, 1, 60000), 1);
    char start[4];
    EXPECT_EQ(read(reader, start, sizeof start), 4);
    close(reader);
    tool.join();
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Broken pipe"), std::string::npos) << r.err;
}

TEST_F(ToolOutput, AReplacedFileKeepsModeAndOwnerAndOnlyOursIsReplaced) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give files to other users";
    Put("theirs.m", "theirs\n");
    ASSERT_EQ(chown(Path("theirs.m").c_str(), 12345, 12346), 0);
    ASSERT_EQ(chmod(Path("theirs.m").c_str(), 0640), 0);
    ToolResult r = RunTool("convert " + Quote(Path("tri.obj")) + " " + Quote(Path("theirs.m")));
    ASSERT_EQ(r.status, 0) << r.err;
    struct stat info;
    ASSERT_EQ(stat(Path("theirs.m").c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 12345u);
    EXPECT_EQ(info.st_gid, 12346u);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadWhole(Path("theirs.m")).rfind("# Converted", 0), 0u);

    // Another user, in a folder everyone may write: a file of root's that
    // this user may not write, and one that it may write but not own.
    const std::string asNobody = "--reuid=65534 --regid=65534 --clear-groups " + Quote(POLYVIEW_TOOL);
    if (RunProgram("setpriv", asNobody + " --version").status != 0)
        GTEST_SKIP() << "no setpriv, or the tool cannot be run by another user from here";
    ASSERT_EQ(chmod(dir_.c_str(), 0777), 0);
    Put("readonly.m", "root's\n");
    Put("writable.m", "root's\n");
    ASSERT_EQ(chmod(Path("writable.m").c_str(), 0666), 0);
    const std::string nobody = asNobody + " convert " + Quote(Path("tri.obj")) + " ";
    ToolResult denied = RunProgram("setpriv", nobody + Quote(Path("readonly.m")));
    EXPECT_EQ(denied.status, 1);
    EXPECT_NE(denied.err.find("Permission denied"), std::string::npos) << denied.err;
    ToolResult kept = RunProgram("setpriv", nobody + Quote(Path("writable.m")));
    EXPECT_EQ(kept.status, 1);
    EXPECT_NE(kept.err.find("belongs to another user"), std::string::npos) << kept.err;
    for (const char* name : {"readonly.m", "writable.m"}) EXPECT_EQ(ReadWhole(Path(name)), "root's\n");
    ToolResult made = RunProgram("setpriv", nobody + Quote(Path("new.m")));
    EXPECT_EQ(made.status, 0) << made.err;
    ASSERT_EQ(stat(Path("new.m").c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 65534u);
}

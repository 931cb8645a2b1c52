// Vertex lines read on several threads.
//
// The bytes after the mode line are cut into chunks. A chunk owns the lines
// that begin in it; the last of them may end in a later chunk. Threads take
// chunks in file order and read each, with positioned reads, into a block of
// their own. What a line gives depends on earlier lines in two ways, both
// settled in file order:
//  - Which vertex it fills: the number of data lines before it. A thread
//    counts the data lines of its chunk first, then waits for the counts of
//    the chunks before, and scans its lines straight into the store. Counting
//    is quick, so the wait is short, unless the thread of an earlier chunk
//    is not running (a busy machine): after waiting about as long as a count
//    takes, the waiting thread counts that chunk itself.
//  - The fields a partial match leaves out: they keep the values of the
//    latest earlier line that gave them. A chunk scans with holding values of
//    its own and notes, for each field, the first of its vertices that the
//    field was given to. Once the chunks before it are settled, the vertices
//    before that one take the field from their holding values.
// The calling thread finishes the line buffer: the last data line read.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#ifdef __linux__
#include <sched.h>
#include <sys/mman.h>
#endif

#include "model/model_parallel.h"
#include "model/model_store.h"
#include "model/scan_vertex.h"

int32_t modelLoadThreads = 0;
int64_t modelLoadChunkBytes = 0;

namespace {

constexpr int MaxFields = 5;
// The shortest vertex line that gives all three coordinates, line feed
// included.
constexpr int64_t MinVertexLineBytes = 13;
// Bytes read past a chunk, so that its last line usually ends in view.
constexpr size_t MaxLineSlack = 4096;
// Chunks done but not yet settled, at most (a thread waits for room).
constexpr int64_t PendingChunks = 4 * MaxLoadThreads;

// What a chunk gave, kept until the chunks before it are settled.
struct ChunkResult {
    int64_t firstVertex;     // vertex of the chunk's first data line
    int64_t vertexCount;     // vertices its lines filled (none past the needed count)
    int64_t lastLineOffset;  // file offset of the last of those lines
    // Vertices (from the first) before each field was first given; the vertex
    // count when it never was.
    int64_t givenFrom[MaxFields];
    float hold[MaxFields];   // holding values after its last line, for the fields it gave
    bool isDone;
};

// A chunk's place among the data lines: its first vertex and its lines.
struct ChunkCount {
    int64_t firstVertex;
    int64_t lineCount;
};

// Vertices that take fields from the holding values of the chunks before.
struct FieldFill {
    int64_t firstVertex;
    int64_t count[MaxFields];
    float value[MaxFields];
};

struct VertexLoad {
    // Fixed before the threads start.
    FILE* file;
    int64_t base;  // file offset of the first byte after the mode line
    int64_t chunkBytes;
    size_t lineSlack;
    size_t spanCapacity;
    ModelVertex* vertices;
    int64_t needed;
    int64_t populated;  // vertices whose pages are mapped ahead
    bool textured;
    int fields;

    std::chrono::microseconds countTime;  // about what counting a chunk takes

    std::mutex lock;
    std::condition_variable changed;
    int64_t nextChunk = 0;      // the next chunk to take
    int64_t countedChunks = 0;  // chunks whose data lines are counted, in file order
    int64_t linesBefore = 0;    // data lines in those chunks
    ChunkCount counts[PendingChunks] = {};  // of chunk c at c % PendingChunks, until it is settled
    bool isEnded = false;       // the counted chunks reach the end of the file or the needed vertices
    int64_t settledChunks = 0;  // chunks whose fields are settled, in file order
    float hold[MaxFields] = {0, 0, 0, 0, 0};  // holding values after the settled chunks
    int64_t lastLineOffset = -1;  // of the last vertex line of the settled chunks
    ChunkResult results[PendingChunks] = {};  // chunk c at c % PendingChunks
};

// A data line in a thread's block: [begin, end), its line feed included.
struct LineSpan {
    uint32_t begin, end;
};
// Data lines of a chunk noted while counting them, at most (one for every 16
// bytes of a chunk, as lines are usually longer); more are found again.
constexpr size_t MaxLineSpans = size_t(1) << 15;

// What a thread works in: its read block, the data lines of its chunk, a
// line longer than the block, and a block for counting an earlier chunk
// (made when first needed).
struct VertexWorkspace {
    char* block;
    LineSpan* spans;
    ModelLine longLine;
    char* countBlock;
};

// A chunk as read into a block.
struct ChunkText {
    const char* block;
    int64_t from;       // file offset of the block's first byte
    size_t got, want;   // bytes read, and asked for
    const char* first;  // the first line that begins in the chunk
    const char* limit;  // the chunk's lines begin before this
    const char* end;    // the end of what was read
    bool endsFile;      // no line begins past the chunk
};

void SetField(ModelVertex* vertex, int field, float value) {
    switch (field) {
    case 0: vertex->x = value; break;
    case 1: vertex->y = value; break;
    case 2: vertex->z = value; break;
    case 3: vertex->u = value; break;
    default: vertex->v = value; break;
    }
}

// Settles the chunks that are done, in file order, and fills in what their
// first vertices take from the chunks before.
void SettleChunks(VertexLoad* load, int64_t chunk, const ChunkResult& result) {
    FieldFill fills[PendingChunks];
    int fillCount = 0;
    {
        std::lock_guard<std::mutex> hold(load->lock);
        load->results[chunk % PendingChunks] = result;
        load->results[chunk % PendingChunks].isDone = true;
        for (;;) {
            ChunkResult& settled = load->results[load->settledChunks % PendingChunks];
            if (!settled.isDone) break;
            FieldFill fill = {settled.firstVertex, {}, {}};
            bool isFilling = false;
            for (int f = 0; f < load->fields; ++f) {
                fill.count[f] = settled.givenFrom[f];
                fill.value[f] = load->hold[f];
                isFilling |= settled.givenFrom[f] > 0;
                if (settled.givenFrom[f] < settled.vertexCount) load->hold[f] = settled.hold[f];
            }
            if (isFilling) fills[fillCount++] = fill;
            if (settled.vertexCount > 0) load->lastLineOffset = settled.lastLineOffset;
            settled.isDone = false;
            ++load->settledChunks;
        }
    }
    load->changed.notify_all();
    // The vertices are this chunk's or those of chunks done before: no other
    // thread writes them any more.
    for (int i = 0; i < fillCount; ++i)
        for (int f = 0; f < load->fields; ++f)
            for (int64_t k = 0; k < fills[i].count[f]; ++k)
                SetField(&load->vertices[fills[i].firstVertex + k], f, fills[i].value[f]);
}

// Reads chunk `chunk` (the lines that begin in [start, start + chunkBytes))
// into `block`.
ChunkText ReadChunk(const VertexLoad* load, int64_t chunk, char* block) {
    ChunkText text;
    const int64_t start = load->base + chunk * load->chunkBytes;
    // From the byte before, which tells whether a line begins at `start`.
    text.from = chunk > 0 ? start - 1 : start;
    const size_t chunkEnd = size_t(start - text.from) + size_t(load->chunkBytes);
    text.want = chunkEnd + load->lineSlack;
    text.got = ReadFileAt(load->file, text.from, block, text.want);
    text.block = block;
    text.end = block + text.got;
    text.limit = block + std::min(text.got, chunkEnd);
    text.endsFile = text.got <= chunkEnd;
    text.first = block + (start - text.from);
    if (chunk > 0) {
        const void* lf = std::memchr(block, '\n', size_t(text.limit - block));
        text.first = lf ? static_cast<const char*>(lf) + 1 : text.limit;
    }
    return text;
}

// Counts the chunk's data lines, noting up to `capacity` of them in `spans`;
// `rest` is set to where the lines past those noted begin.
int64_t CountDataLines(const ChunkText& text, LineSpan* spans, size_t capacity, size_t* spanCount,
                       const char** rest) {
    int64_t lineCount = 0;
    *spanCount = 0;
    *rest = text.first;
    for (const char* p = text.first; p < text.limit;) {
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', size_t(text.end - p)));
        const char* lineEnd = lf ? lf + 1 : text.end;
        if (IsDataLine(p, text.end)) {
            if (*spanCount < capacity) {
                spans[(*spanCount)++] = {uint32_t(p - text.block), uint32_t(lineEnd - text.block)};
                *rest = lineEnd;
            }
            ++lineCount;
        }
        if (!lf) break;
        p = lineEnd;
    }
    return lineCount;
}

// Gives the next chunk in file order (the lock held) its first vertex.
void PublishCount(VertexLoad* load, int64_t chunk, int64_t lineCount, bool endsFile) {
    if (load->isEnded) lineCount = 0;  // taken before the end was known
    load->counts[chunk % PendingChunks] = {load->linesBefore, lineCount};
    load->linesBefore += lineCount;
    if (endsFile || load->linesBefore >= load->needed) load->isEnded = true;
    ++load->countedChunks;
}

// Settles the count of `chunk` once the chunks before it are counted, and
// returns it. When the thread of an earlier chunk is slow to count it, counts
// that chunk here; the first count given stands (all read the same bytes).
ChunkCount SettleCount(VertexLoad* load, int64_t chunk, int64_t lineCount, bool endsFile,
                       VertexWorkspace* work) {
    std::unique_lock<std::mutex> hold(load->lock);
    while (load->countedChunks < chunk) {
        const int64_t waitingFor = load->countedChunks;
        if (load->changed.wait_for(hold, load->countTime,
                                   [&] { return load->countedChunks != waitingFor; }))
            continue;
        if (!work->countBlock)
            work->countBlock = AllocateReadBlock();
        if (!work->countBlock) {
            load->changed.wait(hold, [&] { return load->countedChunks != waitingFor; });
            continue;
        }
        hold.unlock();
        const ChunkText text = ReadChunk(load, waitingFor, work->countBlock);
        size_t noted;
        const char* rest;
        const int64_t count = CountDataLines(text, nullptr, 0, &noted, &rest);
        hold.lock();
        if (load->countedChunks == waitingFor) {
            PublishCount(load, waitingFor, count, text.endsFile);
            load->changed.notify_all();
        }
    }
    if (load->countedChunks == chunk) PublishCount(load, chunk, lineCount, endsFile);
    const ChunkCount counted = load->counts[chunk % PendingChunks];
    hold.unlock();
    load->changed.notify_all();
    return counted;
}

// Reads chunk `chunk` into the store.
void LoadChunk(VertexLoad* load, int64_t chunk, VertexWorkspace* work) {
    char* const block = work->block;
    const ChunkText text = ReadChunk(load, chunk, block);
    const int64_t from = text.from;
    const size_t got = text.got, want = text.want;
    const char* const end = text.end;
    size_t spanCount;
    const char* rest;  // where the lines past those noted begin
    const int64_t ownCount = CountDataLines(text, work->spans, load->spanCapacity, &spanCount, &rest);
    const ChunkCount counted = SettleCount(load, chunk, ownCount, text.endsFile, work);
    const int64_t firstVertex = counted.firstVertex;
    const int64_t lineCount = counted.lineCount;

    ChunkResult result = {};
    result.firstVertex = firstVertex;
    const int64_t stop = std::min(firstVertex + lineCount, load->needed);
    int64_t vertex = firstVertex;
    int given = 0;
    float hold[MaxFields] = {0, 0, 0, 0, 0};
    // Scans the data line [p, lineEnd) into the next vertex.
    auto take = [&](const char* p, const char* lineEnd) __attribute__((always_inline)) {
        const char* line = p;
        size_t length = size_t(lineEnd - p);
        bool isPadded = true;  // the block has room past its end
        if (lineEnd == end && got == want && lineEnd[-1] != '\n') {
            // The line goes on past what was read.
            ReadLineAt(load->file, from + (p - block), p, length, &work->longLine);
            line = work->longLine.text;
            length = work->longLine.length;
            isPadded = false;
        }
        bool isFast;
        const int gives = ScanVertexFields(line, length, load->textured, isPadded, hold, &isFast);
        for (; given < gives; ++given) result.givenFrom[given] = vertex - firstVertex;
        StoreVertex(load->vertices + vertex, hold, load->textured);
        result.lastLineOffset = from + (p - block);
        ++vertex;
    };
    for (size_t k = 0; k < spanCount && vertex < stop; ++k)
        take(block + work->spans[k].begin, block + work->spans[k].end);
    for (const char* p = rest; vertex < stop && p < end;) {
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        const char* lineEnd = lf ? lf + 1 : end;
        if (IsDataLine(p, end)) take(p, lineEnd);
        if (!lf) break;
        p = lineEnd;
    }
    // Every counted line was read above; should the file have changed under
    // a long line, the vertices are still all written.
    for (; vertex < stop; ++vertex) StoreVertex(load->vertices + vertex, hold, load->textured);
    result.vertexCount = std::max<int64_t>(stop - firstVertex, 0);
    for (int f = given; f < MaxFields; ++f) result.givenFrom[f] = result.vertexCount;
    std::memcpy(result.hold, hold, sizeof hold);
    SettleChunks(load, chunk, result);
}

// Has the kernel clear and map share `share` of `shares` of the store before
// its lines are read, leaving its contents as they are. The threads then
// clear their pages at once, where they would otherwise meet in one large
// page (the vertices of neighbouring chunks lie side by side), one clearing
// it while the other waits, or both clearing it.
void PopulateStoreShare(const VertexLoad* load, int share, int shares) {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
    const uintptr_t page = 4096, largePage = uintptr_t(2) << 20;
    const uintptr_t begin = reinterpret_cast<uintptr_t>(load->vertices);
    const uintptr_t end = begin + uintptr_t(load->populated) * sizeof(ModelVertex);
    auto boundary = [&](int k) {
        if (k <= 0) return begin;
        if (k >= shares) return end;
        uintptr_t at = begin + (end - begin) / uintptr_t(shares) * uintptr_t(k);
        return std::min(end, (at + largePage - 1) & ~(largePage - 1));
    };
    const uintptr_t from = (boundary(share) + page - 1) & ~(page - 1);
    const uintptr_t to = boundary(share + 1) & ~(page - 1);
    // Only advice: where the kernel cannot, the pages are mapped when written.
    if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
#else
    (void)load, (void)share, (void)shares;
#endif
}

void RunVertexWorker(VertexLoad* load, VertexWorkspace* work, int share, int shares) {
    PopulateStoreShare(load, share, shares);
    for (;;) {
        int64_t chunk;
        {
            std::unique_lock<std::mutex> hold(load->lock);
            load->changed.wait(hold, [&] {
                return load->isEnded || load->nextChunk - load->settledChunks < PendingChunks;
            });
            if (load->isEnded) break;
            chunk = load->nextChunk++;
        }
        LoadChunk(load, chunk, work);
    }
}

}  // namespace

int32_t ChooseLoadThreads() {
    int threads = modelLoadThreads;
    if (threads <= 0) {
        threads = int(std::thread::hardware_concurrency());
#ifdef __linux__
        // The processors this process may run on, where fewer are allowed.
        cpu_set_t allowed;
        if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) threads = CPU_COUNT(&allowed);
#endif
    }
    return int32_t(std::clamp(threads, 1, int(MaxLoadThreads)));
}

int64_t LoadVertexLinesInParallel(ModelStream* stream, ModelLine* line, ModelVertex* vertices,
                                  int64_t needed, bool textured) {
    if (needed <= 0 || modelLoadThreads == 1) return -1;
    const int64_t base = StreamPosition(stream);
    const int64_t bytes = stream->size - base;
    int64_t chunkBytes = modelLoadChunkBytes;
    if (chunkBytes <= 0 && bytes < ParallelLoadBytes) return -1;
    int threads = ChooseLoadThreads();
    if (threads < 2) return -1;
    const int64_t largestChunk = int64_t(ReadBlockSize - MaxLineSlack - 1);
    if (chunkBytes <= 0) {
        // A few chunks per thread, for threads that the machine runs slower.
        chunkBytes = std::clamp(bytes / (4 * threads), int64_t(1) << 16, largestChunk);
    }
    chunkBytes = std::min(chunkBytes, largestChunk);
    if (bytes <= chunkBytes) return -1;
    threads = int(std::min<int64_t>(threads, (bytes + chunkBytes - 1) / chunkBytes));

    VertexLoad load;
    load.file = stream->file;
    load.base = base;
    load.chunkBytes = chunkBytes;
    load.lineSlack = std::min(MaxLineSlack, size_t(chunkBytes));
    load.spanCapacity = std::min(MaxLineSpans, size_t(chunkBytes) / 16);
    // Counting takes well under a microsecond for each 4 KiB.
    load.countTime = std::chrono::microseconds(chunkBytes / 4096);
    load.vertices = vertices;
    load.needed = needed;
    // Mapped ahead: no more vertices than the bytes on disk give in vertex
    // lines of the shortest kind ("Vertex 0 0 0"); a sparse file's holes or
    // one giant line give none.
    const int64_t stored = std::min(bytes, StoredFileBytes(stream->file));
    load.populated = std::clamp<int64_t>(stored / MinVertexLineBytes, 0, needed);
    load.textured = textured;
    load.fields = textured ? 5 : 3;

    // The calling thread works too, in the stream's own block.
    VertexWorkspace workspaces[MaxLoadThreads] = {};
    workspaces[0].block = stream->block;
    int ready = 0;  // workspaces with their memory
    for (; ready < threads; ++ready) {
        VertexWorkspace& work = workspaces[ready];
        work.spans = static_cast<LineSpan*>(std::malloc((load.spanCapacity + 1) * sizeof(LineSpan)));
        if (!work.block) work.block = AllocateReadBlock();
        if (!work.spans || !work.block) break;
    }
    std::thread helpers[MaxLoadThreads];
    int started = 1;
    if (ready > 0) {
        for (; started < ready; ++started) {
            try {
                helpers[started] = std::thread(RunVertexWorker, &load, &workspaces[started], started, ready);
            } catch (...) {  // no thread, or no memory for one: fewer threads
                break;
            }
        }
        RunVertexWorker(&load, &workspaces[0], 0, ready);
        for (int i = 1; i < started; ++i) helpers[i].join();
    }
    for (VertexWorkspace& work : workspaces) {
        if (work.block != stream->block) std::free(work.block);
        std::free(work.spans);
        std::free(work.longLine.text);
        std::free(work.countBlock);
    }
    if (ready == 0) return -1;  // nothing read: the serial load goes on

    // The line buffer holds the last data line read, as after a serial load.
    const int64_t read = std::min(load.linesBefore, needed);
    if (read > 0) TakeLineAt(stream, load.lastLineOffset, line);
    return read;
}

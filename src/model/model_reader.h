// The model file's reader: the open file, read in large blocks, and its lines
// as the loads take them (ReadDataLine and the reads the parallel load makes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "file/regular_file.h"

// A line as the reader delivers it: the whole line, its line feed included
// where it had one, followed by a NUL. A line that holds a NUL byte of its
// own is kept up to that byte, which ends it: scanning stops there, and a
// file of zeros (a sparse file's holes) costs no memory.
struct ModelLine {
    char* text;
    size_t length;
    size_t capacity;
    bool isCut;  // ends at a NUL byte of its own; the rest of the line is not kept
};

// The model file while a load runs, read in large blocks.
struct ModelStream {
    FILE* file;
    int64_t size;        // the file's size when it was opened
    char* block;
    size_t begin;        // next unread byte in block
    size_t end;          // bytes held in block
    int64_t offset;      // file offset of the byte after those in block
    bool atEnd;          // nothing more can be read from file
    bool hasDataLine;    // this load has delivered a data line
    int64_t linesRead;   // lines taken from the file so far, comments included
    int64_t lineNumber;  // 1-based number of the last data line delivered
};

// A read block holds this many bytes, and after them this many more that stay
// readable (and zero): vertex lines are scanned with reads of 16 bytes that
// may reach past the last line (ScanVertexFields, padded).
constexpr size_t ReadBlockSize = size_t(1) << 20;
constexpr size_t ReadBlockPadding = 16;

// A zeroed read block with its padding; null when memory is short.
char* AllocateReadBlock();

// Opens the model file for a load: a regular file only (OpenRegularFile).
// False when it cannot be opened; `opened` (may be null) then says why.
bool OpenModelStream(ModelStream* stream, const char* path, RegularFile* opened = nullptr);

// Skips a UTF-8 byte-order mark at the start of the file; call it before the
// first read. True when there was one.
bool SkipByteOrderMark(ModelStream* stream);

// File offset of the stream's next unread byte.
inline int64_t StreamPosition(const ModelStream* stream) {
    return stream->offset - int64_t(stream->end - stream->begin);
}

// Most data lines `bytes` bytes can hold: each takes a byte and a line feed,
// but the last needs no line feed.
inline int64_t MostDataLines(int64_t bytes) {
    return bytes > 0 ? (bytes + 1) / 2 : 0;
}
void CloseModelStream(ModelStream* stream);

// Whether the line that begins at `text` is a data line: not a comment ("#"),
// not empty (a line feed, or CR LF). `end` bounds what is in view; a carriage
// return as the last byte in view must be the last byte of the file.
inline bool IsDataLine(const char* text, const char* end) {
    return text[0] != '#' && text[0] != '\n' &&
           !(text[0] == '\r' && text + 1 < end && text[1] == '\n');
}

// Reads lines from `stream` into `buffer` until a data line (one that does not
// begin with "#" or a line feed) has been read. At the end of the file the
// buffer keeps the last data line of this load, or is emptied when the load
// has read none. Read errors count as the end of the file.
void ReadDataLine(ModelStream* stream, ModelLine* buffer);

// ReadDataLine for the common case, without copying: when the next data line
// lies whole in the block (line feed included), points `text` at it there and
// returns true; 16 readable bytes follow it. Otherwise returns false, having
// consumed at most some comment and empty lines, and the caller reads the
// line with ReadDataLine. A line in view is only valid until the block moves
// on: KeepLine then copies it into the line buffer. Inline: it is the serial
// load's step for every line.
inline bool ViewDataLine(ModelStream* stream, const char** text, size_t* length) {
    for (;;) {
        const char* first = stream->block + stream->begin;
        size_t avail = stream->end - stream->begin;
        if (avail < 2) return false;
        const char* lf = static_cast<const char*>(std::memchr(first, '\n', avail));
        if (!lf) return false;
        ++stream->linesRead;
        size_t taken = size_t(lf - first) + 1;
        stream->begin += taken;
        if (!IsDataLine(first, lf + 1)) continue;
        *text = first;
        *length = taken;
        stream->hasDataLine = true;
        stream->lineNumber = stream->linesRead;
        return true;
    }
}

// Makes `text` the line buffer's contents, as ReadDataLine would have left it.
void KeepLine(ModelLine* line, const char* text, size_t length);

// Reads the rest of the line at the stream's position into `line` (replacing
// its contents), with a CR LF end folded to LF.
void TakeLine(ModelStream* stream, ModelLine* line);

// Moves the stream to `offset` (a line's first byte) and reads that line as
// TakeLine does; the stream then goes on after it.
void TakeLineAt(ModelStream* stream, int64_t offset, ModelLine* line);

// Reads the line at `offset`, whose first `inView` bytes are at `text`, whole
// into `line`: up to and including its line feed, or to the end of the file,
// or to a NUL byte, where it is cut (AppendLine). When memory runs short the
// line keeps what fits. Uses no shared file position (ReadFileAt).
void ReadLineAt(FILE* file, int64_t offset, const char* text, size_t inView, ModelLine* line);

// Reads up to `size` bytes at `offset` without using a shared file position,
// so that several threads may read the one file at once. Fewer bytes only at
// the end of the file; a read error counts as the end.
size_t ReadFileAt(FILE* file, int64_t offset, char* buffer, size_t size);

// Bytes of `file` that the file system holds on disk (a sparse file's holes
// take none); -1 when it cannot be told.
int64_t StoredFileBytes(FILE* file);

// Makes room in `line` for `size` bytes and a NUL; false when memory is short
// (the line then keeps the room it has).
bool ReserveLine(ModelLine* line, size_t size);

// Appends bytes to `line`, up to and including a first NUL byte (nothing
// after it), keeping what fits when memory is short.
void AppendLine(ModelLine* line, const char* bytes, size_t count);

// Empties `line` for a new line's bytes.
inline void StartLine(ModelLine* line) {
    line->length = 0;
    line->isCut = false;
}

// The records that convert's import child sends its parent through a pipe,
// both ends of them: a header, then `count` triangles (in the child's own
// layout: same program, same build) or `count` bytes of the importer's
// reason. The parent checks every header before it believes its count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/model.h"
#include "signed_axis.h"

constexpr size_t ImportHeaderBytes = 16;  // magic, kind, texture coordinates, up, front, count
constexpr size_t MaxImportReasonBytes = 4096;

enum class ImportRecordKind : uint8_t { Mesh = 1, Reason = 2 };

struct ImportRecordHeader {
    ImportRecordKind kind = ImportRecordKind::Reason;
    bool hasTextureCoordinates = false;
    SignedAxis up = 0;
    SignedAxis front = 0;
    uint64_t count = 0;  // triangles of a mesh, bytes of a reason
};

// The child's end: writes the header, or a whole record, to `fd`; false when
// the pipe refuses.
bool WriteImportHeader(int fd, const ImportRecordHeader& header);
bool WriteAll(int fd, const void* data, size_t size);

// The parent's end: what has come through the pipe so far.
class ImportReceiver {
public:
    explicit ImportReceiver(std::vector<ModelTriangle>* triangles) : triangles_(triangles) {}

    // Where the next bytes go, and how many may come (the mesh grows as the
    // data comes, never on the header's word alone); Take counts them in.
    char* Space(size_t* room);
    void Take(size_t n);

    bool IsHeaderDone() const { return headerBytes_ == ImportHeaderBytes; }
    bool IsComplete() const { return IsHeaderDone() && payloadDone_ == payloadBytes_; }
    bool IsBroken() const { return isBroken_; }  // not what the child writes
    const ImportRecordHeader& Header() const { return header_; }
    const std::string& Reason() const { return reason_; }

private:
    uint8_t bytes_[ImportHeaderBytes] = {};
    size_t headerBytes_ = 0;
    ImportRecordHeader header_;
    uint64_t payloadBytes_ = 0;  // expected after the header
    uint64_t payloadDone_ = 0;
    std::string reason_;
    std::vector<ModelTriangle>* triangles_;
    bool isBroken_ = false;
};

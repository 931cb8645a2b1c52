// Both ends of convert's import pipe: the child's records and the parent's
// reading of them.
#include "import_pipe.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr char RecordMagic[4] = {'P', 'V', 'I', '1'};

}  // namespace

bool WriteImportHeader(int fd, const ImportRecordHeader& header) {
    uint8_t bytes[ImportHeaderBytes];
    std::memcpy(bytes, RecordMagic, 4);
    bytes[4] = uint8_t(header.kind);
    bytes[5] = header.hasTextureCoordinates ? 1 : 0;
    bytes[6] = uint8_t(int8_t(header.up));
    bytes[7] = uint8_t(int8_t(header.front));
    std::memcpy(bytes + 8, &header.count, 8);
    return WriteAll(fd, bytes, sizeof bytes);
}

bool WriteAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

char* ImportReceiver::Space(size_t* room) {
    if (!IsHeaderDone()) {
        *room = ImportHeaderBytes - headerBytes_;
        return reinterpret_cast<char*>(bytes_) + headerBytes_;
    }
    uint64_t left = payloadBytes_ - payloadDone_;
    if (header_.kind == ImportRecordKind::Mesh) {
        size_t needed = size_t(payloadDone_ / sizeof(ModelTriangle)) + 1;
        if (triangles_->size() < needed) {
            size_t grown = triangles_->size() < 1024 ? 1024 : triangles_->size() * 2;
            if (grown > header_.count) grown = size_t(header_.count);
            triangles_->resize(grown);
        }
        uint64_t space = uint64_t(triangles_->size()) * sizeof(ModelTriangle) - payloadDone_;
        *room = size_t(space < left ? space : left);
        return reinterpret_cast<char*>(triangles_->data()) + payloadDone_;
    }
    reason_.resize(size_t(payloadBytes_));
    *room = size_t(left);
    return &reason_[size_t(payloadDone_)];
}

void ImportReceiver::Take(size_t n) {
    if (IsHeaderDone()) {
        payloadDone_ += n;
        return;
    }
    headerBytes_ += n;
    if (!IsHeaderDone()) return;
    const uint8_t kind = bytes_[4];
    std::memcpy(&header_.count, bytes_ + 8, 8);
    if (std::memcmp(bytes_, RecordMagic, 4) != 0 ||
        (kind != uint8_t(ImportRecordKind::Mesh) && kind != uint8_t(ImportRecordKind::Reason)) ||
        (kind == uint8_t(ImportRecordKind::Reason) && header_.count > MaxImportReasonBytes)) {
        isBroken_ = true;
        return;
    }
    header_.kind = ImportRecordKind(kind);
    header_.hasTextureCoordinates = bytes_[5] != 0;
    header_.up = int8_t(bytes_[6]);
    header_.front = int8_t(bytes_[7]);
    if (header_.kind == ImportRecordKind::Mesh)
        payloadBytes_ = header_.count <= uint64_t(MaxTriangleCount) ? header_.count * sizeof(ModelTriangle) : 0;
    else
        payloadBytes_ = header_.count;
}

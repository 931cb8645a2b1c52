// A plain model loader built only from ReadDataLine and ScanText: one data
// line read and scanned per vertex, no fast path; a UTF-8 byte-order mark
// at the start skipped; the count bounded by the file's size and cut to the
// triangles given whole when the file ends. The tests and the fuzz target hold LoadModelFile against
// it.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "model/model.h"
#include "model/model_format.h"
#include "model/scan.h"

struct ReferenceModel {
    int32_t count = 0;
    int32_t mode = 0;
    std::vector<ModelTriangle> triangles;
    int64_t verticesRead = 0;  // vertex lines read before the file ended
    bool isOpened = false;
    std::string lastLine;  // what the line buffer holds after the load
};

// Loads `path` into `model` as the viewer's loader would, starting from
// `mode` as the texture mode left by an earlier load. False, with nothing
// loaded, when the count is above `maxCount`: the caller skips such files.
inline bool LoadReferenceModel(const char* path, int32_t mode, int32_t maxCount,
                               ReferenceModel* out) {
    ReferenceModel& model = *out;
    model = ReferenceModel{};
    model.mode = mode;
    ModelStream stream;
    if (!OpenModelStream(&stream, path)) return true;
    model.isOpened = true;
    // The mark is found here with a read of its own, and the stream started
    // behind it before its first read.
    char start[3] = {};
    if (ReadFileAt(stream.file, 0, start, 3) == 3 && std::memcmp(start, Utf8ByteOrderMark, 3) == 0)
        stream.offset = 3;
    ModelLine line = {};
    ReadDataLine(&stream, &line);
    ScanText(line.text, line.length, CountLineFormat, &model.count);
    ReadDataLine(&stream, &line);
    ScanText(line.text, line.length, ModeLineFormat, &model.mode);
    // Each data line takes at least a byte and a line feed (the last one no
    // line feed), three lines a triangle.
    const int64_t rest = int64_t(std::filesystem::file_size(path)) - StreamPosition(&stream);
    if (model.count > (rest + 1) / 2 / 3) model.count = int32_t((rest + 1) / 2 / 3);
    if (model.count > maxCount) {
        CloseModelStream(&stream);
        std::free(line.text);
        return false;
    }
    if (model.count > 0) model.triangles.resize(size_t(model.count));
    if (model.mode == 0 || model.mode == 1) {
        const char* format = VertexLineFormat(model.mode == 1);
        float hold[5] = {0, 0, 0, 0, 0};
        for (int64_t k = 0; k < 3 * int64_t(model.count); ++k) {
            const int64_t before = stream.lineNumber;
            ReadDataLine(&stream, &line);
            if (stream.lineNumber == before) break;  // the end of the file
            ScanText(line.text, line.length, format, &hold[0], &hold[1], &hold[2], &hold[3], &hold[4]);
            model.triangles[size_t(k / 3)].vertices[k % 3] = {hold[0], hold[1], hold[2], hold[3], hold[4]};
            ++model.verticesRead;
        }
        if (model.count > 0) {
            model.count = int32_t(model.verticesRead / 3);
            model.triangles.resize(size_t(model.count));
        }
    }
    if (line.text) model.lastLine.assign(line.text, line.length);
    CloseModelStream(&stream);
    std::free(line.text);
    return true;
}

// Empty when ModelStore holds what `want` holds: count, mode, the line
// buffer, and every field the load defines (positions, and texture
// coordinates in mode 1), bit for bit. Otherwise what differs first.
inline std::string DiffStoreFromReference(const ReferenceModel& want) {
    const ModelStoreRecord& store = ModelStore;
    if (store.triangleCount != want.count)
        return "count " + std::to_string(store.triangleCount) + ", want " + std::to_string(want.count);
    if (store.TextureMode != want.mode)
        return "mode " + std::to_string(store.TextureMode) + ", want " + std::to_string(want.mode);
    if ((store.triangles != nullptr) != (want.count > 0)) return "array and count disagree";
    std::string lastLine(store.lineBuffer.text ? store.lineBuffer.text : "", store.lineBuffer.length);
    if (want.isOpened && lastLine != want.lastLine) return "line buffer '" + lastLine + "', want '" + want.lastLine + "'";
    if (want.mode != 0 && want.mode != 1) return "";
    const int fields = want.mode == 1 ? 5 : 3;
    for (size_t t = 0; t < want.triangles.size(); ++t) {
        for (int k = 0; k < 3; ++k) {
            const ModelVertex& got = store.triangles[t].vertices[k];
            const ModelVertex& expected = want.triangles[t].vertices[k];
            if (std::memcmp(&got, &expected, sizeof(float) * size_t(fields)) != 0)
                return "vertex " + std::to_string(3 * t + size_t(k)) + " differs";
        }
    }
    return "";
}

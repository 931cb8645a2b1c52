// The model writer: header and vertex lines that the loader reads back exactly.
#include "model/model_format.h"

void WriteModelHeader(FILE* out, int64_t count, int32_t mode) {
    std::fprintf(out, "%s >> %lld\n%s >> %d\n", CountKeyword, static_cast<long long>(count),
                 ModeKeyword, int(mode));
}

void WriteVertexLine(FILE* out, const ModelVertex& v, bool textured, int decimals) {
    const double x = v.x, y = v.y, z = v.z, u = v.u, w = v.v;
    const int d = decimals;
    if (decimals < 0 && textured)
        std::fprintf(out, "%s %.9g %.9g %.9g >> %s %.9g %.9g\n", VertexKeyword, x, y, z,
                     TexCoordKeyword, u, w);
    else if (decimals < 0)
        std::fprintf(out, "%s %.9g %.9g %.9g\n", VertexKeyword, x, y, z);
    else if (textured)
        std::fprintf(out, "%s %.*f %.*f %.*f >> %s %.*f %.*f\n", VertexKeyword, d, x, d, y, d, z,
                     TexCoordKeyword, d, u, d, w);
    else
        std::fprintf(out, "%s %.*f %.*f %.*f\n", VertexKeyword, d, x, d, y, d, z);
}

bool WriteModelFile(FILE* out, const char* comment, const ModelTriangle* triangles, size_t count,
                    int32_t mode) {
    if (comment) std::fprintf(out, "# %s\n", comment);
    WriteModelHeader(out, int64_t(count), mode);
    for (size_t t = 0; t < count; ++t)
        for (const ModelVertex& v : triangles[t].vertices) WriteVertexLine(out, v, mode == 1);
    return std::fflush(out) == 0 && !std::ferror(out);
}

// Prints what ScanText makes of every line of a file with each of the model
// format's scan formats, so that two builds (Linux and Windows) can be
// compared line by line. With --generate it writes such a file instead:
// lines built from the pieces that make scanning hard.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "model/model_format.h"
#include "model/scan.h"

namespace {

const char* const Formats[] = {CountLineFormat, ModeLineFormat, TexturedVertexFormat,
                               PlainVertexFormat};

void Generate(FILE* out, long count, uint32_t seed) {
    static const char* const pieces[] = {
        "Vertex", "vertex", "UcgenSayisi", "KaplamaKullanimi", ">>", ">", "TKoord", " ", "  ", "\t",
        "\v", "\r", "1", "-2", "+3.5", ".5", "5.", ".", "1e", "1e+", "1e-3", "1E39", "1e-46", "0x1.8p3",
        "0x", "0x.", "-0X1P-149", "0x1.000001p-150", "inf", "-Infinity", "infinit", "nan", "NAN(123)",
        "1,5", "007", "2147483647", "2147483648", "-2147483648", "3.4028235e38", "3.4028236e38",
        "1.40129846e-45", "0.1", "16777217", "#", "x", "--1", "+-1", "99999999999999999999.5"};
    std::mt19937 random(seed);
    std::uniform_int_distribution<size_t> piece(0, sizeof pieces / sizeof pieces[0] - 1);
    std::uniform_int_distribution<int> length(1, 14);
    for (long i = 0; i < count; ++i) {
        std::string line;
        // Most lines start like a real one, so that the scan gets far.
        if (i % 3 == 0) line = "Vertex ";
        if (i % 3 == 1) line = i % 2 ? "UcgenSayisi >> " : "KaplamaKullanimi >>";
        for (int n = length(random); n > 0; --n) {
            line += pieces[piece(random)];
            if (random() % 3) line += ' ';
        }
        std::fprintf(out, "%s\n", line.c_str());
    }
}

void Print(FILE* out, const std::string& line) {
    for (int f = 0; f < 4; ++f) {
        int32_t count = INT32_MIN;
        float values[5];
        for (float& v : values) std::memset(&v, 0xA5, sizeof v);
        int result;
        if (f < 2) {
            result = ScanText(line.data(), line.size(), Formats[f], &count);
            std::fprintf(out, "%d %" PRId32 "%c", result, count, f == 3 ? '\n' : ' ');
            continue;
        }
        void* targets[5] = {&values[0], &values[1], &values[2], &values[3], &values[4]};
        result = ScanTextInto(line.data(), line.size(), Formats[f], targets);
        std::fprintf(out, "%d", result);
        for (int i = 0; i < (f == 2 ? 5 : 3); ++i) {
            uint32_t bits;
            std::memcpy(&bits, &values[i], sizeof bits);
            std::fprintf(out, " %08" PRIX32, bits);
        }
        std::fputc(f == 3 ? '\n' : ' ', out);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--generate") == 0) {
        Generate(stdout, std::strtol(argv[2], nullptr, 10), uint32_t(std::strtoul(argv[3], nullptr, 10)));
        return 0;
    }
    if (argc != 2) {
        std::fputs("usage: scan_table FILE | scan_table --generate COUNT SEED\n", stderr);
        return 2;
    }
    FILE* in = std::fopen(argv[1], "rb");
    if (!in) {
        std::perror(argv[1]);
        return 1;
    }
    std::string line;
    for (int c; (c = std::fgetc(in)) != EOF;) {
        if (c != '\n') {
            line += char(c);
            continue;
        }
        Print(stdout, line);
        line.clear();
    }
    std::fclose(in);
    return 0;
}

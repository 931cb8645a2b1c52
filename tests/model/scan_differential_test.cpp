// ScanText against glibc's sscanf, and the loads' vertex scan (its fast path
// first) against both.
//
// Generated lines (fixed seeds) are scanned with each of the model's four
// formats by both, and the outcomes must agree exactly: the return value, which
// targets were assigned and the bit pattern of every assigned value. Only a %d
// whose value does not fit int32_t is judged differently: ScanText must treat
// it as a conversion that does not match, where glibc's %d gives a truncated
// value.
#include <gtest/gtest.h>

#include <cfloat>
#include <cinttypes>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "model/scan.h"
#include "model/scan_vertex.h"
#include "scan_formats.h"

namespace {

// Lines per generated group; raise it for a longer search.
constexpr int GroupLines = 60000;

// Targets are filled with one of two sentinels before each scan; a target
// counts as assigned when it differs from its sentinel in either run, so a
// value that happens to equal one sentinel is still seen. The first is a
// signalling NaN, which no float conversion produces.
constexpr uint32_t SentinelA = 0x7FA5A5A5u;
constexpr uint32_t SentinelB = 0x5A5A5A5Au;

struct Outcome {
    int result = 0;
    unsigned assigned = 0;  // bit i: target i was written
    uint32_t bits[5] = {};

    bool operator==(const Outcome& o) const {
        if (result != o.result || assigned != o.assigned) return false;
        for (int i = 0; i < 5; ++i)
            if ((assigned >> i & 1) && bits[i] != o.bits[i]) return false;
        return true;
    }
};

// Targets are read and written through their addresses only: a float that
// passes through an x87 register (32-bit x86) loses a signalling NaN's bits.
template <typename T>
uint32_t Bits(const T* value) {
    static_assert(sizeof(T) == 4, "four-byte targets");
    uint32_t b;
    std::memcpy(&b, value, 4);
    return b;
}

template <typename T>
void SetBits(T* value, uint32_t b) {
    std::memcpy(value, &b, 4);
}

template <typename T>
T FromBits(uint32_t b) {
    T value;
    SetBits(&value, b);
    return value;
}

// Runs `scan(targets)` with both sentinels and merges the two runs.
template <typename T, typename Scan>
Outcome Observe(int conversions, Scan scan) {
    Outcome out;
    T a[5], b[5];
    for (int i = 0; i < 5; ++i) {
        SetBits(&a[i], SentinelA);
        SetBits(&b[i], SentinelB);
    }
    int ra = scan(a);
    int rb = scan(b);
    out.result = ra == rb ? ra : -1000;  // a scan must not depend on the targets
    for (int i = 0; i < conversions; ++i) {
        uint32_t va = Bits(&a[i]), vb = Bits(&b[i]);
        if (va != SentinelA || vb != SentinelB) {
            out.assigned |= 1u << i;
            out.bits[i] = va != SentinelA ? va : vb;
            if (va != vb) out.result = -1001;  // two runs wrote different values
        }
    }
    return out;
}

std::string Escape(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
            case '\0': out += "\\0"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\v': out += "\\v"; break;
            case '\f': out += "\\f"; break;
            case '\r': out += "\\r"; break;
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            default:
                if (c >= 0x20 && c < 0x7F) {
                    out += char(c);
                } else {
                    char hex[8];
                    std::snprintf(hex, sizeof hex, "\\x%02X", c);
                    out += hex;
                }
        }
    }
    return out + "\"";
}

std::string Describe(const Outcome& o, int conversions) {
    std::ostringstream s;
    s << "returns " << o.result;
    for (int i = 0; i < conversions; ++i) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%08" PRIX32, o.bits[i]);
        s << (i ? ", " : " [") << ((o.assigned >> i & 1) ? buf : "-");
    }
    return s.str() + "]";
}

// Feeds lines to both scanners and keeps the score.
class Differ {
public:
    void Check(const std::string& line) {
        ++lines_;
        // ScanText gets the bytes alone, in a block of their exact size, so
        // that a read past `length` is caught by the address sanitizer.
        std::unique_ptr<char[]> bytes(new char[line.size() ? line.size() : 1]);
        std::memcpy(bytes.get(), line.data(), line.size());
        for (int f = 0; f < ScanFormatCount; ++f) Compare(line, bytes.get(), ScanFormats[f], f);
    }

    long lines() const { return lines_; }
    long comparisons() const { return comparisons_; }
    long mismatches() const { return mismatches_; }
    // How often glibc returned `result` (-1 to 5) for format `f`.
    long Results(int f, int result) const { return results_[f][result + 1]; }
    // Lines whose %d value fell outside int32_t.
    long Overflows() const { return overflows_; }

    std::string Report() const {
        std::ostringstream s;
        s << mismatches_ << " of " << comparisons_ << " comparisons differ";
        for (const std::string& r : reports_) s << "\n" << r;
        return s.str();
    }

private:
    void Compare(const std::string& line, const char* bytes, const ScanFormat& format, int f) {
        ++comparisons_;
        const char* c = line.c_str();
        const size_t n = line.size();
        const char* fmt = format.text;
        Outcome expected, actual;
        if (!format.wideText.empty()) {
            if (ReadsOutsideInt32(c, format)) {
                ++overflows_;
                expected.result = 0;
            } else {
                expected = Observe<int32_t>(1, [&](int32_t* t) { return std::sscanf(c, fmt, &t[0]); });
            }
            actual = Observe<int32_t>(1, [&](int32_t* t) { return ScanText(bytes, n, fmt, &t[0]); });
        } else if (format.conversions == 5) {
            expected = Observe<float>(5, [&](float* t) {
                return std::sscanf(c, fmt, &t[0], &t[1], &t[2], &t[3], &t[4]);
            });
            actual = Observe<float>(5, [&](float* t) {
                return ScanText(bytes, n, fmt, &t[0], &t[1], &t[2], &t[3], &t[4]);
            });
        } else {
            expected = Observe<float>(3, [&](float* t) { return std::sscanf(c, fmt, &t[0], &t[1], &t[2]); });
            actual = Observe<float>(3, [&](float* t) { return ScanText(bytes, n, fmt, &t[0], &t[1], &t[2]); });
        }
        if (expected.result >= -1 && expected.result <= 5) ++results_[f][expected.result + 1];
        if (format.wideText.empty() && !EntryAgrees(bytes, n, format.conversions, expected)) {
            actual.result = -99;  // reported below as a mismatch
        }
        if (expected == actual) return;
        ++mismatches_;
        if (reports_.size() < 12) {
            reports_.push_back(Escape(line) + " with " + Escape(fmt) + ": expected " +
                               Describe(expected, format.conversions) + ", ScanText " +
                               Describe(actual, format.conversions));
        }
    }

    // The loads' one vertex scan, the fast path and then the reference, must
    // give what sscanf gives, on a line in view with padding after it or
    // not. The padded form reads past the end: digits there, and what looks
    // like the rest of a number, must not be taken.
    static bool EntryAgrees(const char* bytes, size_t n, int conversions, const Outcome& expected) {
        std::unique_ptr<char[]> padded(new char[n + 16]);
        std::memcpy(padded.get(), bytes, n);
        std::memcpy(padded.get() + n, "7 77.7 7e7 7777 ", 16);
        for (bool isPadded : {false, true}) {
            bool isFast = false;
            Outcome got = Observe<float>(conversions, [&](float* t) {
                return ScanVertexFields(isPadded ? padded.get() : bytes, n, conversions == 5, isPadded, t, &isFast);
            });
            if (!(got == expected) || (isFast && expected.result != conversions)) return false;
        }
        return true;
    }

    long lines_ = 0, comparisons_ = 0, mismatches_ = 0, overflows_ = 0;
    long results_[ScanFormatCount][7] = {};
    std::vector<std::string> reports_;
};

// ---------------------------------------------------------------------------
// Line generator

class Generator {
public:
    explicit Generator(uint32_t seed) : rng_(seed) {}

    int Uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    bool Chance(double p) { return std::bernoulli_distribution(p)(rng_); }
    template <size_t N>
    const char* Pick(const char* const (&items)[N]) { return items[Uniform(0, int(N) - 1)]; }
    uint32_t Word() { return uint32_t(rng_()); }

    std::string Digits(int count, const char* alphabet = "0123456789") {
        size_t n = std::strlen(alphabet);
        std::string s;
        for (int i = 0; i < count; ++i) s += alphabet[Uniform(0, int(n) - 1)];
        return s;
    }

    // A digit count: mostly short, sometimes long, rarely hundreds.
    int Length() {
        int k = Uniform(0, 99);
        if (k < 15) return 0;
        if (k < 75) return Uniform(1, 4);
        if (k < 93) return Uniform(5, 12);
        if (k < 98) return Uniform(13, 60);
        return Uniform(100, 400);
    }

    std::string MixCase(std::string s) {
        for (char& c : s)
            if (std::isalpha((unsigned char)c) && Chance(0.5)) c ^= 0x20;
        return s;
    }

    std::string Sign() {
        static const char* const signs[] = {"+", "-", "+-", "--", "-+", "++"};
        int k = Uniform(0, 99);
        if (k < 55) return "";
        if (k < 80) return "-";
        if (k < 92) return "+";
        return Pick(signs);
    }

    // Blank characters: usually one space, at times none or several of any kind.
    std::string Blanks(bool mayBeEmpty = true) {
        static const char kinds[] = {' ', '\t', '\v', '\f', '\r', '\n'};
        int k = Uniform(0, 99);
        if (k < 70) return " ";
        if (k < 80 && mayBeEmpty) return "";
        std::string s;
        for (int i = Uniform(1, 4); i > 0; --i) s += kinds[Uniform(0, 5)];
        return s;
    }

    // A keyword as written, or now and then with its case changed, cut short,
    // extended or preceded by a blank.
    std::string Keyword(const std::string& word) {
        int k = Uniform(0, 99);
        if (k < 84) return word;
        if (k < 89) return MixCase(word);
        if (k < 94) return word.substr(0, size_t(Uniform(0, int(word.size()) - 1)));
        if (k < 97) return word + char(Uniform(0x21, 0x7E));
        return Blanks(false) + word;
    }

    std::string Arrow() {
        static const char* const others[] = {">", "> >", ">>>", "<<", "=>", ">\t>", ""};
        return Chance(0.88) ? ">>" : Pick(others);
    }

    std::string Ending() {
        static const char* const endings[] = {"\n", "\r\n", " ", "\t\n", " x", "#", "\n\n", " 7"};
        return Chance(0.4) ? "" : Pick(endings);
    }

    // --- numbers for %f ---

    std::string Decimal() {
        std::string s = Sign();
        if (Chance(0.15)) s += std::string(size_t(Uniform(1, Chance(0.9) ? 3 : 40)), '0');
        std::string whole = Digits(Length());
        std::string fraction = Digits(Length());
        // Zeros after the point move the magnitude against the exponent.
        if (Chance(0.1)) fraction = std::string(size_t(Uniform(1, 60)), '0') + fraction;
        s += whole;
        int k = Uniform(0, 99);
        if (k < 55) s += "." + fraction;
        else if (k < 60) s += ".";
        else if (k < 65) s += "," + fraction;  // a decimal comma ends the number
        if (Chance(0.4)) s += Exponent("eE", 3);
        return s;
    }

    // "e"/"p" part: sign, digits; at times no digits or a huge count.
    std::string Exponent(const char* letters, int maxDigits) {
        std::string s(1, letters[Uniform(0, int(std::strlen(letters)) - 1)]);
        s += Sign();
        int k = Uniform(0, 99);
        if (k < 8) return s;  // letter without digits
        if (k < 14) return s + Digits(Uniform(4, 20));
        if (k < 18) return s + std::string(size_t(Uniform(1, 5)), '0') + Digits(Uniform(1, maxDigits));
        return s + Digits(Uniform(1, maxDigits));
    }

    std::string Hexadecimal() {
        std::string s = Sign() + (Chance(0.8) ? "0x" : "0X");
        static const char* const alphabets[] = {"0123456789abcdefABCDEF", "0", "f", "08", "0f1", "01"};
        const char* alphabet = Pick(alphabets);
        std::string whole = Chance(0.3) ? "1" : Digits(Length(), alphabet);
        std::string fraction = Digits(Length(), alphabet);
        int shape = Uniform(0, 9);
        if (shape < 2) {
            // A few leading bits, the rest far behind.
            fraction = Digits(Uniform(4, 8), "0") + Digits(Uniform(1, 3), "0123456789abcdef");
        } else if (shape < 4) {
            // 24 bits, then the rounding bit (the low bit of the sixth digit)
            // and, possibly beyond the 64th bit, a sticky one.
            whole = "1";
            fraction = Digits(6, "0123456789abcdef") + Digits(Length(), "0") + Digits(1, "0123456789abcdef");
        }
        s += whole;
        if (Chance(0.7)) s += "." + fraction;
        if (Chance(0.85)) {
            s += Chance(0.85) ? "p" : "P";
            int k = Uniform(0, 99);
            if (k < 10) {
                s += Sign();  // no digits: the exponent is not taken
            } else {
                // Aim near the subnormal range, the overflow edge or 1.
                long e;
                if (k < 50) e = Uniform(-160, -118);
                else if (k < 70) e = Uniform(118, 132);
                else if (k < 90) e = Uniform(-20, 20);
                else e = Chance(0.5) ? Uniform(-99999, 99999) : long(Word());
                e -= 4 * long(whole.size());
                s += (e < 0 ? "-" : Chance(0.2) ? "+" : "") + std::to_string(std::labs(e));
            }
        }
        return s;
    }

    std::string Special() {
        static const char* const words[] = {
            "inf", "infinity", "nan", "nan(123)", "nan()", "nan(", "infx", "infinit", "infin",
            "infinityy", "in", "i", "na", "n", "nanx", "INFINITY", "Inf", "NaN", "iNfInItY"};
        std::string s = Sign() + Pick(words);
        return Chance(0.5) ? MixCase(s) : s;
    }

    // A random float printed in one of printf's styles.
    std::string Printed() {
        static const char* const styles[] = {"%.9g", "%.6e", "%a", "%.8E", "%.17g", "%f", "%.30g", "%A", "%.3g"};
        float f = FromBits<float>(Word());
        if (Chance(0.3)) f = float(Uniform(-1000, 1000)) / float(Uniform(1, 64));
        char buf[512];
        std::snprintf(buf, sizeof buf, Pick(styles), double(f));
        return buf;
    }

    // The exact decimal of a double, with trailing zeros dropped.
    static std::string ExactDecimal(double d) {
        char buf[256];
        std::snprintf(buf, sizeof buf, "%.130e", d);
        std::string s = buf;
        size_t e = s.find('e');
        size_t last = s.find_last_not_of('0', e - 1);
        if (s[last] == '.') --last;
        return s.substr(0, last + 1) + s.substr(e);
    }

    // The halfway point between two adjacent floats, exactly, just above or
    // just below: the values where rounding must be exact.
    std::string Midpoint() {
        float lower;
        int k = Uniform(0, 99);
        if (k < 8) lower = FLT_MAX;  // halfway to 2^128: the overflow edge
        else if (k < 16) lower = 0.0f;  // 2^-150: the underflow edge
        else if (k < 30) lower = FromBits<float>(Word() & 0x00FFFFFFu);  // subnormal or near
        else lower = FromBits<float>(Word() & 0x7F7FFFFFu);
        double upper = lower == FLT_MAX ? std::ldexp(1.0, 128)
                                        : double(std::nextafter(lower, INFINITY));
        double mid = (double(lower) + upper) / 2;  // exact: 26 bits at most
        std::string s = ExactDecimal(mid);
        size_t e = s.find('e');
        std::string mantissa = s.substr(0, e), exponent = s.substr(e);
        k = Uniform(0, 2);
        if (k == 1) {
            mantissa += std::string(size_t(Uniform(0, 30)), '0') + "1";
        } else if (k == 2 && mantissa.back() == '5') {
            mantissa.back() = '4';
            mantissa += std::string(size_t(Uniform(1, 30)), '9');
        }
        if (mantissa.find('.') == std::string::npos) mantissa += ".";
        return Sign() + mantissa + exponent;
    }

    std::string FloatNumber() {
        int k = Uniform(0, 99);
        if (k < 30) return Decimal();
        if (k < 50) return Hexadecimal();
        if (k < 58) return Special();
        if (k < 75) return Printed();
        if (k < 88) return Midpoint();
        if (k < 94) return IntNumber();
        static const char* const odd[] = {".", "-.", "+", "-", "e5", ".e1", "0x", "-0x", "0x.", "0xp1",
                                          "0x.p1", "1e", "1e+", "1e-", "1E99", "1e-50", "x", ""};
        return Pick(odd);
    }

    // --- numbers for %d ---

    std::string IntNumber() {
        static const char* const edges[] = {
            "2147483647", "2147483648", "2147483649", "4294967295", "4294967296", "4294967297",
            "9223372036854775807", "9223372036854775808", "18446744073709551615",
            "18446744073709551616", "99999999999999999999999", "0"};
        int k = Uniform(0, 99);
        std::string s = Sign();
        if (Chance(0.1)) s += std::string(size_t(Uniform(1, 12)), '0');
        if (k < 30) {
            s += std::to_string(Uniform(0, 100));
        } else if (k < 50) {
            s += std::to_string(Word());
        } else if (k < 70) {
            s += Pick(edges);
        } else if (k < 85) {
            // Within a few of the int32_t and int64_t limits.
            int64_t base = Chance(0.7) ? (int64_t(1) << 31) : INT64_MAX - 3;
            s += std::to_string(base + Uniform(-3, 3));
        } else if (k < 92) {
            s += Digits(Uniform(11, 300));
        } else {
            static const char* const odd[] = {"0x1A", "1.5", "1e3", "12abc", "", "x", " 5", "007", "1,000"};
            s += Pick(odd);
        }
        return s;
    }

    // --- lines ---

    std::string CountLine() {
        std::string s = Keyword(Chance(0.5) ? "UcgenSayisi" : "KaplamaKullanimi");
        s += Blanks() + Arrow() + Blanks() + IntNumber();
        return s + Ending();
    }

    std::string VertexLine() {
        std::string s = Keyword("Vertex");
        for (int i = 0; i < 3; ++i) s += Blanks(i > 0) + FloatNumber();
        if (Chance(0.6)) {
            s += Blanks() + Arrow() + Blanks() + Keyword("TKoord");
            for (int i = 0; i < 2; ++i) s += Blanks() + FloatNumber();
        }
        return s + Ending();
    }

    std::string AnyLine() { return Chance(0.25) ? CountLine() : VertexLine(); }

    // One to three small edits: a NUL, another printable, a deletion, a copy.
    std::string Mutate(std::string s) {
        for (int n = Uniform(1, 3); n > 0; --n) {
            size_t at = size_t(Uniform(0, int(s.size())));
            switch (Uniform(0, 4)) {
                case 0: s.insert(at, 1, '\0'); break;
                case 1: if (at < s.size()) s[at] = char(Uniform(0x20, 0x7E)); break;
                case 2: s.insert(at, 1, char(Uniform(0x20, 0x7E))); break;
                case 3: if (at < s.size()) s.erase(at, 1); break;
                case 4: s.insert(at, s.substr(size_t(Uniform(0, int(s.size()))), size_t(Uniform(1, 8)))); break;
            }
        }
        return s;
    }

    std::string RandomBytes() {
        std::string s;
        int n = Uniform(0, 48);
        if (Chance(0.5)) {
            for (int i = 0; i < n; ++i) s += char(Uniform(0, 255));
        } else {
            // Bytes the scanner reacts to, so that runs of them meet.
            static const char alphabet[] = "0123456789.,eEpPxXaAfF+-iInNtTyY() \t\v\f\r\n>VertexTKoord";
            for (int i = 0; i < n; ++i) s += alphabet[Uniform(0, int(sizeof alphabet) - 1)];  // NUL too
        }
        return s;
    }

private:
    std::mt19937 rng_;
};

// Every outcome a format can have should show up, or the lines are too tame.
void ExpectVariety(const Differ& d, int format, int lowest, int highest) {
    for (int r = lowest; r <= highest; ++r)
        EXPECT_GT(d.Results(format, r), 0) << ScanFormats[format].text << " never returned " << r;
}

void ExpectAgreement(const Differ& d) {
    std::printf("[ lines    ] %ld lines, %ld comparisons\n", d.lines(), d.comparisons());
    ASSERT_EQ(d.mismatches(), 0) << d.Report();
}

// glibc's sscanf is the reference; elsewhere there is nothing to compare with.
class ScanDifferential : public ::testing::Test {
protected:
    void SetUp() override {
#if !defined(__GLIBC__)
        GTEST_SKIP() << "the reference is glibc's sscanf";
#endif
    }
};

TEST_F(ScanDifferential, CountLines) {
    Differ d;
    Generator g(0xC0117u);
    for (int i = 0; i < GroupLines; ++i) d.Check(g.CountLine());
    ExpectAgreement(d);
    ExpectVariety(d, 0, -1, 1);
    ExpectVariety(d, 1, -1, 1);
    EXPECT_GT(d.Overflows(), GroupLines / 20);
}

TEST_F(ScanDifferential, VertexLines) {
    Differ d;
    Generator g(0x7E47E8u);
    for (int i = 0; i < 2 * GroupLines; ++i) d.Check(g.VertexLine());
    ExpectAgreement(d);
    ExpectVariety(d, 2, 0, 5);
    ExpectVariety(d, 3, 0, 3);
}

// Single numbers of each kind in every position of a textured line.
TEST_F(ScanDifferential, NumberEdges) {
    Differ d;
    Generator g(0xED6E5u);
    for (int i = 0; i < GroupLines; ++i) {
        std::string number;
        switch (i % 4) {
            case 0: number = g.Midpoint(); break;
            case 1: number = g.Hexadecimal(); break;
            case 2: number = g.Decimal(); break;
            case 3: number = g.Chance(0.5) ? g.Special() : g.Printed(); break;
        }
        std::string fields[5] = {"1", "-2", "3", "0.5", "0.25"};
        fields[i / 4 % 5] = number;
        d.Check("Vertex " + fields[0] + " " + fields[1] + " " + fields[2] + " >> TKoord " +
                fields[3] + " " + fields[4]);
    }
    ExpectAgreement(d);
    ExpectVariety(d, 2, 0, 5);
}

// Numbers of thousands to a million characters, with exponents that bring
// them back near 1 or to the edges of the float range.
TEST_F(ScanDifferential, LongNumbers) {
    Differ d;
    Generator g(0x109E5u);
    for (int i = 0; i < 48; ++i) {
        long zeros = 1000L << (i % 10);  // up to about 500000
        long shift = g.Uniform(-160, 140) + (i % 3 == 0 ? 0 : g.Uniform(-3, 3));
        std::string number;
        if (i % 4 == 0) {
            // 0.000...0ddd p(4 * zeros + shift)
            number = "0x0." + std::string(size_t(zeros), '0') + g.Digits(g.Uniform(1, 8), "0123456789abcdef") +
                     "p" + std::to_string(4 * zeros + shift);
        } else if (i % 4 == 1) {
            number = "0x1" + g.Digits(size_t(zeros), "0123456789abcdef") + "p-" + std::to_string(4 * zeros - shift);
        } else if (i % 4 == 2) {
            number = "0." + std::string(size_t(zeros), '0') + g.Digits(g.Uniform(1, 12)) + "e" +
                     std::to_string(zeros + shift / 3);
        } else {
            number = g.Digits(1, "123456789") + g.Digits(size_t(zeros)) + "e-" + std::to_string(zeros - shift / 3);
        }
        d.Check("Vertex " + number + " 1 " + number + " >> TKoord 2 " + number);
    }
    ExpectAgreement(d);
    ExpectVariety(d, 2, 5, 5);
}

// Every prefix of a line: the scan meets the end of the text at each point.
TEST_F(ScanDifferential, Truncations) {
    Differ d;
    Generator g(0x7A0C8u);
    while (d.lines() < GroupLines) {
        std::string line = g.AnyLine();
        for (size_t n = 0; n <= line.size(); ++n) d.Check(line.substr(0, n));
    }
    ExpectAgreement(d);
    ExpectVariety(d, 2, -1, 5);
    ExpectVariety(d, 0, -1, 1);
}

// Lines with NULs and stray characters put in.
TEST_F(ScanDifferential, Mutations) {
    Differ d;
    Generator g(0x3D7A7Eu);
    for (int i = 0; i < GroupLines; ++i) d.Check(g.Mutate(g.AnyLine()));
    ExpectAgreement(d);
    ExpectVariety(d, 2, -1, 5);
}

TEST_F(ScanDifferential, RandomBytes) {
    Differ d;
    Generator g(0xB17E5u);
    for (int i = 0; i < GroupLines; ++i) d.Check(g.RandomBytes());
    ExpectAgreement(d);
}

// ---------------------------------------------------------------------------
// The behaviours of glibc's scanf that a reader would least expect, spelled
// out. The differential tests above are the proof; these are the examples.

struct Scan3 {
    int result;
    float v[3];
};

Scan3 Vertex(const std::string& line) {
    Scan3 s{0, {-7, -7, -7}};
    s.result = ScanText(line.data(), line.size(), "Vertex %f %f %f", &s.v[0], &s.v[1], &s.v[2]);
    return s;
}

int Count(const std::string& line, int32_t* value) {
    return ScanText(line.data(), line.size(), "UcgenSayisi >> %d\n", value);
}

TEST(ScanQuirks, NumberEnds) {
    // An exponent letter without digits is taken, so the scan goes on after it.
    Scan3 s = Vertex("Vertex 1e 2E+ 3e-");
    EXPECT_EQ(s.result, 3);
    EXPECT_EQ(s.v[0], 1.0f);
    EXPECT_EQ(s.v[1], 2.0f);
    EXPECT_EQ(s.v[2], 3.0f);

    // "nan(123)" reads "nan"; the parenthesis then fails the next field.
    s = Vertex("Vertex nan(123) 2 3");
    EXPECT_EQ(s.result, 1);
    EXPECT_TRUE(std::isnan(s.v[0]));
    EXPECT_EQ(s.v[1], -7.0f);

    // A decimal comma ends the number.
    s = Vertex("Vertex 1,5 2 3");
    EXPECT_EQ(s.result, 1);
    EXPECT_EQ(s.v[0], 1.0f);

    // "infinit" is neither "inf" nor "infinity": no conversion at all.
    EXPECT_EQ(Vertex("Vertex infinit 1 1").result, 0);
    // "infx" is infinity followed by an 'x'.
    s = Vertex("Vertex infx 1 1");
    EXPECT_EQ(s.result, 1);
    EXPECT_EQ(s.v[0], INFINITY);

    // A sign or a point alone is no number.
    EXPECT_EQ(Vertex("Vertex - 1 1").result, 0);
    EXPECT_EQ(Vertex("Vertex . 1 1").result, 0);
    EXPECT_EQ(Vertex("Vertex 0x 1 1").result, 0);
    s = Vertex("Vertex .5 5. 0x.");
    EXPECT_EQ(s.result, 3);
    EXPECT_EQ(s.v[0], 0.5f);
    EXPECT_EQ(s.v[1], 5.0f);
    EXPECT_EQ(s.v[2], 0.0f);
}

TEST(ScanQuirks, HexAndInfinityAreNumbers) {
    Scan3 s = Vertex("Vertex 0x1.8p3 -inf INFINITY");
    EXPECT_EQ(s.result, 3);
    EXPECT_EQ(s.v[0], 12.0f);
    EXPECT_EQ(s.v[1], -INFINITY);
    EXPECT_EQ(s.v[2], INFINITY);

    s = Vertex("Vertex -0X1P-149 -NaN 1e-50");
    EXPECT_EQ(s.result, 3);
    EXPECT_EQ(s.v[0], -std::ldexp(1.0f, -149));
    EXPECT_TRUE(std::isnan(s.v[1]) && std::signbit(s.v[1]));
    EXPECT_EQ(Bits(&s.v[2]), 0u);  // underflow: +0
}

// glibc rounds hexadecimal input that lands below the normal range as if the
// bit after the 24th were not there: 0x1.000003p-127 is 2^22 + 3/4 units of
// 2^-149 and should round up, but reads as 2^22 units. Decimal input and
// normal results round correctly.
TEST(ScanQuirks, HexSubnormalRounding) {
    Scan3 s = Vertex("Vertex 0x1.000003p-127 0x1.0000031p-127 0x1.000003p-126");
    ASSERT_EQ(s.result, 3);
    EXPECT_EQ(s.v[0], std::ldexp(1.0f, -127));
    EXPECT_EQ(s.v[1], std::ldexp(1.0f, -127) + std::ldexp(1.0f, -149));  // a later bit does count
    EXPECT_EQ(s.v[2], std::ldexp(1.0f + std::ldexp(1.0f, -22), -126));   // 1.5 units: tie to even
}

TEST(ScanQuirks, KeywordsAndBlanks) {
    int32_t n = -7;
    EXPECT_EQ(Count("ucgenSayisi >> 5", &n), 0);  // letter case must match
    EXPECT_EQ(Count(" UcgenSayisi >> 5", &n), 0);  // no blank before the keyword
    EXPECT_EQ(n, -7);
    EXPECT_EQ(Count("UcgenSayisi>>5", &n), 1);  // blanks around ">>" are optional
    EXPECT_EQ(n, 5);
    EXPECT_EQ(Count("UcgenSayisi\t\v>>\f\r6\n", &n), 1);  // and may be of any kind
    EXPECT_EQ(n, 6);
    EXPECT_EQ(Count("UcgenSayisi > 5", &n), 0);

    // Text ending before the first conversion is an input failure, not a mismatch.
    EXPECT_EQ(Count("", &n), -1);
    EXPECT_EQ(Count("UcgenSayisi >>  ", &n), -1);
    EXPECT_EQ(Vertex("Vertex").result, -1);
    // The textured format on an untextured line: three fields, then the end.
    float v[5];
    EXPECT_EQ(ScanText("Vertex 1 2 3", 12, "Vertex %f %f %f >> TKoord %f %f", &v[0], &v[1], &v[2], &v[3], &v[4]), 3);
}

TEST(ScanQuirks, TextEndsAtLengthOrNul) {
    const char line[] = "Vertex 1 2\0 3";
    Scan3 s{0, {-7, -7, -7}};
    EXPECT_EQ(ScanText(line, sizeof line - 1, "Vertex %f %f %f", &s.v[0], &s.v[1], &s.v[2]), 2);
    EXPECT_EQ(s.v[1], 2.0f);
    EXPECT_EQ(s.v[2], -7.0f);
    // The length cuts "12" to "1".
    EXPECT_EQ(ScanText("Vertex 1 2 12", 12, "Vertex %f %f %f", &s.v[0], &s.v[1], &s.v[2]), 3);
    EXPECT_EQ(s.v[2], 1.0f);
}

TEST(ScanQuirks, CountOutsideInt32DoesNotMatch) {
    int32_t n = -7;
    EXPECT_EQ(Count("UcgenSayisi >> 2147483648", &n), 0);
    EXPECT_EQ(Count("UcgenSayisi >> -2147483649", &n), 0);
    EXPECT_EQ(Count("UcgenSayisi >> 4294967301", &n), 0);  // would wrap to 5
    EXPECT_EQ(n, -7);
    EXPECT_EQ(Count("UcgenSayisi >> -2147483648", &n), 1);
    EXPECT_EQ(n, INT32_MIN);
    EXPECT_EQ(Count("UcgenSayisi >> 0002147483647", &n), 1);
    EXPECT_EQ(n, INT32_MAX);
}

}  // namespace

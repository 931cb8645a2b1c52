// Small reproducible random numbers for the benchmarks' generated models.
#pragma once

#include <cstdint>

// splitmix64: small, fast and the same on every run.
struct Rng {
    uint64_t state;
    uint64_t Next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double Unit() { return double(Next() >> 11) * (1.0 / 9007199254740992.0); }
    unsigned Below(unsigned n) { return unsigned(Next() % n); }
};

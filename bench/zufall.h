// The benchmark programs' random numbers: splitmix64, the same sequence on every system for a
// seed, so that a document or a cutting named by its seed can be made again.
#pragma once

#include <cstdint>

struct Zufall {
    uint64_t s;
    uint64_t next() {
        uint64_t z = (s += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, n) (n small; the bias is irrelevant here).
    uint32_t unter(uint32_t n) { return static_cast<uint32_t>(next() % n); }
    bool prozent(uint32_t p) { return unter(100) < p; }
};

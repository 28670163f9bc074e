#pragma once
// A running 64-bit FNV-1a hash of what happens in a battle: two battles with equal digests took the same
// commands and left every unit with the same numbers after every turn.

#include <cstdint>
#include <string>

class EventDigest
{
public:
    static constexpr uint64_t kOffset = 0xcbf29ce484222325ull;
    static constexpr uint64_t kPrime = 0x100000001b3ull;

    void Add(int64_t value)
    {
        uint64_t bits = static_cast<uint64_t>(value);
        for (int i = 0; i < 8; ++i) {
            hash ^= bits & 0xffu;
            hash *= kPrime;
            bits >>= 8;
        }
        ++events;
    }
    void Add(const std::string& text)
    {
        for (unsigned char c : text) {
            hash ^= c;
            hash *= kPrime;
        }
        ++events;
    }

    uint64_t Value() const { return hash; }
    int64_t Events() const { return events; }

private:
    uint64_t hash = kOffset;
    int64_t events = 0;
};

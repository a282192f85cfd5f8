#pragma once

// The compact word-vector file written by tools/word_vectors_to_binary and
// memory-mapped by WordVectors. Plain C++ so that the build-time tool shares
// it without Qt. Little-endian, all sections 64-byte aligned:
//   Header
//   vectors      wordCount x dimensions IEEE half floats, row = frequency rank
//   wordOffsets  wordCount + 1 uint32 offsets into the word bytes
//   words        UTF-8 bytes of every word, back to back
//   table        tableSize uint32 (power of two): row + 1, or 0 for an empty
//                slot; open addressing with linear probing on wordHash

#include <cstdint>
#include <cstring>
#include <string_view>

namespace WordVectorFormat {

inline constexpr char magic[8] = {'G', 'D', 'W', 'V', 'E', 'C', '0', '1'};
inline constexpr std::uint64_t alignment = 64;

struct Header
{
    char magic[8];
    std::uint32_t wordCount;
    std::uint32_t dimensions;
    std::uint32_t tableSize;
    std::uint32_t reserved;
    std::uint64_t vectorsOffset;
    std::uint64_t wordOffsetsOffset;
    std::uint64_t wordsOffset;
    std::uint64_t tableOffset;
    std::uint64_t fileSize;
};
static_assert(sizeof(Header) == 64);

// FNV-1a over the word's UTF-8 bytes.
inline std::uint32_t wordHash(std::string_view word)
{
    std::uint32_t hash = 2166136261u;
    for (unsigned char byte : word) {
        hash ^= byte;
        hash *= 16777619u;
    }
    return hash;
}

inline std::uint64_t aligned(std::uint64_t offset)
{
    return (offset + alignment - 1) / alignment * alignment;
}

// Round to nearest even; values beyond the half range become infinities.
inline std::uint16_t floatToHalf(float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const std::uint32_t sign = (bits >> 16) & 0x8000u;
    const std::uint32_t rawExponent = (bits >> 23) & 0xffu;
    std::uint32_t mantissa = bits & 0x7fffffu;
    if (rawExponent == 0xffu)
        return std::uint16_t(sign | 0x7c00u | (mantissa ? 0x200u : 0u));
    const int exponent = int(rawExponent) - 127 + 15;
    if (exponent >= 31)
        return std::uint16_t(sign | 0x7c00u);
    if (exponent <= 0) {
        if (exponent < -10)
            return std::uint16_t(sign);
        mantissa |= 0x800000u;
        const std::uint32_t shift = std::uint32_t(14 - exponent);
        std::uint32_t half = mantissa >> shift;
        const std::uint32_t rest = mantissa & ((1u << shift) - 1);
        const std::uint32_t middle = 1u << (shift - 1);
        if (rest > middle || (rest == middle && (half & 1u)))
            ++half;
        return std::uint16_t(sign | half);
    }
    // A carry out of the mantissa correctly bumps the exponent.
    std::uint32_t half = sign | (std::uint32_t(exponent) << 10) | (mantissa >> 13);
    const std::uint32_t rest = mantissa & 0x1fffu;
    if (rest > 0x1000u || (rest == 0x1000u && (half & 1u)))
        ++half;
    return std::uint16_t(half);
}

inline float halfToFloat(std::uint16_t half)
{
    const std::uint32_t sign = std::uint32_t(half & 0x8000u) << 16;
    std::uint32_t exponent = (half >> 10) & 0x1fu;
    std::uint32_t mantissa = half & 0x3ffu;
    std::uint32_t bits;
    if (exponent == 0 && mantissa == 0) {
        bits = sign;
    } else if (exponent == 0) {
        exponent = 127 - 15 + 1;
        while (!(mantissa & 0x400u)) {
            mantissa <<= 1;
            --exponent;
        }
        bits = sign | (exponent << 23) | ((mantissa & 0x3ffu) << 13);
    } else if (exponent == 31) {
        bits = sign | 0x7f800000u | (mantissa << 13);
    } else {
        bits = sign | ((exponent + 112) << 23) | (mantissa << 13);
    }
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

} // namespace WordVectorFormat

#include "library/SubstringFinder.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define BRINDLE_X86 1
#endif

namespace {
// How common a byte is in folded screen text, roughly: blanks and vowels
// most, digits and rare letters least. Bytes of other scripts are scarce.
int commonness(unsigned char byte)
{
    static const std::array<int, 256> table = [] {
        std::array<int, 256> rank{};
        rank.fill(1);
        const char* const byFrequency = " etaoinsrhldcumfpgwybv.,k0-1x2:/3j59q4867z";
        const int count = int(std::strlen(byFrequency));
        for (int i = 0; i < count; ++i)
            rank[static_cast<unsigned char>(byFrequency[i])] = 2 + count - i;
        return rank;
    }();
    return table[byte];
}

bool hasAvx2()
{
#ifdef BRINDLE_X86
    static const bool supported = __builtin_cpu_supports("avx2");
    return supported;
#else
    return false;
#endif
}
} // namespace

SubstringFinder::SubstringFinder(std::string needle)
    : m_needle(std::move(needle))
{
    if (m_needle.size() < 2)
        return;
    // The rarest byte, then the rarest other one; a pair far apart filters
    // better than neighbours, so ties go to the larger distance.
    size_t rarest = 0;
    for (size_t i = 1; i < m_needle.size(); ++i) {
        if (commonness(m_needle[i]) < commonness(m_needle[rarest]))
            rarest = i;
    }
    size_t other = rarest == 0 ? 1 : 0;
    const auto distance = [rarest](size_t i) { return i > rarest ? i - rarest : rarest - i; };
    for (size_t i = 0; i < m_needle.size(); ++i) {
        if (i == rarest)
            continue;
        const int a = commonness(m_needle[i]);
        const int b = commonness(m_needle[other]);
        if (a < b || (a == b && distance(i) > distance(other)))
            other = i;
    }
    m_first = std::min(rarest, other);
    m_second = std::max(rarest, other);
}

const char* SubstringFinder::find(const char* begin, const char* end) const
{
    const size_t size = m_needle.size();
    if (size == 0)
        return begin;
    if (size_t(end - begin) < size)
        return end;
    if (size == 1) {
        const void* found = std::memchr(begin, m_needle[0], size_t(end - begin));
        return found ? static_cast<const char*>(found) : end;
    }
    return hasAvx2() ? findAvx2(begin, end) : findSse2(begin, end);
}

const char* SubstringFinder::findScalar(const char* begin, const char* end) const
{
    const size_t size = m_needle.size();
    const char first = m_needle[m_first];
    const char second = m_needle[m_second];
    for (const char* at = begin; at + size <= end; ++at) {
        if (at[m_first] == first && at[m_second] == second && std::memcmp(at, m_needle.data(), size) == 0)
            return at;
    }
    return end;
}

#ifdef BRINDLE_X86
const char* SubstringFinder::findSse2(const char* begin, const char* end) const
{
    const size_t size = m_needle.size();
    const __m128i first = _mm_set1_epi8(m_needle[m_first]);
    const __m128i second = _mm_set1_epi8(m_needle[m_second]);
    const char* at = begin;
    // Every candidate of a round must fit a whole needle before `end`.
    for (; at + 16 + size - 1 <= end; at += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + m_first));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + m_second));
        unsigned mask = unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, second))));
        while (mask != 0) {
            const char* candidate = at + __builtin_ctz(mask);
            if (std::memcmp(candidate, m_needle.data(), size) == 0)
                return candidate;
            mask &= mask - 1;
        }
    }
    return findScalar(at, end);
}

__attribute__((target("avx2"))) const char* SubstringFinder::findAvx2(const char* begin, const char* end) const
{
    const size_t size = m_needle.size();
    const __m256i first = _mm256_set1_epi8(m_needle[m_first]);
    const __m256i second = _mm256_set1_epi8(m_needle[m_second]);
    const char* at = begin;
    for (; at + 32 + size - 1 <= end; at += 32) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + m_first));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + m_second));
        unsigned mask =
            unsigned(_mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpeq_epi8(a, first), _mm256_cmpeq_epi8(b, second))));
        while (mask != 0) {
            const char* candidate = at + __builtin_ctz(mask);
            if (std::memcmp(candidate, m_needle.data(), size) == 0)
                return candidate;
            mask &= mask - 1;
        }
    }
    return findSse2(at, end);
}
#else
const char* SubstringFinder::findSse2(const char* begin, const char* end) const
{
    return findScalar(begin, end);
}

const char* SubstringFinder::findAvx2(const char* begin, const char* end) const
{
    return findScalar(begin, end);
}
#endif

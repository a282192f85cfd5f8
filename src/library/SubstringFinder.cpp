#include "library/SubstringFinder.h"

#include <QChar>

#include <algorithm>
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

bool isWordUnit(char16_t unit)
{
    if (unit < 0x80)
        return (unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z') || (unit >= u'0' && unit <= u'9') ||
               unit == u'_';
    const QChar character(unit);
    return character.isLetterOrNumber() || character.isMark() || character.isSurrogate();
}

// The character of UTF-8 text that starts at `at`; U+FFFD for a malformed
// sequence or a separator byte.
char32_t decodeAfter(const char* at, const char* end)
{
    const auto lead = static_cast<unsigned char>(*at);
    const int length = lead < 0x80 ? 1 : lead >= 0xF0 && lead < 0xF8 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || lead >= 0xF8 || end - at < length)
        return U'\uFFFD';
    char32_t character = length == 1 ? lead : lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(at[i]);
        if ((next & 0xC0) != 0x80)
            return U'\uFFFD';
        character = (character << 6) | (next & 0x3F);
    }
    return character;
}

// The character that ends just before `at`.
char32_t decodeBefore(const char* begin, const char* at)
{
    const char* start = at - 1;
    while (start > begin && at - start < 4 && (static_cast<unsigned char>(*start) & 0xC0) == 0x80)
        --start;
    return decodeAfter(start, at);
}

bool isWordCharacter(char32_t character)
{
    if (character < 0x80)
        return isWordUnit(char16_t(character));
    return QChar::isLetterOrNumber(character) || QChar::isMark(character);
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

SubstringFinder::SubstringFinder(std::string needle, Match match)
    : m_needle(std::move(needle))
    , m_match(match)
{
    for (const char byte : m_needle) {
        m_isAscii = m_isAscii && static_cast<unsigned char>(byte) < 0x80;
        m_caseBits.push_back(byte >= 'a' && byte <= 'z' ? char16_t(0x20) : char16_t(0));
    }
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
    if (m_match == Match::anywhere || m_needle.empty())
        return findAnywhere(begin, end);
    for (const char* at = begin;;) {
        const char* hit = findAnywhere(at, end);
        if (hit == end)
            return end;
        const char* after = hit + m_needle.size();
        if ((hit == begin || !isWordCharacter(decodeBefore(begin, hit))) &&
            (after == end || !isWordCharacter(decodeAfter(after, end))))
            return hit;
        at = hit + 1;
    }
}

const char* SubstringFinder::findAnywhere(const char* begin, const char* end) const
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

const char16_t* SubstringFinder::findIgnoringAsciiCase(const char16_t* begin, const char16_t* end) const
{
    if (m_match == Match::anywhere || m_needle.empty())
        return findAnywhereIgnoringAsciiCase(begin, end);
    for (const char16_t* at = begin;;) {
        const char16_t* hit = findAnywhereIgnoringAsciiCase(at, end);
        if (hit == end)
            return end;
        const char16_t* after = hit + m_needle.size();
        if ((hit == begin || !isWordUnit(hit[-1])) && (after == end || !isWordUnit(*after)))
            return hit;
        at = hit + 1;
    }
}

const char16_t* SubstringFinder::findAnywhereIgnoringAsciiCase(const char16_t* begin, const char16_t* end) const
{
    const size_t size = m_needle.size();
    if (size == 0)
        return begin;
    if (!m_isAscii || size_t(end - begin) < size)
        return end;
    return hasAvx2() ? findWideAvx2(begin, end) : findWideScalar(begin, end);
}

bool SubstringFinder::equalsIgnoringAsciiCase(const char16_t* at) const
{
    // A unit of 0x80 or more never equals an ASCII byte, with or without
    // the case bit; A-Z with it are a-z.
    for (size_t i = 0; i < m_needle.size(); ++i) {
        if (char16_t(at[i] | m_caseBits[i]) != char16_t(static_cast<unsigned char>(m_needle[i])))
            return false;
    }
    return true;
}

const char16_t* SubstringFinder::findWideScalar(const char16_t* begin, const char16_t* end) const
{
    const size_t size = m_needle.size();
    for (const char16_t* at = begin; at + size <= end; ++at) {
        if (equalsIgnoringAsciiCase(at))
            return at;
    }
    return end;
}

#ifdef BRINDLE_X86
__attribute__((target("avx2"))) const char16_t* SubstringFinder::findWideAvx2(const char16_t* begin,
                                                                              const char16_t* end) const
{
    const size_t size = m_needle.size();
    const __m256i first = _mm256_set1_epi8(m_needle[m_first]);
    const __m256i second = _mm256_set1_epi8(m_needle[m_second]);
    const __m256i firstCase = _mm256_set1_epi8(char(m_caseBits[m_first]));
    const __m256i secondCase = _mm256_set1_epi8(char(m_caseBits[m_second]));
    const char16_t* at = begin;
    // 32 units a round, packed to bytes: a unit beyond 0xFF saturates to
    // 0xFF and, like any beyond ASCII, equals no byte of the needle.
    for (; at + 32 + size - 1 <= end; at += 32) {
        const auto* firsts = reinterpret_cast<const __m256i*>(at + m_first);
        const auto* seconds = reinterpret_cast<const __m256i*>(at + m_second);
        const __m256i a =
            _mm256_or_si256(_mm256_packus_epi16(_mm256_loadu_si256(firsts), _mm256_loadu_si256(firsts + 1)), firstCase);
        const __m256i b = _mm256_or_si256(
            _mm256_packus_epi16(_mm256_loadu_si256(seconds), _mm256_loadu_si256(seconds + 1)), secondCase);
        // Packing interleaves the halves of the two loads; one permutation
        // puts the 32 results back in text order.
        const __m256i both = _mm256_permute4x64_epi64(
            _mm256_and_si256(_mm256_cmpeq_epi8(a, first), _mm256_cmpeq_epi8(b, second)), 0b11011000);
        unsigned mask = unsigned(_mm256_movemask_epi8(both));
        while (mask != 0) {
            const char16_t* candidate = at + __builtin_ctz(mask);
            if (equalsIgnoringAsciiCase(candidate))
                return candidate;
            mask &= mask - 1;
        }
    }
    return findWideScalar(at, end);
}

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

const char16_t* SubstringFinder::findWideAvx2(const char16_t* begin, const char16_t* end) const
{
    return findWideScalar(begin, end);
}
#endif

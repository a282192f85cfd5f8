#pragma once

#include <array>
#include <cstddef>
#include <string>

// Finds one needle in many byte ranges, fast: 16 or 32 candidate positions
// at a time are tested on two of the needle's bytes, chosen to be rare in
// text (a 'q' or a 'z' rather than an 'e' or a blank), and only candidates
// that pass both are compared in full.
class SubstringFinder
{
public:
    explicit SubstringFinder(std::string needle);

    const std::string& needle() const { return m_needle; }

    // The first occurrence in [begin, end), or end when there is none. An
    // empty needle occurs at begin.
    const char* find(const char* begin, const char* end) const;

private:
    const char* findScalar(const char* begin, const char* end) const;
    const char* findSse2(const char* begin, const char* end) const;
    const char* findAvx2(const char* begin, const char* end) const;

    std::string m_needle;
    // Offsets of the two filter bytes within the needle (first < second).
    size_t m_first = 0;
    size_t m_second = 0;
};

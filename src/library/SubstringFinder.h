#pragma once

#include <array>
#include <cstddef>
#include <string>

// Finds one needle in many byte ranges, fast: 16 or 32 candidate positions
// at a time are tested on two of the needle's bytes, chosen to be rare in
// text (a 'q' or a 'z' rather than an 'e' or a blank), and only candidates
// that pass both are compared in full.
//
// A finder of whole words only takes an occurrence with no letter, digit or
// underscore right before or after it ("cart" in "my cart." but not in
// "cartoon"); the ends of the searched range count as boundaries.
class SubstringFinder
{
public:
    enum class Match { anywhere, wholeWord };

    explicit SubstringFinder(std::string needle, Match match = Match::anywhere);

    const std::string& needle() const { return m_needle; }

    // The first occurrence in [begin, end), or end when there is none. An
    // empty needle occurs at begin.
    const char* find(const char* begin, const char* end) const;
    // The same in UTF-16 text that is read as if its ASCII letters were
    // lower case: what `find` gives on the text's ASCII-folded bytes when the
    // text is plain ASCII. A needle with other bytes is never found.
    const char16_t* findIgnoringAsciiCase(const char16_t* begin, const char16_t* end) const;

private:
    const char* findAnywhere(const char* begin, const char* end) const;
    const char16_t* findAnywhereIgnoringAsciiCase(const char16_t* begin, const char16_t* end) const;
    const char* findScalar(const char* begin, const char* end) const;
    const char* findSse2(const char* begin, const char* end) const;
    const char* findAvx2(const char* begin, const char* end) const;
    bool equalsIgnoringAsciiCase(const char16_t* at) const;
    const char16_t* findWideScalar(const char16_t* begin, const char16_t* end) const;
    const char16_t* findWideAvx2(const char16_t* begin, const char16_t* end) const;

    std::string m_needle;
    Match m_match;
    // Offsets of the two filter bytes within the needle (first < second).
    size_t m_first = 0;
    size_t m_second = 0;
    // Whether the needle is plain ASCII, and per byte what to OR into a
    // UTF-16 unit before comparing it with that byte: 0x20 for a lower-case
    // letter (so that its upper case matches too), else nothing.
    bool m_isAscii = true;
    std::basic_string<char16_t> m_caseBits;
};

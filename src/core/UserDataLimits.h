#pragma once

#include <QtGlobal>

// The most the program keeps of the user's own words on one screenshot: what
// the inspector lays out without stalling (each limit reached alone takes it
// about a tenth of a second; the time grows faster than the count or the
// length beyond them). Words that come from elsewhere (a damaged library file)
// are held to them too.
namespace UserDataLimits {
// The longest tag taken; a longer one is refused, never cut.
inline constexpr qsizetype maxTagLength = 32767;
inline constexpr qsizetype maxTagCount = 500;
inline constexpr qsizetype maxNoteLength = 100'000;
} // namespace UserDataLimits

#pragma once

#include <string_view>

// Optimal string alignment distance (insertions, deletions, substitutions
// and swaps of two neighbours), giving up (returning limit + 1) once it
// exceeds `limit`.
int editDistance(std::u16string_view a, std::u16string_view b, int limit);

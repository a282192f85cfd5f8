#include "core/EditDistance.h"

#include <QtGlobal>

#include <algorithm>
#include <cstdlib>
#include <vector>

int editDistance(std::u16string_view a, std::u16string_view b, int limit)
{
    const size_t n = a.size();
    const size_t m = b.size();
    if (size_t(std::abs(qsizetype(n) - qsizetype(m))) > size_t(limit))
        return limit + 1;
    // Three rows: the one before the previous is needed for swaps.
    std::vector<int> before(m + 1), previous(m + 1), current(m + 1);
    for (size_t j = 0; j <= m; ++j)
        previous[j] = int(j);
    for (size_t i = 1; i <= n; ++i) {
        current[0] = int(i);
        int rowBest = current[0];
        for (size_t j = 1; j <= m; ++j) {
            const int substitution = previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
            int value = std::min({substitution, previous[j] + 1, current[j - 1] + 1});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                value = std::min(value, before[j - 2] + 1);
            current[j] = value;
            rowBest = std::min(rowBest, value);
        }
        if (rowBest > limit)
            return limit + 1;
        std::swap(before, previous);
        std::swap(previous, current);
    }
    return std::min(previous[m], limit + 1);
}

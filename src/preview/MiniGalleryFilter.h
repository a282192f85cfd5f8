#pragma once

#include "core/Screenshot.h"
#include "library/SearchIndex.h"
#include "library/TextFolder.h"

#include <QList>
#include <QString>

#include <atomic>
#include <optional>

// The tray popup's search: the screenshots whose file name, recognised text,
// visual labels, custom tags or note contain the typed text, ignoring case as
// the locale does (accents still count). The text is used whole: not trimmed,
// not split into words. The library's order is kept.
//
// It scans the folded texts of a SearchIndex, every block on its own core, so
// that a keystroke over a large library answers in a few tens of
// milliseconds off the GUI thread.
namespace MiniGalleryFilter {

// Whether one screenshot matches: the rule, record by record.
bool matches(const Screenshot& screenshot, const QString& text, const TextFolder& folder = TextFolder());

// The members of `library` that match `text`, in order; all of them for an
// empty text. Nothing when cancelled.
// Large libraries are searched on the threads of `pool`.
std::optional<QList<Screenshot>> filter(const QList<Screenshot>& library, const QString& text,
                                        SearchIndex::Cache& cache, quint64 generation, QThreadPool& pool,
                                        const std::atomic<bool>& cancelled);

// The positions in `index`, built from `library`, (ascending) that hold the
// folded needle in one of the five fields. Nothing when cancelled.
std::optional<std::vector<qsizetype>> matchingPositions(const QList<Screenshot>& library, const SearchIndex& index,
                                                        const std::string& foldedNeedle, QThreadPool& pool,
                                                        const std::atomic<bool>& cancelled);

} // namespace MiniGalleryFilter

#pragma once

#include <QHash>
#include <QList>
#include <QString>

// A grid over embedding vectors: each cell key lists indices into `embeddings`.
struct SpatialIndex
{
    static constexpr double gridSize = 0.2;

    QHash<QString, QList<int>> grid;
    QList<QList<double>> embeddings;
};

#pragma once

#include "library/SpatialIndex.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QUuid>

// The state of the library's embedding clusters. Nothing here runs a
// clustering yet; what matters is that a change of folder forgets everything
// computed for the old one. GUI thread only.
class ClusteringService
{
public:
    struct StableCluster
    {
        QString id;
        QString name;
        QSet<QUuid> screenshotIDs;
        QString centroidSignature;
        double quality = 0;
    };

    static constexpr double epsilon = 0.18;
    static constexpr int minPoints = 4;
    static constexpr int maxClusters = 15;

    void resetCache();

    const QList<StableCluster>& lastClusters() const { return m_lastClusters; }
    bool isConverged() const { return m_isConverged; }
    const SpatialIndex& spatialIndex() const { return m_spatialIndex; }
    const QHash<QString, double>& similarityCache() const { return m_similarityCache; }
    const QHash<QUuid, QString>& clusterAssignments() const { return m_clusterAssignments; }
    int lastClusterCount() const { return m_lastClusterCount; }
    int lastClusteredCount() const { return m_lastClusteredCount; }

private:
    QList<StableCluster> m_lastClusters;
    bool m_isConverged = false;
    SpatialIndex m_spatialIndex;
    QHash<QString, double> m_similarityCache;
    QHash<QUuid, QString> m_clusterAssignments;
    int m_lastClusterCount = 0;
    int m_lastClusteredCount = 0;

    friend class ClusteringServiceTest;
};

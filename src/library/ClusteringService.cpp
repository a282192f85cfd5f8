#include "library/ClusteringService.h"

#include "core/Console.h"

void ClusteringService::resetCache()
{
    Console::printLine(QStringLiteral("🔄 Resetting clustering cache..."));
    m_clusterAssignments.clear();
    m_lastClusters.clear();
    m_similarityCache.clear();
    m_spatialIndex = SpatialIndex();
    m_isConverged = false;
    m_lastClusterCount = 0;
    m_lastClusteredCount = 0;
}

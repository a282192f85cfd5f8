#include "library/ClusteringService.h"
#include "support/Capture.h"

#include <gtest/gtest.h>

// Fills the state the way a clustering run would, so the reset has work to do.
class ClusteringServiceTest : public ::testing::Test
{
protected:
    static void fill(ClusteringService& service)
    {
        service.m_lastClusters.append(
            {QStringLiteral("c1"), QStringLiteral("Receipts"), {QUuid::createUuid()}, QStringLiteral("sig"), 0.9});
        service.m_isConverged = true;
        service.m_spatialIndex.grid.insert(QStringLiteral("0_0"), {0});
        service.m_spatialIndex.embeddings.append({0.1, 0.2});
        service.m_similarityCache.insert(QStringLiteral("a|b"), 0.5);
        service.m_clusterAssignments.insert(QUuid::createUuid(), QStringLiteral("c1"));
        service.m_lastClusterCount = 1;
        service.m_lastClusteredCount = 7;
    }
};

TEST_F(ClusteringServiceTest, ResetForgetsEverythingComputedAndSaysSo)
{
    ClusteringService service;
    fill(service);
    ConsoleCapture console;

    service.resetCache();

    EXPECT_EQ(console.lines(), QStringList{QStringLiteral("🔄 Resetting clustering cache...")});
    EXPECT_TRUE(service.lastClusters().isEmpty());
    EXPECT_FALSE(service.isConverged());
    EXPECT_TRUE(service.spatialIndex().grid.isEmpty());
    EXPECT_TRUE(service.spatialIndex().embeddings.isEmpty());
    EXPECT_TRUE(service.similarityCache().isEmpty());
    EXPECT_TRUE(service.clusterAssignments().isEmpty());
    EXPECT_EQ(service.lastClusterCount(), 0);
    EXPECT_EQ(service.lastClusteredCount(), 0);
}

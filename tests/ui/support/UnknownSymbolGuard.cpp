#include "ui/SymbolRegistry.h"

#include <gtest/gtest.h>

namespace {
// A symbol missing from the map would draw as nothing; make it a failure.
class UnknownSymbolGuard : public ::testing::Environment
{
public:
    void TearDown() override
    {
        EXPECT_TRUE(SymbolRegistry::unknownRequests().isEmpty())
            << "Unknown symbols requested: " << SymbolRegistry::unknownRequests().join(u", ").toStdString();
    }
};

[[maybe_unused]] ::testing::Environment* const guard = ::testing::AddGlobalTestEnvironment(new UnknownSymbolGuard);
} // namespace

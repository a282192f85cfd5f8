#include "core/OmpThreadLimit.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QLoggingCategory>

#include <gmock/gmock.h>

int main(int argc, char** argv)
{
    // As the application does, so that a test program run by hand (not only
    // through CTest) does not give every engine a whole team of threads.
    // First: the restart would otherwise leave the isolated home behind.
    ensureOmpThreadLimit(argc, argv);
    TestEnvironment::isolate();
    QApplication app(argc, argv);
    // Tests read debug lines of the structured log too.
    QLoggingCategory::setFilterRules(QStringLiteral("org.brindlework.Glimmerdeck.*.debug=true"));
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}

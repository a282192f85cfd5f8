#include "support/TestEnvironment.h"

#include <QApplication>
#include <QLoggingCategory>

#include <gmock/gmock.h>

int main(int argc, char** argv)
{
    TestEnvironment::isolate();
    QApplication app(argc, argv);
    // Tests read debug lines of the structured log too.
    QLoggingCategory::setFilterRules(QStringLiteral("org.brindlework.Glimmerdeck.*.debug=true"));
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}

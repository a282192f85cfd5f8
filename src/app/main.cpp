#include "app/AppStyle.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Glimmerdeck"));
    QApplication::setOrganizationName(QStringLiteral("Brindlework"));
    QApplication::setDesktopFileName(QStringLiteral("org.brindlework.Glimmerdeck"));
    applyDarkStyle(app);

    QMainWindow window;
    window.setObjectName(QStringLiteral("main"));
    window.setWindowTitle(QStringLiteral("Glimmerdeck"));
    window.resize(1200, 800);
    window.show();
    return app.exec();
}

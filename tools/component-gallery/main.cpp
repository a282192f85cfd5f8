// Renders the component gallery to a PNG: component-gallery <output.png>
#include "ComponentGallery.h"

#include "ui/AppStyle.h"
#include "ui/Motion.h"
#include "ui/SymbolRegistry.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    applyDarkStyle(app);
    if (argc != 2) {
        QTextStream(stderr) << "usage: component-gallery <output.png>\n";
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    Motion::setInstant(true);

    ComponentGallery gallery;
    gallery.resize(1480, 1660);
    gallery.show();
    QApplication::processEvents();
    gallery.advanceConfetti(45);
    QApplication::processEvents();

    QDir().mkpath(QFileInfo(output).absolutePath());
    if (!gallery.grab().save(output)) {
        QTextStream(stderr) << "could not write " << output << "\n";
        return 1;
    }
    if (!SymbolRegistry::unknownRequests().isEmpty()) {
        QTextStream(stderr) << "unknown symbols: " << SymbolRegistry::unknownRequests().join(u", ") << "\n";
        return 1;
    }
    QTextStream(stdout) << "wrote " << output << "\n";
    return 0;
}

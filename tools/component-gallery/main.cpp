// Renders the component gallery to a PNG: component-gallery <output.png>
#include "ComponentGallery.h"

#include "render/Shots.h"
#include "ui/AppStyle.h"
#include "ui/Motion.h"

#include <QApplication>
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
    const QFileInfo output(QString::fromLocal8Bit(argv[1]));
    Motion::setInstant(true);

    render::Shots shots(output.absolutePath());
    ComponentGallery gallery;
    gallery.resize(1480, 1660);
    gallery.show();
    QApplication::processEvents();
    gallery.advanceConfetti(45);
    shots.save(gallery, output.fileName());
    return shots.finish();
}

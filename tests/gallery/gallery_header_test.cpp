#include "gallery/GalleryHeader.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QSlider>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
// The header at a width, the height its layout asks for there, as the
// screen's column gives it (a window of its own would hold it to its
// narrowest size's height).
void layOut(GalleryHeader& header, int width)
{
    header.resize(width, header.heightForWidth(width));
    QApplication::processEvents();
}

// A header inside a window, as the screen holds it.
struct Placed
{
    QWidget window;
    GalleryHeader* header;

    Placed(const QString& title, bool hasBack)
        : header(new GalleryHeader(title, hasBack, &window))
    {
        window.resize(1700, 300);
        window.show();
    }
};

// The controls a user sees, in header coordinates.
QList<std::pair<QString, QRect>> visibleControls(GalleryHeader& header)
{
    static const QStringList names{u"back"_s,        u"title"_s,      u"searchGroup"_s,  u"processingPill"_s,
                                   u"zoomOut"_s,     u"zoomSlider"_s, u"zoomIn"_s,       u"modeInformative"_s,
                                   u"modeMinimal"_s, u"selectMode"_s, u"changeFolder"_s, u"done"_s};
    QList<std::pair<QString, QRect>> controls;
    for (const QString& name : names) {
        auto* control = header.findChild<QWidget*>(name);
        if (control && control->isVisible())
            controls.append({name, QRect(control->mapTo(&header, QPoint(0, 0)), control->size())});
    }
    return controls;
}

// At every width from the smallest window's up, in every state: nothing
// overlaps or leaves the header, the field keeps its range, the zoom group
// keeps its slider, and the height depends on the width alone.
TEST(GalleryHeader, NothingOverlapsAtAnyWidthAndTheHeightFollowsTheWidthAlone)
{
    for (const bool hasBack : {false, true}) {
        Placed placed(hasBack ? u"Screenshots from the browser"_s : u"Gallery"_s, hasBack);
        GalleryHeader& header = *placed.header;
        for (const int width : {540, 700, 940, 1180, 1600}) {
            layOut(header, width);
            const int height = header.height();
            for (int state = 0; state < 8; ++state) {
                const bool processing = state & 1, selecting = state & 2, searching = state & 4;
                header.setProcessing(processing);
                header.setSelectionMode(selecting);
                header.setSearchText(searching ? u"invoice"_s : QString());
                layOut(header, width);
                const std::string where = "width " + std::to_string(width) + " state " + std::to_string(state) +
                                          (hasBack ? " with back" : "");
                EXPECT_EQ(header.height(), height) << where;

                const int field = header.searchField()->width();
                EXPECT_GE(field, GalleryHeader::searchFieldMinWidth) << where;
                EXPECT_LE(field, GalleryHeader::searchFieldMaxWidth) << where;
                EXPECT_EQ(header.zoomSlider()->width(), 100) << where;

                const auto controls = visibleControls(header);
                for (qsizetype i = 0; i < controls.size(); ++i) {
                    EXPECT_TRUE(header.rect().contains(controls[i].second)) << controls[i].first.toStdString() << where;
                    EXPECT_FALSE(controls[i].second.isEmpty()) << controls[i].first.toStdString() << where;
                    for (qsizetype j = i + 1; j < controls.size(); ++j)
                        EXPECT_FALSE(controls[i].second.intersects(controls[j].second))
                            << controls[i].first.toStdString() << " over " << controls[j].first.toStdString() << where;
                }
            }
            header.setProcessing(false);
            header.setSelectionMode(false);
            header.setSearchText(QString());
        }
    }
}

// Wide: one row. The smallest window's gallery: the search under the title,
// above the tools, and a long title cut short but whole in its tooltip.
TEST(GalleryHeader, OneRowWhenAllFitsElseTitleAndSearchAboveTheTools)
{
    Placed placed(u"Screenshots from the browser on Tuesdays"_s, true);
    GalleryHeader& header = *placed.header;
    auto* search = header.findChild<QWidget*>(u"searchGroup"_s);
    auto* select = header.findChild<QWidget*>(u"selectMode"_s);
    auto* title = header.findChild<QWidget*>(u"title"_s);
    layOut(header, 1900);
    EXPECT_TRUE(header.isOneRow());
    EXPECT_TRUE(title->toolTip().isEmpty());

    layOut(header, 540);
    EXPECT_LE(header.minimumSizeHint().width(), 540);
    EXPECT_FALSE(header.isOneRow());
    EXPECT_LT(search->geometry().bottom(), select->mapTo(&header, QPoint(0, 0)).y());
    EXPECT_LT(title->width(), title->sizeHint().width());
    EXPECT_EQ(title->toolTip(), u"Screenshots from the browser on Tuesdays"_s);
}
} // namespace

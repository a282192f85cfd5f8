#include "ui/Alert.h"
#include "ui/PanelWindow.h"
#include "ui/PremiumTheme.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
QPushButton* button(QMessageBox* box, const QString& text)
{
    for (QAbstractButton* b : box->buttons())
        if (b->text() == text)
            return qobject_cast<QPushButton*>(b);
    return nullptr;
}

// The panel's own colour halfway down its left edge, just inside the border.
QColor insidePanel(const QImage& image)
{
    return image.pixelColor(PanelWindow::shadowMargin + 6, image.height() / 2);
}
} // namespace

TEST(Alert, LiesOnTheRoundedPanelWithItsShadowAndRoundedButtons)
{
    QWidget window;
    window.resize(800, 600);
    window.show();
    bool deleted = false;
    QMessageBox* box =
        Alert::openDeleteConfirmation(&window, u"confirm"_s, u"Delete 3 Photos?"_s,
                                      u"This will move the selected items to the Trash."_s, [&] { deleted = true; });
    QApplication::processEvents();
    ASSERT_TRUE(box->isVisible());
    EXPECT_TRUE(box->windowFlags() & Qt::FramelessWindowHint);

    const QImage image = box->grab().toImage();
    // Beyond the panel: clear at the corner, a shadow below the bottom edge.
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_GT(qAlpha(image.pixel(image.width() / 2, image.height() - PanelWindow::shadowMargin + 6)), 0);
    // The panel's rounded corner leaves its bounding box's corner clear.
    EXPECT_LT(qAlpha(image.pixel(PanelWindow::shadowMargin + 1, PanelWindow::shadowMargin + 1)), 128);
    const QColor panel = insidePanel(image);
    EXPECT_EQ(panel.alpha(), 255);
    EXPECT_NEAR(panel.red(), PremiumTheme::surface().red(), 3);

    // "Delete" and "Cancel" share one shape: the same height, both filled.
    QPushButton* confirm = button(box, u"Delete"_s);
    QPushButton* cancel = button(box, u"Cancel"_s);
    ASSERT_TRUE(confirm && cancel);
    EXPECT_EQ(confirm->height(), cancel->height());
    const QImage cancelImage = cancel->grab().toImage();
    EXPECT_GT(qAlpha(cancelImage.pixel(cancelImage.width() / 2, 2)), 0) << "a glass fill, not a bare label";

    confirm->click();
    EXPECT_TRUE(deleted);
}

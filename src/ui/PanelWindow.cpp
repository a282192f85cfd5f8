#include "ui/PanelWindow.h"

#include "ui/RoundedBackground.h"
#include "ui/SoftShadow.h"

#include <QDialog>
#include <QEvent>
#include <QLayout>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace {
const char* const dressedProperty = "panelWindow";

// Paints the panel under the dialog's children, before the dialog's own
// (empty) paint handler runs.
class PanelPainter : public QObject
{
public:
    explicit PanelPainter(QDialog& dialog)
        : QObject(&dialog)
        , m_dialog(dialog)
    {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &m_dialog && event->type() == QEvent::Paint) {
            QPainter painter(&m_dialog);
            painter.setRenderHint(QPainter::Antialiasing);
            const RoundedBackground panel = RoundedBackground::overlayPanel();
            const QRectF area = QRectF(m_dialog.rect())
                                    .adjusted(PanelWindow::shadowMargin, PanelWindow::shadowMargin,
                                              -PanelWindow::shadowMargin, -PanelWindow::shadowMargin);
            SoftShadow::paintRoundedRect(painter, area, panel.cornerRadius, PanelWindow::shadowColor(),
                                         PanelWindow::shadowRadius, PanelWindow::shadowOffset);
            panel.paint(painter, area);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QDialog& m_dialog;
};
} // namespace

void PanelWindow::dress(QDialog& dialog, int padding)
{
    if (isDressed(dialog))
        return;
    dialog.setProperty(dressedProperty, true);
    dialog.setWindowFlag(Qt::FramelessWindowHint);
    dialog.setAttribute(Qt::WA_TranslucentBackground);
    dialog.setAutoFillBackground(false);
    dialog.installEventFilter(new PanelPainter(dialog));
    if (QLayout* layout = dialog.layout()) {
        const int margin = shadowMargin + padding;
        layout->setContentsMargins(margin, margin, margin, margin);
    }
}

bool PanelWindow::isDressed(const QWidget& dialog)
{
    return dialog.property(dressedProperty).toBool();
}

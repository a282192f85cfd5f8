#pragma once

#include "core/SystemColor.h"

#include <QColor>
#include <QString>
#include <QTextEdit>
#include <QWidget>

class QLabel;
class QLayout;

// Building blocks of the metadata inspector's sections.
namespace InspectorPieces {

// A desktop colour (or white or black) at an opacity.
QColor tint(SystemColor color, qreal opacity);
QColor white(qreal opacity);
QColor black(qreal opacity);

// A section's title with its symbol, in the system font 12 semibold.
QWidget* sectionHeader(const QString& title, const QString& symbol, const QColor& color, QWidget* parent);
// A hairline between sections.
QWidget* divider(const QColor& color, QWidget* parent);
// A column of `children` at leading alignment with spacing 12: a section.
QWidget* section(const QList<QWidget*>& children, QWidget* parent);

// Empties a layout of widgets that may be running a click handler right now:
// they are hidden and taken out at once and deleted later.
void clearLayout(QLayout* layout);

} // namespace InspectorPieces

// Read-only text that wraps anywhere it must, grows to show all of itself and
// can be selected and copied.
class SelectableTextBlock : public QTextEdit
{
    Q_OBJECT

public:
    SelectableTextBlock(const QString& text, const QFont& font, const QColor& color, QWidget* parent = nullptr);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitHeight();
};

// One line of text shortened in the middle when it does not fit; the whole
// text stays readable as text() and as the tooltip.
class ElidedLabel : public QWidget
{
    Q_OBJECT

public:
    ElidedLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent = nullptr);

    const QString& text() const { return m_text; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    QColor m_color;
};

#pragma once

#include <QLayout>
#include <QList>
#include <QSizeF>

#include <limits>
#include <vector>

// Lines its items up left to right and starts a new row when the next item
// would pass the available width. Items keep their preferred size: one wider
// than the width stands alone on its row and overflows, and each row is as
// tall as its tallest item, with the others aligned to its top. The same
// spacing separates neighbours in a row and the rows.
class FlowLayout : public QLayout
{
    Q_OBJECT

public:
    static constexpr qreal unlimitedWidth = std::numeric_limits<qreal>::infinity();

    struct Element
    {
        int index = 0; // position among the measured items
        qreal x = 0;
        qreal y = 0;
    };
    struct Row
    {
        std::vector<Element> elements;
        // Width: the available width the rows were computed for; height: the
        // bottom edge of this row, from the layout's top.
        QSizeF maxY;
    };

    explicit FlowLayout(QWidget* parent = nullptr, int spacing = 8);
    ~FlowLayout() override;

    // Each item measured once, in order.
    static std::vector<Row> computeRows(qreal availableWidth, const QList<QSizeF>& itemSizes, qreal spacing);
    // The last row's maxY; zero without items.
    static QSizeF sizeThatFits(qreal availableWidth, const QList<QSizeF>& itemSizes, qreal spacing);

    void addItem(QLayoutItem* item) override;
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int spacing() const override { return m_spacing; }
    void setSpacing(int spacing) override;

    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    // One row of every item.
    QSize sizeHint() const override;
    // The layout takes whatever width it is given; what does not fit overflows.
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

private:
    // The items that take part (hidden widgets do not), with their sizes.
    struct Shown
    {
        QList<QLayoutItem*> items;
        QList<QSizeF> sizes;
    };
    Shown shownItems() const;

    QList<QLayoutItem*> m_items;
    int m_spacing;
};

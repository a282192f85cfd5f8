#pragma once

#include <QLayout>
#include <QList>

#include <initializer_list>

// The gallery header's arrangement of its four parts: the title (with its
// back button), the search group, the processing pill and the toolbar.
//
// One row when the width holds all four at their natural sizes, the search
// group at its narrowest; else two rows, the title and the search group
// above, the pill and the toolbar right-aligned below. The pill's place and
// the toolbar's widest state count whether shown or not, so the height
// follows the width alone: a pill coming or going, or selection mode, never
// moves what lies under the header.
class HeaderLayout : public QLayout
{
public:
    // The toolbar's width in its widest state.
    HeaderLayout(QWidget* title, QWidget* search, QWidget* pill, QWidget* toolbar, int toolbarWidest, QWidget* parent);
    ~HeaderLayout() override;

    // Whether `width` (the whole header's) lays the parts out in one row.
    bool isOneRow(int width) const;

    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    Qt::Orientations expandingDirections() const override { return Qt::Horizontal; }
    void setGeometry(const QRect& rect) override;

private:
    enum Part { title, search, pill, toolbar };

    QWidget* widget(Part part) const;
    int oneRowWidth() const;
    int height(std::initializer_list<Part> parts) const;
    void place(Part part, int left, int width, int top, int rowHeight) const;

    QList<QLayoutItem*> m_items;
    int m_toolbarWidest;
};

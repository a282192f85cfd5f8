#include "duplicates/DuplicateGroupList.h"

#include "duplicates/DuplicateGroupRow.h"

#include <QScrollBar>

#include <algorithm>

namespace {
// Cards this far beyond the visible part are built ahead of scrolling.
constexpr int kOverscan = 600;
} // namespace

DuplicateGroupList::DuplicateGroupList(MemberThumbnails& thumbnails, QWidget* parent)
    : QScrollArea(parent)
    , m_thumbnails(thumbnails)
    , m_canvas(new QWidget)
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(false);
    setWidget(m_canvas);
    viewport()->setAutoFillBackground(false);
    m_canvas->setAutoFillBackground(false); // setWidget() turned it on
    verticalScrollBar()->setSingleStep(20);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &DuplicateGroupList::layoutRows);
}

void DuplicateGroupList::setGroups(const QList<DuplicateGroup>& groups)
{
    qDeleteAll(m_rows);
    m_rows.clear();
    m_marks.clear();
    m_groups = groups;
    if (m_rowHeight == 0 && !m_groups.isEmpty()) {
        DuplicateGroupRow probe(m_groups.first(), m_thumbnails);
        m_rowHeight = probe.sizeHint().height();
    }
    verticalScrollBar()->setValue(0);
    layoutRows();
}

QList<DuplicateGroupRow*> DuplicateGroupList::builtRows() const
{
    QList<int> indexes = m_rows.keys();
    std::sort(indexes.begin(), indexes.end());
    QList<DuplicateGroupRow*> rows;
    for (const int index : indexes)
        rows.append(m_rows.value(index));
    return rows;
}

DuplicateGroupRow* DuplicateGroupList::showRow(int index)
{
    if (index < 0 || index >= m_groups.size())
        return nullptr;
    verticalScrollBar()->setValue(rowTop(index) - padding);
    layoutRows();
    return m_rows.value(index);
}

void DuplicateGroupList::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    layoutRows();
}

void DuplicateGroupList::layoutRows()
{
    const int count = int(m_groups.size());
    const int height = count == 0 ? 0 : rowTop(count) - spacing + padding;
    m_canvas->resize(viewport()->width(), std::max(height, viewport()->height()));

    const int top = verticalScrollBar()->value() - kOverscan;
    const int bottom = verticalScrollBar()->value() + viewport()->height() + kOverscan;
    const auto visible = [&](int index) { return rowTop(index) + m_rowHeight >= top && rowTop(index) <= bottom; };
    for (auto it = m_rows.begin(); it != m_rows.end();) {
        if (visible(it.key())) {
            ++it;
            continue;
        }
        delete it.value();
        it = m_rows.erase(it);
    }
    const int first = std::max(0, (top - padding) / (m_rowHeight + spacing));
    for (int index = first; index < count && rowTop(index) <= bottom; ++index) {
        DuplicateGroupRow* row = m_rows.value(index);
        if (!row)
            row = buildRow(index);
        row->setGeometry(padding, rowTop(index), viewport()->width() - 2 * padding, m_rowHeight);
    }
}

DuplicateGroupRow* DuplicateGroupList::buildRow(int index)
{
    const DuplicateGroup& group = m_groups[index];
    auto* row = new DuplicateGroupRow(group, m_thumbnails, m_marks.value(group.id), m_canvas);
    connect(row, &DuplicateGroupRow::selectionChanged, this,
            [this, id = group.id](const QSet<QUuid>& marks) { m_marks.insert(id, marks); });
    connect(row, &DuplicateGroupRow::deleteRequested, this, &DuplicateGroupList::deleteRequested);
    connect(row, &DuplicateGroupRow::previewRequested, this, &DuplicateGroupList::previewRequested);
    row->show();
    m_rows.insert(index, row);
    return row;
}

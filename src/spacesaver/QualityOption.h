#pragma once

#include "ui/PlainButton.h"

#include <functional>

class SelectionMark;

// One choice of compression quality: a ring that is filled while the row is
// selected, the title and what it means. Clicking it runs its action.
class QualityOption : public PlainButton
{
    Q_OBJECT

public:
    QualityOption(const QString& title, const QString& subtitle, QWidget* parent = nullptr);

    void setSelected(bool selected);
    bool isSelected() const { return m_selected; }
    QString title() const { return m_title; }

private:
    QString m_title;
    bool m_selected = false;
    SelectionMark* m_mark;
};

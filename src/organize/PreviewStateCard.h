#pragma once

#include <QColor>
#include <QStringList>
#include <QWidget>

class QLabel;
class QVBoxLayout;

// A panel of the preview: a tinted heading and lines in the monospaced font.
class PreviewStateCard : public QWidget
{
    Q_OBJECT

public:
    PreviewStateCard(const QString& title, const QString& icon, const QColor& color, QWidget* parent = nullptr);

    void setItems(const QStringList& items);
    const QStringList& items() const { return m_items; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QStringList m_items;
    QVBoxLayout* m_lines;
};

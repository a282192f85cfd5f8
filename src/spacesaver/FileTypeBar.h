#pragma once

#include "spacesaver/SpaceSaverViewModel.h"
#include "ui/RoundedPanel.h"

#include <QColor>

class QLabel;
class ShareBar;
class StyledSymbol;

// One file type's row of the breakdown: its symbol and upper-case name, its
// size and count, a bar of its share of the library (springing to each new
// share), the share in whole percent, and what compression could save.
class FileTypeBar : public RoundedPanel
{
    Q_OBJECT

public:
    using FileTypeStat = SpaceSaverViewModel::FileTypeStat;

    explicit FileTypeBar(QWidget* parent = nullptr);

    void display(const FileTypeStat& stat, qint64 total);

    // The type's share of `total`, 0 to 100 (0 for an empty library).
    static double percentage(const FileTypeStat& stat, qint64 total);
    static QColor typeColor(const QString& type);
    static QString typeIcon(const QString& type);

    QString name() const;
    QString sizeText() const;
    QString countText() const;
    QString shareText() const;
    // Empty when the type cannot be compressed.
    QString savingsText() const;
    QString symbolName() const;
    QColor color() const;
    double barFraction() const;
    // The bar has come to its share.
    bool isAtRest() const;

private:
    StyledSymbol* m_symbol;
    QLabel* m_name;
    QLabel* m_size;
    QLabel* m_count;
    ShareBar* m_bar;
    QLabel* m_share;
    QLabel* m_savings;
};

#pragma once

#include "ui/GlassCard.h"

#include <QHash>

class FileTypeBar;
class QVBoxLayout;
class SpaceSaverViewModel;

// The breakdown card: one row per file type of the library, largest first.
// A type's row stays the same widget while the type is there, so its bar
// springs from its old share to the new one.
class FileTypeBreakdown : public GlassCard
{
    Q_OBJECT

public:
    explicit FileTypeBreakdown(SpaceSaverViewModel& viewModel, QWidget* parent = nullptr);

    // The rows in the order shown.
    QList<FileTypeBar*> bars() const;

private:
    void refresh();

    SpaceSaverViewModel& m_viewModel;
    QVBoxLayout* m_rows;
    QHash<QString, FileTypeBar*> m_bars;
};

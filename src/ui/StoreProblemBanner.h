#pragma once

#include "core/StoreHealth.h"

#include <QFrame>

class QLabel;
class QPushButton;

// A strip across the top of the window while the library cannot be saved
// (why, and that nothing analysed is lost meanwhile), and once after a
// damaged library file was set aside (where it went; once read, how many
// screenshots' tags and notes were carried over from it and what was left
// out), until dismissed.
// Hidden while there is nothing to say.
class StoreProblemBanner : public QFrame
{
    Q_OBJECT

public:
    explicit StoreProblemBanner(StoreHealth& health, QWidget* parent = nullptr);

    // The words shown now; empty while hidden.
    QString text() const;

    static QString writeProblemText(const QString& reason);
    // What the state says of a damaged library file set aside.
    static QString setAsideText(const StoreHealth::State& state);

private:
    void refresh();

    StoreHealth& m_health;
    QLabel* m_label;
    QPushButton* m_dismiss;
    QString m_dismissedSetAside;
};

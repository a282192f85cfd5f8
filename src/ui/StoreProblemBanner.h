#pragma once

#include <QFrame>

class QLabel;
class QPushButton;
class StoreHealth;

// A strip across the top of the window while the library cannot be saved
// (why, and that nothing analysed is lost meanwhile), and once after a
// damaged library file was set aside (where it went, and how many
// screenshots' tags and notes were carried over from it), until dismissed.
// Hidden while there is nothing to say.
class StoreProblemBanner : public QFrame
{
    Q_OBJECT

public:
    explicit StoreProblemBanner(StoreHealth& health, QWidget* parent = nullptr);

    // The words shown now; empty while hidden.
    QString text() const;

    static QString writeProblemText(const QString& reason);
    static QString setAsideText(const QString& path, int carriedUserData);

private:
    void refresh();

    StoreHealth& m_health;
    QLabel* m_label;
    QPushButton* m_dismiss;
    QString m_dismissedSetAside;
};

#pragma once

#include <QWidget>

class QAbstractButton;
class QLineEdit;

// The tray popup's search field: a magnifier, a borderless field and, while
// the field holds anything (blanks too), a clear button. Every keystroke
// comes out at once through textChanged(); nothing is trimmed or delayed.
class CustomSearchBar : public QWidget
{
    Q_OBJECT

public:
    explicit CustomSearchBar(const QString& placeholder, QWidget* parent = nullptr);

    QString text() const;
    void setText(const QString& text);
    QLineEdit* field() const { return m_field; }
    QAbstractButton* clearButton() const { return m_clear; }

signals:
    void textChanged(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLineEdit* m_field;
    QAbstractButton* m_clear;
};

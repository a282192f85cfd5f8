#pragma once

#include <QWidget>

class QLineEdit;
class SymbolLabel;

// A single-line text field on a glass panel, with an optional leading symbol.
class GlassTextField : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString symbolName READ symbolName)
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)

public:
    explicit GlassTextField(const QString& placeholder, const QString& symbolName = QString(),
                            QWidget* parent = nullptr);

    QString symbolName() const { return m_symbolName; }
    QString text() const;
    void setText(const QString& text);
    QLineEdit* lineEdit() const { return m_edit; }
    // The leading symbol, or nullptr when the field has none.
    SymbolLabel* symbol() const { return m_symbol; }

signals:
    void textChanged(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbolName;
    SymbolLabel* m_symbol = nullptr;
    QLineEdit* m_edit;
};

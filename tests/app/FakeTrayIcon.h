#pragma once

#include "app/TrayIcon.h"

#include <QStringList>

// Stands in for the desktop's tray, which the offscreen platform lacks.
class FakeTrayIcon : public TrayIcon
{
public:
    bool available = true;
    bool shown = false;
    QString symbol;
    QString description;
    QString status;
    QRect place;
    QStringList messages;
    bool messageShown = false; // the last message is still beside the tray

    bool isAvailable() const override { return available; }
    void show() override { shown = true; }
    void setSymbol(const QString& symbolName, const QString& accessibleDescription) override
    {
        symbol = symbolName;
        description = accessibleDescription;
    }
    void setStatus(const QString& text) override { status = text; }
    QRect geometry() const override { return place; }
    void showMessage(const QString& title, const QString& body) override
    {
        messages.append(title + QStringLiteral(": ") + body);
        messageShown = true;
    }
    void withdrawMessage() override { messageShown = false; }

    void click(Button button, Qt::KeyboardModifiers modifiers = Qt::NoModifier) { Q_EMIT clicked(button, modifiers); }
};

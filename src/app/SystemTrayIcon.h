#pragma once

#include "app/TrayIcon.h"

#include <QSystemTrayIcon>

// The tray icon of the running desktop (XEmbed or StatusNotifierItem, as Qt
// finds them).
class SystemTrayIcon : public TrayIcon
{
    Q_OBJECT

public:
    explicit SystemTrayIcon(QObject* parent = nullptr);

    bool isAvailable() const override;
    void show() override;
    void setSymbol(const QString& symbolName, const QString& accessibleDescription) override;
    void setStatus(const QString& status) override;
    QRect geometry() const override;
    void showMessage(const QString& title, const QString& body) override;
    void withdrawMessage() override;

private:
    void handleActivation(QSystemTrayIcon::ActivationReason reason);
    void updateToolTip();

    QSystemTrayIcon m_icon;
    QString m_description;
    QString m_status;
};

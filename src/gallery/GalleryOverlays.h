#pragma once

#include <QDialog>
#include <QWidget>

#include <functional>

class FolderChooser;
class QAbstractButton;

// The floating bar shown while screenshots are selected: "Share" and
// "Delete".
class SelectionBar : public QWidget
{
    Q_OBJECT

public:
    explicit SelectionBar(QWidget* parent = nullptr);

    QAbstractButton* shareButton() const { return m_share; }

signals:
    void shareClicked();
    void deleteClicked();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QAbstractButton* m_share = nullptr;
};

// The band under the header while the monitored folder cannot be read.
class PermissionBanner : public QWidget
{
    Q_OBJECT

public:
    explicit PermissionBanner(QWidget* parent = nullptr);

signals:
    void grantAccessClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The sheet for choosing another folder to monitor: shows the current one,
// asks the chooser on "Select Folder" and hands the answer to `onSelect`,
// then closes; a cancelled chooser leaves the sheet open.
class FolderPickerView : public QDialog
{
    Q_OBJECT

public:
    FolderPickerView(const QString& currentPath, FolderChooser& chooser, std::function<void(QString)> onSelect,
                     QWidget* parent = nullptr);

    void chooseFolder();

private:
    QString m_currentPath;
    FolderChooser& m_chooser;
    std::function<void(QString)> m_onSelect;
};

#pragma once

#include <QWidget>

#include <functional>

class GalleryViewModel;
class QPushButton;

// The tray popup's gallery over a model of its own (never the dashboard's).
// For now it holds the frame of the popup: its title, and the footer that
// leads to the dashboard or quits. The view runs the callbacks and nothing
// else: closing the popup and quitting are its host's business.
class MiniGalleryView : public QWidget
{
    Q_OBJECT

public:
    MiniGalleryView(GalleryViewModel& viewModel, std::function<void()> onOpenDashboard, std::function<void()> onQuit,
                    QWidget* parent = nullptr);

    GalleryViewModel& viewModel() const { return m_viewModel; }
    QPushButton* openDashboardButton() const { return m_openDashboardButton; }
    QPushButton* quitButton() const { return m_quitButton; }

private:
    QWidget* makeHeaderRow();
    QWidget* makeFooterRow();

    GalleryViewModel& m_viewModel;
    std::function<void()> m_onOpenDashboard;
    std::function<void()> m_onQuit;
    QPushButton* m_openDashboardButton = nullptr;
    QPushButton* m_quitButton = nullptr;
};

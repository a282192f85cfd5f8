#pragma once

#include "gallery/GalleryViewMode.h"

#include <QWidget>

#include <functional>

class HeaderLayout;
class QAbstractButton;
class QLineEdit;
class QSlider;
class QToolButton;

// The gallery's top band: back button, title, search group, processing pill
// and toolbar (zoom, view mode, selection mode, folder). It shows what it is
// told and hands every action out as a signal.
class GalleryHeader : public QWidget
{
    Q_OBJECT

public:
    static constexpr int searchFieldMinWidth = 280;
    static constexpr int searchFieldMaxWidth = 320;

    GalleryHeader(const QString& title, bool hasBack, QWidget* parent = nullptr);

    // Everything in one row; else title and search above the rest.
    bool isOneRow() const;
    QLineEdit* searchField() const { return m_search; }
    QAbstractButton* clearButton() const;
    QSlider* zoomSlider() const { return m_slider; }

    void setSearchText(const QString& text);
    void setGridScale(double scale);
    void setMode(GalleryViewMode mode);
    void setSelectionMode(bool on);
    void setProcessing(bool processing);
    bool isProcessingShown() const;

    // The slider's positions: one per hundredth of scale.
    static int sliderPosition(double scale);

signals:
    void backClicked();
    void searchTextEdited(const QString& text);
    void clearSearchClicked();
    void zoomOutClicked();
    void zoomInClicked();
    void sliderMoved(double scale);
    void modeChosen(GalleryViewMode mode);
    void selectModeClicked();
    void changeFolderClicked();
    void doneClicked();

private:
    QWidget* makeSearchGroup();
    QWidget* makeProcessingPill();
    QWidget* makeToolbar();
    QWidget* makeZoomGroup();
    QWidget* makeModePicker();

    HeaderLayout* m_layout = nullptr;
    QLineEdit* m_search = nullptr;
    QToolButton* m_clear = nullptr;
    QWidget* m_processing = nullptr;
    QSlider* m_slider = nullptr;
    QToolButton* m_informative = nullptr;
    QToolButton* m_minimal = nullptr;
    QToolButton* m_selectMode = nullptr;
    QToolButton* m_changeFolder = nullptr;
    QToolButton* m_done = nullptr;
};

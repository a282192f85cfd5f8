#pragma once

#include "core/Workers.h"
#include "duplicates/DuplicateFinderService.h"

#include <QDialog>
#include <QImage>
#include <QSet>
#include <QUuid>

#include <optional>

class ActivitySpinner;
class QAbstractButton;
class DuplicateFinderViewModel;
class MemberThumbnails;
class PlainButton;
class QLabel;
class QStackedLayout;
class StyledSymbol;

// The members of one duplicate group, one at a time and large, so that the
// user can pick the copy to keep: "Keep This" sends the others to the Trash
// and closes; "Delete This" sends the shown one and moves on. Arrow keys step
// through the members, Esc closes. Members this preview already sent away
// are shown as gone and cannot be acted on again; the last copy left cannot
// be deleted.
class DuplicatePreviewView : public QDialog
{
    Q_OBJECT

public:
    using DuplicateGroup = DuplicateFinderService::DuplicateGroup;

    static constexpr int largeSide = 1920;

    // Its large renditions are made on `renditions`, which outlives it.
    DuplicatePreviewView(const DuplicateGroup& group, DuplicateFinderViewModel& viewModel, Workers::Pool& renditions,
                         QWidget* parent = nullptr);

    const DuplicateGroup& group() const { return m_group; }
    int currentIndex() const { return m_currentIndex; }
    bool isLoading() const { return m_isLoading; }
    bool hasFullImage() const { return m_fullImage.has_value(); }
    // Whether the shown member went to the Trash (or is on its way there).
    bool isCurrentGone() const;
    // Whether the shown member is the only copy of the group still kept:
    // the finder never deletes that one, so it cannot be asked to.
    bool isCurrentLastCopy() const;

    void showPrevious();
    void showNext();
    void keepCurrent();
    void deleteCurrent();

    QAbstractButton* closeButton() const { return m_close; }
    QAbstractButton* previousButton() const { return m_previous; }
    QAbstractButton* nextButton() const { return m_next; }
    PlainButton* keepButton() const { return m_keep; }
    PlainButton* deleteButton() const { return m_delete; }
    QString positionText() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* makeHeader();
    QWidget* makeImageArea();
    QWidget* makeBottomBar();
    void setCurrentIndex(int index);
    void loadFullImage();
    void refresh();
    const Screenshot& current() const { return m_group.screenshots[m_currentIndex]; }
    bool isGone(const QUuid& id) const;

    DuplicateGroup m_group;
    DuplicateFinderViewModel& m_viewModel;
    MemberThumbnails* m_images;
    int m_currentIndex = 0;
    std::optional<QImage> m_fullImage;
    bool m_isLoading = false;
    QSet<QUuid> m_sentAway; // asked to go by this preview, until the deletion ends

    QAbstractButton* m_close = nullptr;
    QAbstractButton* m_previous = nullptr;
    QAbstractButton* m_next = nullptr;
    QLabel* m_position = nullptr;
    QStackedLayout* m_imageStack = nullptr;
    ActivitySpinner* m_spinner = nullptr;
    QLabel* m_image = nullptr;
    QWidget* m_gone = nullptr;
    QLabel* m_filename = nullptr;
    QLabel* m_date = nullptr;
    QLabel* m_size = nullptr;
    PlainButton* m_keep = nullptr;
    PlainButton* m_delete = nullptr;
};

#pragma once

#include "core/Screenshot.h"

#include <QAbstractButton>
#include <QImage>
#include <QWidget>

#include <optional>

class ActivitySpinner;
class MemberThumbnails;
class PlainButton;

// The picture of one member: its thumbnail filling a rounded square, or a
// placeholder with a spinner until there is one, a "VIDEO" badge for screen
// recordings, and an outline that turns red while the member is marked.
class MemberPicture : public QAbstractButton
{
    Q_OBJECT

public:
    static constexpr int side = 150;

    MemberPicture(bool isVideo, QWidget* parent = nullptr);

    void setThumbnail(const QImage& image);
    bool hasThumbnail() const { return m_thumbnail.has_value(); }
    void setMarked(bool marked);
    bool isMarked() const { return m_marked; }
    QSize sizeHint() const override { return QSize(side, side); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void paintVideoBadge(QPainter& painter) const;

    bool m_isVideo;
    bool m_marked = false;
    std::optional<QImage> m_thumbnail;
    ActivitySpinner* m_spinner;
};

// One member of a duplicate group: the picture (a click previews the group),
// a check box that marks the member for deletion, its name and its date.
class DuplicateThumbnailCard : public QWidget
{
    Q_OBJECT

public:
    static constexpr int cardWidth = 150;

    DuplicateThumbnailCard(const Screenshot& screenshot, MemberThumbnails& thumbnails, QWidget* parent = nullptr);

    const Screenshot& screenshot() const { return m_screenshot; }
    bool isSelected() const { return m_picture->isMarked(); }
    void setSelected(bool selected);
    bool hasThumbnail() const { return m_picture->hasThumbnail(); }

    MemberPicture* picture() const { return m_picture; }
    PlainButton* selectionButton() const { return m_selectionButton; }
    // The name's tooltip: the whole name, and the folder the copy is in.
    static QString memberToolTip(const Screenshot& screenshot);

signals:
    void previewRequested();
    // The user marked or unmarked the member.
    void selectionToggled(bool selected);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void loadThumbnail();

    Screenshot m_screenshot;
    MemberThumbnails& m_thumbnails;
    MemberPicture* m_picture;
    PlainButton* m_selectionButton;
    QWidget* m_checkBox;
};

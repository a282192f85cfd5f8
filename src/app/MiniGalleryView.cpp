#include "app/MiniGalleryView.h"

#include "ui/PremiumTheme.h"
#include "ui/TextLabel.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {
QFrame* divider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFixedHeight(1);
    line->setStyleSheet(u"background: %1;"_s.arg(PremiumTheme::glassBorder().name(QColor::HexArgb)));
    return line;
}
} // namespace

MiniGalleryView::MiniGalleryView(GalleryViewModel& viewModel, std::function<void()> onOpenDashboard,
                                 std::function<void()> onQuit, QWidget* parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
    , m_onOpenDashboard(std::move(onOpenDashboard))
    , m_onQuit(std::move(onQuit))
{
    setObjectName(u"miniGallery"_s);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(makeHeaderRow());
    column->addWidget(divider(this));
    column->addStretch(1);
    column->addWidget(divider(this));
    column->addWidget(makeFooterRow());
}

QWidget* MiniGalleryView::makeHeaderRow()
{
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->addWidget(makeTextLabel(u"Recent Screenshots"_s, PremiumTheme::systemFont(13, QFont::DemiBold),
                                    PremiumTheme::textSecondary(), row));
    layout->addStretch(1);
    return row;
}

QWidget* MiniGalleryView::makeFooterRow()
{
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(12, 12, 12, 12);

    m_quitButton = new QPushButton(u"Quit"_s, row);
    m_quitButton->setFlat(true);
    m_quitButton->setCursor(Qt::PointingHandCursor);
    m_quitButton->setFont(PremiumTheme::systemFont(12));
    m_quitButton->setStyleSheet(u"QPushButton { color: %1; border: none; padding: 2px 4px; }"_s.arg(
        PremiumTheme::textSecondary().name(QColor::HexArgb)));
    connect(m_quitButton, &QPushButton::clicked, this, [this] {
        if (m_onQuit)
            m_onQuit();
    });

    m_openDashboardButton = new QPushButton(u"Open Dashboard"_s, row);
    m_openDashboardButton->setCursor(Qt::PointingHandCursor);
    m_openDashboardButton->setFont(PremiumTheme::systemFont(12, QFont::Medium));
    m_openDashboardButton->setStyleSheet(
        u"QPushButton { color: white; background: %1; border: none; border-radius: 5px; padding: 4px 10px; }"
        u"QPushButton:pressed { background: %2; }"_s.arg(PremiumTheme::accent().name(),
                                                         PremiumTheme::accent().darker(120).name()));
    connect(m_openDashboardButton, &QPushButton::clicked, this, [this] {
        if (m_onOpenDashboard)
            m_onOpenDashboard();
    });

    layout->addWidget(m_quitButton);
    layout->addStretch(1);
    layout->addWidget(m_openDashboardButton);
    return row;
}

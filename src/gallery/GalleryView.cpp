#include "gallery/GalleryView.h"

#include "library/GalleryViewModel.h"
#include "ui/PlaceholderBody.h"
#include "ui/PremiumTheme.h"
#include "ui/SymbolRegistry.h"
#include "ui/TextLabel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

GalleryView::GalleryView(std::optional<SmartCollection> activeCollection, std::function<void()> onBack,
                         ScreenshotMonitor& monitor, Settings& settings, QWidget* parent)
    : QWidget(parent)
    , m_activeCollection(std::move(activeCollection))
    , m_onBack(std::move(onBack))
    , m_monitor(monitor)
    , m_settings(settings)
    , m_viewModel(new GalleryViewModel(monitor, this))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 24, 24, 24);
    auto* header = new QHBoxLayout;
    header->setSpacing(12);
    if (m_activeCollection) {
        auto* back = new QToolButton;
        back->setObjectName(u"back"_s);
        back->setProperty("symbolName", u"chevron.left"_s);
        back->setIcon(SymbolRegistry::icon(u"chevron.left"_s, PremiumTheme::textPrimary()));
        back->setAutoRaise(true);
        back->setCursor(Qt::PointingHandCursor);
        connect(back, &QToolButton::clicked, this, [this] {
            if (m_onBack)
                m_onBack();
        });
        m_backButton = back;
        header->addWidget(back);
    }
    auto* title = makeTextLabel(this->title(), PremiumTheme::titleFont(), PremiumTheme::textPrimary());
    title->setObjectName(u"title"_s);
    header->addWidget(title);
    header->addStretch();
    column->addLayout(header);

    m_count = new QLabel;
    m_count->setObjectName(u"count"_s);
    column->addWidget(makePlaceholderBody(u"photo.on.rectangle"_s, QString(), m_count), 1);
    connect(m_viewModel, &GalleryViewModel::sectionsChanged, this, &GalleryView::refreshCount);
    refreshCount();
}

GalleryView::~GalleryView() = default;

QString GalleryView::title() const
{
    return m_activeCollection ? m_activeCollection->name : u"Gallery"_s;
}

void GalleryView::setShowingPreview(bool showing)
{
    if (showing == m_isShowingPreview)
        return;
    m_isShowingPreview = showing;
    Q_EMIT isShowingPreviewChanged(showing);
}

GalleryViewMode GalleryView::galleryMode() const
{
    return storedGalleryViewMode(m_settings);
}

void GalleryView::setGalleryMode(GalleryViewMode mode)
{
    storeGalleryViewMode(m_settings, mode);
}

void GalleryView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_hasAppeared) {
        m_hasAppeared = true;
        appear();
    }
}

void GalleryView::appear()
{
    if (m_activeCollection) {
        m_viewModel->setActiveCollection(m_activeCollection);
        m_viewModel->updateSections();
    }
    m_monitor.startMonitoring();
    m_viewModel->setIsMonitoring(true);
}

void GalleryView::refreshCount()
{
    const qsizetype count = m_viewModel->visibleScreenshots().size();
    m_count->setText(count == 1 ? u"1 screenshot"_s : u"%1 screenshots"_s.arg(count));
}

#include "gallery/GalleryOverlays.h"

#include "platform/FolderChooser.h"
#include "ui/Alert.h"
#include "ui/PanelWindow.h"
#include "ui/PremiumTheme.h"
#include "ui/RoundedBackground.h"
#include "ui/SymbolLabel.h"
#include "ui/TextLabel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {
QToolButton* barButton(const QString& objectName, const QString& symbol, const QString& label)
{
    auto* button = new QToolButton;
    button->setObjectName(objectName);
    button->setProperty("symbolName", symbol);
    button->setAutoRaise(true);
    button->setCursor(Qt::PointingHandCursor);
    auto* column = new QVBoxLayout(button);
    column->setSpacing(4);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(new SymbolLabel(symbol, 18, Qt::white), 0, Qt::AlignHCenter);
    column->addWidget(makeTextLabel(label, PremiumTheme::systemFont(11), Qt::white), 0, Qt::AlignHCenter);
    button->setFixedSize(48, 40);
    return button;
}
} // namespace

SelectionBar::SelectionBar(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(u"selectionBar"_s);
    auto* row = new QHBoxLayout(this);
    row->setSpacing(24);
    row->setContentsMargins(32, 12, 32, 12);
    m_share = barButton(u"share"_s, u"square.and.arrow.up"_s, u"Share"_s);
    connect(m_share, &QToolButton::clicked, this, &SelectionBar::shareClicked);
    row->addWidget(m_share);
    auto* divider = new QWidget;
    divider->setFixedSize(1, 20);
    divider->setStyleSheet(u"background: rgba(255,255,255,51);"_s);
    row->addWidget(divider);
    auto* remove = barButton(u"delete"_s, u"trash"_s, u"Delete"_s);
    connect(remove, &QToolButton::clicked, this, &SelectionBar::deleteClicked);
    row->addWidget(remove);
    // A capsule's shadow (a radius beyond half its height), cast well below it.
    RoundedBackground{1000, Qt::NoBrush, Qt::transparent, 0,
                      RoundedBackground::Shadow{withOpacity(Qt::black, 0.4), 15, QPointF(0, 10)}}
        .applyShadow(*this);
}

void SelectionBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF capsule = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = capsule.height() / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 179));
    painter.drawRoundedRect(capsule, radius, radius);
    QLinearGradient outline(capsule.topLeft(), capsule.bottomRight());
    outline.setColorAt(0, QColor(255, 255, 255, 77));
    outline.setColorAt(0.5, QColor(255, 255, 255, 13));
    outline.setColorAt(1, QColor(255, 255, 255, 26));
    painter.setPen(QPen(QBrush(outline), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(capsule, radius, radius);
}

PermissionBanner::PermissionBanner(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(u"permissionBanner"_s);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 12, 16, 12);
    row->addWidget(
        new SymbolLabel(u"exclamationmark.triangle.fill"_s, 16, PremiumTheme::systemColor(SystemColor::yellow)));
    row->addWidget(
        makeTextLabel(u"Permission needed to monitor folder"_s, PremiumTheme::bodyFont(), PremiumTheme::textPrimary()));
    row->addStretch();
    QPushButton* grant = Alert::makeProminentButton(u"Grant Access"_s);
    grant->setObjectName(u"grantAccess"_s);
    connect(grant, &QPushButton::clicked, this, &PermissionBanner::grantAccessClicked);
    row->addWidget(grant);
}

void PermissionBanner::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, 102));
    painter.setPen(QColor(255, 255, 255, 26));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

FolderPickerView::FolderPickerView(const QString& currentPath, FolderChooser& chooser,
                                   std::function<void(QString)> onSelect, QWidget* parent)
    : QDialog(parent)
    , m_currentPath(currentPath)
    , m_chooser(chooser)
    , m_onSelect(std::move(onSelect))
{
    setObjectName(u"folderPicker"_s);
    setWindowTitle(u"Choose Folder"_s);
    setWindowModality(Qt::WindowModal);
    auto* column = new QVBoxLayout(this);
    column->setSpacing(24);
    column->setContentsMargins(40, 40, 40, 40);
    column->addWidget(
        makeTextLabel(u"Choose Folder"_s, PremiumTheme::systemFont(22, QFont::DemiBold), PremiumTheme::textPrimary()),
        0, Qt::AlignHCenter);
    auto* path = makeTextLabel(currentPath, PremiumTheme::captionFont(), PremiumTheme::textSecondary());
    path->setObjectName(u"currentPath"_s);
    path->setTextFormat(Qt::PlainText); // a path is never markup
    column->addWidget(path, 0, Qt::AlignHCenter);
    QPushButton* select = Alert::makeProminentButton(u"Select Folder"_s);
    select->setObjectName(u"selectFolder"_s);
    select->setDefault(true);
    connect(select, &QPushButton::clicked, this, &FolderPickerView::chooseFolder);
    column->addWidget(select, 0, Qt::AlignHCenter);
    QPushButton* cancel = Alert::makePlainButton(u"Cancel"_s);
    cancel->setObjectName(u"cancel"_s);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    column->addWidget(cancel, 0, Qt::AlignHCenter);
    PanelWindow::dress(*this, 40);
}

void FolderPickerView::chooseFolder()
{
    const auto chosen = m_chooser.chooseFolder({QString(), u"Select Folder"_s, m_currentPath});
    if (!chosen)
        return; // the sheet stays open
    if (m_onSelect)
        m_onSelect(*chosen);
    accept();
}

#include "ui/Alert.h"

#include "ui/PanelWindow.h"
#include "ui/PremiumTheme.h"

#include <QAbstractButton>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {
constexpr int messageWidth = 300;

constexpr int panelPadding = 24;

QString rgba(const QColor& color)
{
    return u"rgba(%1, %2, %3, %4)"_s.arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(QString::number(color.alphaF(), 'f', 3));
}

// Every button of an alert or sheet has one shape: a rounded rectangle, in
// its role's fill, brighter under the pointer and darker while pressed.
QString buttonSheet(const QColor& fill, const QColor& hover, const QColor& pressed, const QColor& text)
{
    return u"QPushButton { background: %1; color: %4; border: none; border-radius: 6px; padding: 5px 16px; }"
           "QPushButton:hover { background: %2; } QPushButton:pressed { background: %3; }"_s.arg(
               rgba(fill), rgba(hover), rgba(pressed), rgba(text));
}

QString filledButtonSheet(const QColor& fill)
{
    return buttonSheet(fill, fill.lighter(112), fill.darker(115), Qt::white);
}

// A second choice beside a filled one ("Cancel"): white glass.
QString glassButtonSheet()
{
    return buttonSheet(QColor::fromRgbF(1, 1, 1, 0.1f), QColor::fromRgbF(1, 1, 1, 0.16f),
                       QColor::fromRgbF(1, 1, 1, 0.06f), Qt::white);
}

// Without an icon the message box still indents its texts by a spacer in the
// icon's column; on the panel that leaves the left margin wider than the right.
void removeIconIndent(QMessageBox& box)
{
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid)
        return;
    for (int i = 0; i < grid->count(); ++i) {
        int row = 0, column = 0, rows = 0, columns = 0;
        grid->getItemPosition(i, &row, &column, &rows, &columns);
        if (QSpacerItem* spacer = grid->itemAt(i)->spacerItem(); spacer && column == 0 && row == 0)
            spacer->changeSize(0, 0, QSizePolicy::Fixed, QSizePolicy::Fixed);
    }
    grid->setColumnMinimumWidth(0, 0);
    grid->setHorizontalSpacing(0); // nothing stands beside the texts
    grid->invalidate();
}

QMessageBox* makeBox(QWidget* parent, const QString& objectName, const QString& title, const QString& message)
{
    auto* box = new QMessageBox(QMessageBox::NoIcon, title, title, QMessageBox::NoButton, parent);
    box->setObjectName(objectName);
    // Titles and messages carry file names and error texts: never markup.
    box->setTextFormat(Qt::PlainText);
    box->setInformativeText(message);
    box->setWindowModality(Qt::WindowModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    if (auto* label = box->findChild<QLabel*>(u"qt_msgbox_label"_s))
        label->setFont(PremiumTheme::systemFont(15, QFont::DemiBold));
    if (auto* label = box->findChild<QLabel*>(u"qt_msgbox_informativelabel"_s)) {
        label->setFont(PremiumTheme::systemFont(13));
        label->setMinimumWidth(messageWidth);
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, PremiumTheme::textSecondary());
        label->setPalette(palette);
    }
    removeIconIndent(*box);
    PanelWindow::dress(*box, panelPadding);
    return box;
}
} // namespace

QMessageBox* Alert::open(QWidget* parent, const QString& objectName, const QString& title, const QString& message)
{
    QMessageBox* box = makeBox(parent, objectName, title, message);
    box->addButton(QMessageBox::Ok)->setStyleSheet(filledButtonSheet(PremiumTheme::accent()));
    box->open();
    return box;
}

QMessageBox* Alert::openDeleteConfirmation(QWidget* parent, const QString& objectName, const QString& title,
                                           const QString& message, std::function<void()> onDelete)
{
    QMessageBox* box = makeBox(parent, objectName, title, message);
    QPushButton* confirm = box->addButton(u"Delete"_s, QMessageBox::DestructiveRole);
    confirm->setStyleSheet(filledButtonSheet(PremiumTheme::systemColor(SystemColor::red)));
    box->addButton(u"Cancel"_s, QMessageBox::RejectRole)->setStyleSheet(glassButtonSheet());
    QObject::connect(box, &QMessageBox::buttonClicked, box,
                     [confirm, onDelete = std::move(onDelete)](QAbstractButton* clicked) {
                         if (clicked == confirm && onDelete)
                             onDelete();
                     });
    box->open();
    return box;
}

QMessageBox* Alert::openDeleteScreenshotConfirmation(QWidget* parent, std::function<void()> onDelete)
{
    return openDeleteConfirmation(parent, u"previewDeleteConfirmation"_s, u"Delete this screenshot?"_s,
                                  u"This will move the file to the Trash."_s, std::move(onDelete));
}

QPushButton* Alert::makeProminentButton(const QString& text, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(filledButtonSheet(PremiumTheme::accent()));
    return button;
}

QPushButton* Alert::makePlainButton(const QString& text, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(buttonSheet(Qt::transparent, QColor::fromRgbF(1, 1, 1, 0.1f),
                                      QColor::fromRgbF(1, 1, 1, 0.05f), PremiumTheme::textSecondary()));
    return button;
}

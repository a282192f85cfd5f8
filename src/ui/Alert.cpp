#include "ui/Alert.h"

#include "ui/PremiumTheme.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {
constexpr int messageWidth = 300;

QString buttonSheet(const QColor& fill)
{
    return u"QPushButton { background: %1; color: white; border: none; border-radius: 6px; padding: 5px 16px; }"
           "QPushButton:hover { background: %2; } QPushButton:pressed { background: %3; }"_s.arg(
               fill.name(), fill.lighter(112).name(), fill.darker(115).name());
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
    return box;
}
} // namespace

QMessageBox* Alert::open(QWidget* parent, const QString& objectName, const QString& title, const QString& message)
{
    QMessageBox* box = makeBox(parent, objectName, title, message);
    box->addButton(QMessageBox::Ok);
    box->open();
    return box;
}

QMessageBox* Alert::openDeleteConfirmation(QWidget* parent, const QString& objectName, const QString& title,
                                           const QString& message, std::function<void()> onDelete)
{
    QMessageBox* box = makeBox(parent, objectName, title, message);
    QPushButton* confirm = box->addButton(u"Delete"_s, QMessageBox::DestructiveRole);
    confirm->setStyleSheet(buttonSheet(PremiumTheme::systemColor(SystemColor::red)));
    box->addButton(u"Cancel"_s, QMessageBox::RejectRole);
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
    button->setStyleSheet(buttonSheet(PremiumTheme::accent()));
    return button;
}

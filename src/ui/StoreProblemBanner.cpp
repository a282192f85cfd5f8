#include "ui/StoreProblemBanner.h"

#include "core/StoreHealth.h"
#include "core/UserDataLimits.h"
#include "ui/PremiumTheme.h"
#include "ui/TextLabel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>

using namespace Qt::StringLiterals;

StoreProblemBanner::StoreProblemBanner(StoreHealth& health, QWidget* parent)
    : QFrame(parent)
    , m_health(health)
{
    setObjectName(u"storeProblemBanner"_s);
    setStyleSheet(u"#storeProblemBanner { background: rgba(239, 68, 68, 0.18); "
                  "border-bottom: 1px solid rgba(239, 68, 68, 0.5); }"_s);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(16, 8, 12, 8);
    m_label = makeTextLabel({}, PremiumTheme::captionFont(), PremiumTheme::textPrimary(), this);
    m_label->setWordWrap(true);
    m_label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_label, 1);
    m_dismiss = new QPushButton(u"Dismiss"_s, this);
    m_dismiss->setFlat(true);
    layout->addWidget(m_dismiss);
    connect(m_dismiss, &QPushButton::clicked, this, [this] {
        m_dismissedSetAside = m_health.state().setAsidePath;
        refresh();
    });
    // Queued: the store reports from its own queue.
    connect(&m_health, &StoreHealth::changed, this, &StoreProblemBanner::refresh, Qt::QueuedConnection);
    refresh();
}

QString StoreProblemBanner::text() const
{
    return m_label->text();
}

QString StoreProblemBanner::writeProblemText(const QString& reason)
{
    return u"Changes cannot be saved: %1. New analyses wait and are saved as soon as the library can be "
           "written again."_s.arg(reason);
}

QString StoreProblemBanner::setAsideText(const StoreHealth::State& state)
{
    QString text =
        u"The library file was damaged. It was moved to %1 and a new library was started."_s.arg(state.setAsidePath);
    if (state.isCarryingUserData)
        return text + u" Its tags and notes are being read and carried over."_s;
    const int carried = state.carriedUserData;
    if (carried == 0)
        text += u" No tags or notes could be read from it."_s;
    else if (carried == 1)
        text += u" The tags and notes of 1 screenshot were read from it and carried over."_s;
    else
        text += u" The tags and notes of %1 screenshots were read from it and carried over."_s.arg(carried);
    const QLocale english(QLocale::English);
    if (state.leftOutUserData > 0) {
        text += (state.leftOutUserData == 1
                     ? u" 1 tag or note was left out"_s
                     : u" %1 tags or notes were left out"_s.arg(english.toString(state.leftOutUserData))) +
                u": a screenshot keeps at most %1 tags of up to %2 characters each, and a note of up to %3 "
                u"characters."_s.arg(english.toString(UserDataLimits::maxTagCount),
                                     english.toString(UserDataLimits::maxTagLength),
                                     english.toString(UserDataLimits::maxNoteLength));
    }
    if (state.wasCarryingCut)
        text += u" Reading it stopped at its limit of time or size, so some may be missing."_s;
    return text;
}

void StoreProblemBanner::refresh()
{
    const StoreHealth::State state = m_health.state();
    QStringList lines;
    if (!state.canWrite())
        lines.append(writeProblemText(state.writeProblem));
    const bool showSetAside = !state.setAsidePath.isEmpty() && state.setAsidePath != m_dismissedSetAside;
    if (showSetAside)
        lines.append(setAsideText(state));
    m_label->setText(lines.join(u'\n'));
    // Only the note about the old file goes away on request; a write
    // problem stays until writing works.
    m_dismiss->setVisible(showSetAside);
    setVisible(!lines.isEmpty());
}

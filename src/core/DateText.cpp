#include "core/DateText.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace DateText {

namespace {
// The locale's long date with the weekday left out and the month abbreviated.
QString mediumDateFormat(const QLocale& locale)
{
    QString format = locale.dateFormat(QLocale::LongFormat);
    static const QRegularExpression weekday(u"d{4}[,.]?\\s*"_s);
    format.remove(weekday);
    format.replace(u"MMMM"_s, u"MMM"_s);
    return format.trimmed();
}
} // namespace

QString shortDateAndTime(const QDateTime& dateTime, const QLocale& locale)
{
    const QDateTime local = dateTime.toLocalTime();
    return locale.toString(local.date(), QLocale::ShortFormat) + u", "_s +
           locale.toString(local.time(), QLocale::ShortFormat);
}

QString mediumDateAndTime(const QDateTime& dateTime, const QLocale& locale)
{
    const QDateTime local = dateTime.toLocalTime();
    const QString date = locale.toString(local.date(), mediumDateFormat(locale));
    const QString time = locale.toString(local.time(), QLocale::ShortFormat);
    const QString joiner = locale.language() == QLocale::English ? u" at "_s : u", "_s;
    return date + joiner + time;
}

} // namespace DateText

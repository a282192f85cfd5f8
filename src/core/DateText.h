#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// Dates as the screens write them, in the user's time zone and locale.
namespace DateText {

// The short date and short time styles ("3/15/24, 12:00 PM").
QString shortDateAndTime(const QDateTime& dateTime, const QLocale& locale = QLocale());
// A medium date and a short time ("Mar 15, 2024 at 12:00 PM").
QString mediumDateAndTime(const QDateTime& dateTime, const QLocale& locale = QLocale());

} // namespace DateText

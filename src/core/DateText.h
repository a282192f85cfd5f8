#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// Dates and times as the screens write them, in the user's time zone and
// locale. Times are hours and minutes in every locale: some locales' short
// time format (the C locale's among them) carries seconds, which no screen
// shows.
namespace DateText {

// The short time style ("2:07 PM", "14:07").
QString shortTime(const QDateTime& dateTime, const QLocale& locale = QLocale());
// The short date and short time styles ("3/15/24, 12:00 PM").
QString shortDateAndTime(const QDateTime& dateTime, const QLocale& locale = QLocale());
// A medium date and a short time ("Mar 15, 2024 at 12:00 PM").
QString mediumDateAndTime(const QDateTime& dateTime, const QLocale& locale = QLocale());

// The locale's short time format without seconds.
QString shortTimeFormat(const QLocale& locale);
// A time format with its seconds (and their fraction) taken out together with
// the separator that led to them ("h:mm:ss AP" -> "h:mm AP").
QString withoutSeconds(const QString& format);
// The locale's long date without the weekday and with the month abbreviated.
QString mediumDateFormat(const QLocale& locale);

} // namespace DateText

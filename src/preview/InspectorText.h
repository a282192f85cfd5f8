#pragma once

#include <QLocale>
#include <QString>
#include <QUrl>

// How the inspector writes the facts it shows.
namespace InspectorText {

// Decimal kilobytes without decimals below a megabyte, else megabytes with at
// most one decimal ("Zero KB", "840 KB", "2.3 MB", "1,204 MB").
QString fileSize(qint64 bytes, const QLocale& locale = QLocale());
// Each word starting with a capital and going on in lower case ("Cell Phone").
QString capitalizedWords(const QString& text);
// The link's host, or the whole link when it has none (a mail address).
QString linkTitle(const QUrl& url);
// Only web pages and mail addresses open from the inspector: recognised text
// can hold any scheme, and a click must not run a program or open a file.
bool isOpenableLink(const QUrl& url);

} // namespace InspectorText

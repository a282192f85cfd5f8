#include "preview/InspectorText.h"

#include <cmath>

using namespace Qt::StringLiterals;

namespace InspectorText {

namespace {
QString withoutZeroFraction(const QString& number, const QLocale& locale)
{
    const QString zero = locale.decimalPoint() + locale.zeroDigit();
    return number.endsWith(zero) ? number.chopped(zero.size()) : number;
}
} // namespace

QString fileSize(qint64 bytes, const QLocale& locale)
{
    if (bytes <= 0)
        return u"Zero KB"_s;
    const double kilobytes = std::max(1.0, std::round(bytes / 1000.0));
    if (kilobytes < 1000)
        return locale.toString(qint64(kilobytes)) + u" KB"_s;
    const double megabytes = std::round(bytes / 100'000.0) / 10.0;
    return withoutZeroFraction(locale.toString(megabytes, 'f', 1), locale) + u" MB"_s;
}

QString capitalizedWords(const QString& text)
{
    QString result;
    result.reserve(text.size());
    bool wordStart = true;
    for (const QChar c : text) {
        result.append(wordStart ? c.toUpper() : c.toLower());
        wordStart = !c.isLetterOrNumber();
    }
    return result;
}

QString linkTitle(const QUrl& url)
{
    return url.host().isEmpty() ? url.toString() : url.host();
}

bool isOpenableLink(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == u"http"_s || scheme == u"https"_s || scheme == u"mailto"_s);
}

} // namespace InspectorText

#include "core/DateText.h"

#include <QList>
#include <QRegularExpression>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace DateText {

namespace {
// One piece of a Qt date-time format: a field ("ss", "HH") or the literal
// text between fields (quoted or not).
struct Piece
{
    QString text;
    QChar field; // the field's letter; null for literal text
    bool quoted = false;
};

bool isFieldLetter(QChar c)
{
    return QStringView(u"hHmszaAtdMy").contains(c);
}

QList<Piece> piecesOf(const QString& format)
{
    QList<Piece> pieces;
    const auto literal = [&pieces](const QString& text, bool quoted) {
        if (pieces.isEmpty() || !pieces.last().field.isNull() || pieces.last().quoted != quoted)
            pieces.append({QString(), QChar(), quoted});
        pieces.last().text += text;
    };
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format.at(i);
        if (c == u'\'') {
            const qsizetype end = format.indexOf(u'\'', i + 1);
            const qsizetype stop = end < 0 ? format.size() : end + 1;
            literal(format.mid(i, stop - i), true);
            i = stop;
        } else if (isFieldLetter(c)) {
            qsizetype run = i;
            while (run < format.size() && format.at(run) == c)
                ++run;
            pieces.append({format.mid(i, run - i), c, false});
            i = run;
        } else {
            literal(QString(c), false);
            ++i;
        }
    }
    return pieces;
}

// Punctuation and blanks between two fields (":", ".", " "), which go with a
// removed field.
bool isSeparator(const Piece& piece)
{
    return piece.field.isNull() && !piece.quoted &&
           std::all_of(piece.text.cbegin(), piece.text.cend(), [](QChar c) { return !c.isLetterOrNumber(); });
}

QString joined(const QList<Piece>& pieces)
{
    QString result;
    for (const Piece& piece : pieces)
        result += piece.text;
    return result;
}
} // namespace

QString shortTimeFormat(const QLocale& locale)
{
    return withoutSeconds(locale.timeFormat(QLocale::ShortFormat));
}

QString withoutSeconds(const QString& format)
{
    QList<Piece> pieces = piecesOf(format);
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (pieces.at(i).field != u's')
            continue;
        qsizetype first = i;
        qsizetype last = i;
        // A fraction of a second follows its seconds ("ss.zzz").
        if (last + 2 < pieces.size() && isSeparator(pieces.at(last + 1)) && pieces.at(last + 2).field == u'z')
            last += 2;
        if (first > 0 && isSeparator(pieces.at(first - 1)))
            --first;
        else if (last + 1 < pieces.size() && isSeparator(pieces.at(last + 1)))
            ++last;
        pieces.remove(first, last - first + 1);
        i = first - 1;
    }
    return joined(pieces).trimmed();
}

QString mediumDateFormat(const QLocale& locale)
{
    QString format = locale.dateFormat(QLocale::LongFormat);
    static const QRegularExpression weekday(u"d{4}[,.\u060C]?\\s*"_s);
    format.remove(weekday);
    format.replace(u"MMMM"_s, u"MMM"_s);
    return format.trimmed();
}

QString shortTime(const QDateTime& dateTime, const QLocale& locale)
{
    return locale.toString(dateTime.toLocalTime().time(), shortTimeFormat(locale));
}

QString shortDateAndTime(const QDateTime& dateTime, const QLocale& locale)
{
    const QDateTime local = dateTime.toLocalTime();
    return locale.toString(local.date(), QLocale::ShortFormat) + u", "_s + shortTime(local, locale);
}

QString mediumDateAndTime(const QDateTime& dateTime, const QLocale& locale)
{
    const QDateTime local = dateTime.toLocalTime();
    const QString date = locale.toString(local.date(), mediumDateFormat(locale));
    const QString joiner = locale.language() == QLocale::English ? u" at "_s : u", "_s;
    return date + joiner + shortTime(local, locale);
}

} // namespace DateText

#include "core/LinkDetector.h"

#include "core/EditDistance.h"

#include <libpsl.h>

#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace {
// Top-level domains that are far more often a file's extension than a web
// address when written bare ("readme.md", "install.sh", "clip.mov"). Common
// web domains such as .ai, .app, .in, .pl and .so are deliberately absent.
bool isFileExtensionDomain(const QString& lowerTld)
{
    static const QSet<QString> extensions{u"md"_s,  u"zip"_s, u"mov"_s, u"sh"_s,   u"py"_s,         u"rs"_s,
                                          u"pm"_s,  u"ps"_s,  u"mk"_s,  u"java"_s, u"properties"_s, u"tf"_s,
                                          u"map"_s, u"ml"_s,  u"mm"_s,  u"sc"_s};
    return extensions.contains(lowerTld);
}

bool isHostChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'-';
}

// Characters that glue a position to the word before it: a link never starts
// right after one of them ("ex_ample.com" holds no link "ample.com").
bool continuesWord(QChar c)
{
    return c.isLetterOrNumber() || QStringView(u".-_@/%+~\\").contains(c);
}

bool isBodyChar(QChar c)
{
    if (c.isSpace() || c.category() == QChar::Other_Control)
        return false;
    return !QStringView(u"<>\"`{}|^\\\u201C\u201D\u00AB\u00BB").contains(c);
}

bool isTrailingPunctuation(QChar c)
{
    return QStringView(u".,;:!?'\"*\u2018\u2019\u2026\u3001\u3002\uFF0C").contains(c);
}

QChar openerOf(QChar closer)
{
    switch (closer.unicode()) {
    case u')':
        return u'(';
    case u']':
        return u'[';
    case u'}':
        return u'{';
    default:
        return {};
    }
}

// Drops trailing punctuation, and closing brackets that close nothing inside.
qsizetype trimmedEnd(QStringView text, qsizetype start, qsizetype end)
{
    while (end > start) {
        const QChar last = text[end - 1];
        const QChar opener = openerOf(last);
        const QStringView candidate = text.sliced(start, end - start);
        if (isTrailingPunctuation(last) || (!opener.isNull() && candidate.count(opener) < candidate.count(last)))
            --end;
        else
            break;
    }
    return end;
}

bool isLocalPartChar(QChar c)
{
    return c.isLetterOrNumber() || QStringView(u"._%+-").contains(c);
}

bool startsWithCaseless(QStringView text, qsizetype at, QStringView prefix)
{
    return text.sliced(at).startsWith(prefix, Qt::CaseInsensitive);
}

// Text recognition reads "www" as "wwi", "ww", "vww", "wvvw"...: a first label
// of two to four w and v with at least two w (a "vv" counting as one w), or
// "ww" followed by an i or an l. A digit is never a misread: "www1" and
// "www2" are hosts of their own.
bool isMisreadWww(QStringView label)
{
    QString read = label.toString().toLower();
    if (read == u"www")
        return false;
    read.replace(u"vv"_s, u"w"_s);
    static const QRegularExpression misread(u"^(?:[wv]{2,4}|ww[il])$"_s);
    return read.count(u'w') >= 2 && misread.match(read).hasMatch();
}

// Suffixes that follow a blank only in a broken host name, never as the
// lower-case word after a full stop ("etc. in the" is no host).
bool isJoinableWithoutPath(QStringView suffix)
{
    static const QSet<QString> generic{u"com"_s, u"org"_s, u"net"_s, u"edu"_s, u"gov"_s, u"io"_s};
    return generic.contains(suffix.toString());
}

bool hasUpperCase(QStringView text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isUpper(); });
}

// The letters of a misread "http" or "https": the engine reads an h as b, n
// or k, a t as i, l, 1, f or |, puts a thin letter in ("hittps") or drops a
// t ("htps"), and at times takes the padlock of an address bar for a
// capital before the h ("Nhitps"). Any other word before ":/" is a scheme
// of its own (tcp, smtp, rtmp, help...), as are links defanged on purpose
// ("hxxps").
bool isMisreadHttp(const QString& letters)
{
    static const QRegularExpression shape(u"^(?:\\p{Lu}(?=h))?((?i)(?:li|[hbnk])[tilf1|]{1,3}p[s5]?)$"_s);
    const QRegularExpressionMatch match = shape.match(letters);
    if (!match.hasMatch())
        return false;
    const QString read = match.captured(1).toLower();
    const std::u16string_view view(reinterpret_cast<const char16_t*>(read.utf16()), size_t(read.size()));
    return std::min(editDistance(view, u"https", 3), editDistance(view, u"http", 3)) <= 2;
}

bool isIpv4(QStringView host)
{
    static const QRegularExpression dotted(u"^\\d{1,3}(?:\\.\\d{1,3}){3}$"_s);
    return dotted.match(host).hasMatch();
}
} // namespace

void LinkDetector::PslFree::operator()(psl_ctx_st* context) const
{
    psl_free(context);
}

// One pass over one text; positions count UTF-16 units.
class LinkDetector::Scanner
{
public:
    Scanner(const LinkDetector& detector, const QString& text)
        : m_detector(detector)
        , m_text(text)
    {}

    QList<QUrl> run()
    {
        QList<QUrl> links;
        qsizetype at = 0;
        while (at < m_text.size()) {
            // A scheme begins a link after a sign that begins a word
            // ("/https://…", the padlock of an address bar read as a slash),
            // but not inside a word.
            const bool glued = at > 0 && continuesWord(m_text[at - 1]);
            if (glued && (m_text[at - 1].isLetterOrNumber() || (at > 1 && continuesWord(m_text[at - 2])))) {
                ++at;
                continue;
            }
            const Match match = glued ? schemeUrl(at) : matchAt(at);
            if (match.end > at) {
                QUrl url(match.url, QUrl::TolerantMode);
                if (url.isValid())
                    links.append(url);
                at = match.end;
            } else {
                ++at;
            }
        }
        return links;
    }

private:
    struct Match
    {
        QString url;
        qsizetype end = 0; // 0: no match
    };
    struct Host
    {
        qsizetype start = 0;
        qsizetype end = 0;
        int labels = 0;
        QString tld;
        qsizetype firstLabelLength = 0;
        std::vector<qsizetype> gaps; // the blanks read past, if any
        bool misreadWww = false;
        bool brokenLabel = false; // a blank read past inside a label
    };
    // Which blanks after a dot a host is read past: none (an e-mail
    // address); one, when a public suffix follows (a bare host); or every
    // one, when the host ends in a top-level domain (after a scheme, which
    // says a link is being written).
    enum class Breaks { never, beforeSuffix, anywhere };

    Match matchAt(qsizetype at) const
    {
        if (Match m = schemeUrl(at); m.end)
            return m;
        if (Match m = email(at); m.end)
            return m;
        return bareHost(at);
    }

    // A scheme, then an address in brackets, or a host named under a public
    // suffix, a dotted IPv4 address or this computer ("localhost").
    Match schemeUrl(qsizetype at) const
    {
        static const QStringView schemes[] = {u"https://", u"http://", u"ftp://"};
        for (QStringView scheme : schemes) {
            if (!startsWithCaseless(m_text, at, scheme))
                continue;
            const qsizetype hostStart = at + scheme.size();
            if (hostStart >= m_text.size() || !(isHostChar(m_text[hostStart]) || m_text[hostStart] == u'['))
                return {};
            if (m_text[hostStart] == u'[') {
                const qsizetype end = trimmedEnd(m_text, at, bodyEnd(hostStart));
                return {m_text.sliced(at, end - at).toString(), end};
            }
            const Host host = scanHost(hostStart, Breaks::anywhere);
            const qsizetype end = trimmedEnd(m_text, at, bodyEnd(host.end));
            const QString url = spliced(at, host, end);
            const QString name = QUrl(url, QUrl::TolerantMode).host();
            if (!(isIpv4(name) || name == u"localhost" ||
                  (name.contains(u'.') && m_detector.isTopLevelDomain(name.section(u'.', -1)))))
                return {};
            return {url, end};
        }
        return {};
    }

    Match email(qsizetype at) const
    {
        qsizetype local = at;
        while (local < m_text.size() && isLocalPartChar(m_text[local]))
            ++local;
        if (local == at || local >= m_text.size() || m_text[local] != u'@')
            return {};
        if (m_text[at] == u'.' || m_text[local - 1] == u'.')
            return {};
        const Host host = scanHost(local + 1, Breaks::never);
        if (host.labels < 2 || !m_detector.isTopLevelDomain(host.tld))
            return {};
        return {u"mailto:"_s + m_text.sliced(at, host.end - at).toString(), host.end};
    }

    // Bare hosts need a known top-level domain and, "www." hosts aside, must
    // not read as a file name unless a port or path follows.
    Match bareHost(qsizetype at) const
    {
        const Host host = scanHost(at, Breaks::beforeSuffix);
        if (host.labels < 2 || !m_detector.isTopLevelDomain(host.tld))
            return {};
        const bool isWww = startsWithCaseless(m_text, at, u"www.") || host.misreadWww;
        // "calendar. example.org" and "calendar. example. org" may be the end
        // of a host broken at its blanks: the tail alone would name another
        // site. A capital starts a sentence instead, and "www." a host.
        const bool mayBeTail = !host.gaps.empty() || !hasUpperCase(m_text.sliced(at, host.end - at));
        if ((mayBeTail && !isWww && followsBrokenLabel(at)) || followsSchemeWithoutHost(at))
            return {};
        if (isWww && host.labels < 3)
            return {};
        const qsizetype end = portAndPathEnd(at, host.end);
        if (!isWww && end == host.end && isFileExtensionDomain(host.tld.toLower()))
            return {};
        // "example.com_old" or "example.com@x" is some other kind of word.
        if (end == host.end && host.end < m_text.size() && QStringView(u"_@%+~\\").contains(m_text[host.end]))
            return {};
        return {u"http://"_s + spliced(at, host, end), end};
    }

    // Whether `at` follows a lower-case label and a dot with a blank, as the
    // rest of a broken host would; a label of one letter is an abbreviation's
    // ("e.g. www.example.com").
    bool followsBrokenLabel(qsizetype at) const
    {
        if (at < 4 || m_text[at - 1] != u' ' || m_text[at - 2] != u'.')
            return false;
        const QChar last = m_text[at - 3];
        return isHostChar(last) && !last.isUpper() && isHostChar(m_text[at - 4]);
    }

    // Whether `at` follows a scheme and a word of host characters with a
    // blank: the rest of a label split there ("https://foru m.example.de")
    // that could not be joined, and so no host of its own.
    bool followsSchemeWithoutHost(qsizetype at) const
    {
        if (at < 1 || m_text[at - 1] != u' ')
            return false;
        qsizetype word = at - 1;
        while (word > 0 && isHostChar(m_text[word - 1]))
            --word;
        return word < at - 1 && word >= 3 && m_text.sliced(word - 3, 3) == u"://" &&
               m_text.sliced(word, at - 1 - word) != u"localhost";
    }

    // The text from `start` to `end` as the link it stands for: the blanks
    // inside a broken host taken out, a misread "www" read as "www".
    QString spliced(qsizetype start, const Host& host, qsizetype end) const
    {
        QString link;
        qsizetype from = start;
        for (const qsizetype gap : host.gaps) {
            link += m_text.sliced(from, gap - from);
            from = gap + 1;
        }
        link += m_text.sliced(from, end - from);
        if (host.misreadWww)
            link.replace(host.start - start, host.firstLabelLength, u"www"_s);
        return link;
    }

    // Labels of host characters separated by single dots; a final dot is not
    // part of it. Text recognition sometimes splits a host after a dot
    // ("stackoverflow. com/questions"): `breaks` says which such blanks are
    // read past.
    Host scanHost(qsizetype at, Breaks breaks) const
    {
        Host host;
        host.start = at;
        qsizetype position = at;
        QString cut; // the start of a label a blank broke
        for (;;) {
            const qsizetype labelStart = position;
            while (position < m_text.size() && isHostChar(m_text[position]))
                ++position;
            if (position == labelStart)
                break;
            if (host.labels == 0)
                host.firstLabelLength = position - labelStart;
            ++host.labels;
            host.end = position;
            host.tld = std::exchange(cut, QString()) + m_text.sliced(labelStart, position - labelStart).toString();
            if (position + 1 < m_text.size() && m_text[position] == u'.' && isHostChar(m_text[position + 1])) {
                ++position;
            } else if (mayReadPast(host, breaks) && position - labelStart >= 2 &&
                       brokenSuffixEnd(position, breaks == Breaks::anywhere) > position) {
                host.gaps.push_back(position + 1);
                position += 2;
            } else if (mayReadPast(host, breaks) && !host.brokenLabel && isBrokenLabel(host, position, breaks)) {
                host.brokenLabel = true;
                cut = host.tld;
                host.gaps.push_back(position);
                position += 1;
                --host.labels;
            } else {
                break;
            }
        }
        if (host.labels >= 3 && isMisreadWww(m_text.sliced(at, host.firstLabelLength)))
            host.misreadWww = true;
        return host;
    }

    static bool mayReadPast(const Host& host, Breaks breaks)
    {
        return breaks == Breaks::anywhere || (breaks == Breaks::beforeSuffix && host.gaps.empty());
    }

    // Whether the blank at `blank` splits a label of a host, as text
    // recognition splits "forum" into "foru m" and "com" into "co m". After a
    // scheme, when the host so far ends in no top-level domain, the
    // lower-case word after the blank runs on, with dots only, to one
    // ("m.example.de/t/1"); a host ending in one, with or without a scheme,
    // is broken when the word after the blank completes another (see
    // completesTopLevelDomain).
    bool isBrokenLabel(const Host& host, qsizetype blank, Breaks breaks) const
    {
        if (blank + 1 >= m_text.size() || m_text[blank] != u' ' || !isHostChar(m_text[blank + 1]))
            return false;
        const QStringView sofar = m_text.sliced(host.start, blank - host.start);
        if (sofar == u"localhost")
            return false;
        if (m_detector.isTopLevelDomain(host.tld))
            return host.labels >= 2 && completesTopLevelDomain(host, blank);
        if (breaks != Breaks::anywhere)
            return false;
        qsizetype end = blank + 1;
        qsizetype lastLabel = end;
        while (end < m_text.size() && (isHostChar(m_text[end]) || m_text[end] == u'.')) {
            if (m_text[end] == u'.')
                lastLabel = end + 1;
            ++end;
        }
        const QStringView rest = m_text.sliced(blank + 1, end - blank - 1);
        return lastLabel > blank + 1 && !hasUpperCase(rest) &&
               m_detector.isTopLevelDomain(m_text.sliced(lastLabel, end - lastLabel));
    }

    // Whether the lower-case piece after `blank` completes the top-level
    // domain the host ends in to another, and a path or port follows it
    // ("shop.example.co m/cart", "…ne t/", "…de v:8080") or it is a single
    // letter ending the word ("example.ne t"): a word after an address
    // is neither.
    bool completesTopLevelDomain(const Host& host, qsizetype blank) const
    {
        qsizetype end = blank + 1;
        while (end < m_text.size() && isHostChar(m_text[end]))
            ++end;
        const QStringView rest = m_text.sliced(blank + 1, end - blank - 1);
        if (hasUpperCase(rest) || !m_detector.isTopLevelDomain(host.tld + rest.toString()))
            return false;
        if (end == m_text.size())
            return rest.size() == 1;
        const QChar next = m_text[end];
        const bool pathFollows = QStringView(u"/?#").contains(next) ||
                                 (next == u':' && end + 1 < m_text.size() && m_text[end + 1].isDigit());
        return pathFollows || (rest.size() == 1 && (!isBodyChar(next) || isTrailingPunctuation(next)));
    }

    bool isBlankAfterDot(qsizetype dot) const
    {
        return dot + 2 < m_text.size() && m_text[dot] == u'.' && m_text[dot + 1] == u' ' && isHostChar(m_text[dot + 2]);
    }

    // Where the rest of a host broken at the ". " at `dot` ends, or 0 when
    // what follows is not how a host ends: a public suffix in lower case or,
    // with `moreBreaks`, lower-case labels (broken again or not) ending in a
    // top-level domain. Unless a path or port follows, only a generic suffix
    // ("com", "org") counts: "version 2. it" is a sentence.
    qsizetype brokenSuffixEnd(qsizetype dot, bool moreBreaks) const
    {
        if (!isBlankAfterDot(dot))
            return 0;
        const qsizetype start = dot + 2;
        qsizetype end = start;
        qsizetype lastLabel = start;
        for (;;) {
            while (end < m_text.size() && isHostChar(m_text[end]))
                ++end;
            if (end + 1 < m_text.size() && m_text[end] == u'.' && isHostChar(m_text[end + 1]))
                lastLabel = ++end;
            else if (moreBreaks && isBlankAfterDot(end))
                lastLabel = end += 2;
            else
                break;
        }
        const QStringView rest = m_text.sliced(start, end - start);
        const QStringView tld = m_text.sliced(lastLabel, end - lastLabel);
        if (hasUpperCase(rest) || !(moreBreaks ? m_detector.isTopLevelDomain(tld) : m_detector.isPublicSuffix(rest)))
            return 0;
        const bool pathFollows = end < m_text.size() && QStringView(u"/:").contains(m_text[end]);
        return pathFollows || isJoinableWithoutPath(moreBreaks ? tld : rest) ? end : 0;
    }

    qsizetype portAndPathEnd(qsizetype start, qsizetype hostEnd) const
    {
        qsizetype end = hostEnd;
        if (end + 1 < m_text.size() && m_text[end] == u':' && m_text[end + 1].isDigit()) {
            ++end;
            while (end < m_text.size() && m_text[end].isDigit())
                ++end;
        }
        if (end < m_text.size() && QStringView(u"/?#").contains(m_text[end]))
            end = trimmedEnd(m_text, start, bodyEnd(end));
        return end;
    }

    qsizetype bodyEnd(qsizetype at) const
    {
        while (at < m_text.size() && isBodyChar(m_text[at]))
            ++at;
        return at;
    }

    const LinkDetector& m_detector;
    const QStringView m_text;
};

LinkDetector::LinkDetector(Key, PslContext context)
    : m_psl(std::move(context))
{}

LinkDetector::~LinkDetector() = default;

std::shared_ptr<const LinkDetector> LinkDetector::shared(QString* error)
{
    static std::once_flag once;
    static std::shared_ptr<const LinkDetector> detector;
    std::call_once(once, [] {
        // The newest of the system's list and the library's built-in copy.
        PslContext context(psl_latest(nullptr));
        if (context)
            detector = std::make_shared<const LinkDetector>(Key(), std::move(context));
    });
    if (!detector && error)
        *error = u"The public suffix list could not be loaded"_s;
    return detector;
}

// A misread scheme left the link out altogether: what follows "hittps://"
// continues a word, so neither a scheme nor a bare host was found in it.
QString LinkDetector::withSchemeMended(const QString& address)
{
    static const QRegularExpression scheme(
        u"^([^\\p{L}1|]*)([\\p{L}1|]{3,8}):[il1|]?/+(?=[\\w-]+\\.|localhost\\b|\\[)"_s);
    const QRegularExpressionMatch match = scheme.match(address);
    if (!match.hasMatch() || !isMisreadHttp(match.captured(2)))
        return address;
    const bool isSecure = QStringView(u"sS5").contains(match.captured(2).back());
    const QString mended = isSecure ? u"https://"_s : u"http://"_s;
    const QStringView written =
        QStringView(address).sliced(match.capturedStart(2), match.capturedEnd(0) - match.capturedStart(2));
    if (written.compare(mended, Qt::CaseInsensitive) == 0)
        return address;
    // The signs before the scheme are the screen's: a bracket, a quote.
    return match.captured(1) + mended + address.sliced(match.capturedEnd(0));
}

QList<QUrl> LinkDetector::detect(const QString& text) const
{
    if (!text.contains(u":/"))
        return Scanner(*this, text).run();
    // Text read before its schemes were mended as it is read.
    static const QRegularExpression word(u"\\S+"_s);
    QString mended;
    qsizetype copied = 0;
    for (const QRegularExpressionMatch& match : word.globalMatch(text)) {
        mended += QStringView(text).sliced(copied, match.capturedStart() - copied);
        mended += withSchemeMended(match.captured());
        copied = match.capturedEnd();
    }
    mended += QStringView(text).sliced(copied);
    return Scanner(*this, mended).run();
}

bool LinkDetector::isTopLevelDomain(QStringView label) const
{
    return !label.contains(u'.') && isPublicSuffix(label);
}

bool LinkDetector::isPublicSuffix(QStringView name) const
{
    if (name.isEmpty())
        return false;
    const QByteArray lower = name.toString().toLower().toUtf8();
    return psl_is_public_suffix2(m_psl.get(), lower.constData(), PSL_TYPE_ICANN | PSL_TYPE_NO_STAR_RULE) == 1;
}

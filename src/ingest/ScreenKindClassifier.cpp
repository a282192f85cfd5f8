#include "ingest/ScreenKindClassifier.h"

#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <functional>

using namespace Qt::StringLiterals;

namespace {
// How sharply the confidences follow the evidence: at 1.5, a kind with
// 1.5 more evidence than "none" and nothing else in sight is labelled.
constexpr double kSharpness = 1.5;

// Links and bare host names with a path: what their words say (a
// "news" site, "?ref=home") is no cue of the screen around them.
const QRegularExpression& linkPattern()
{
    static const QRegularExpression links(u"(https?://|ftp://|www\\.)\\S+|\\b[\\w-]+(\\.[\\w-]+)+/\\S*"_s,
                                          QRegularExpression::CaseInsensitiveOption |
                                              QRegularExpression::UseUnicodePropertiesOption);
    return links;
}

// The text three ways: as read, lower-cased, and as lower-case words
// between single blanks (with a blank at each end, so " word " finds a
// whole word or phrase). The words leave links out.
class Evidence
{
public:
    explicit Evidence(const QString& text)
        : m_raw(text)
        , m_lower(text.toLower())
    {
        QString word;
        m_words.reserve(m_lower.size() + 2);
        m_words += u' ';
        const QString withoutLinks = QString(m_lower).replace(linkPattern(), u" "_s);
        for (const QChar c : withoutLinks) {
            if (c.isLetterOrNumber()) {
                word += c;
                continue;
            }
            if (!word.isEmpty()) {
                m_words += word;
                m_words += u' ';
                m_set.insert(word);
                ++m_wordCount;
                word.clear();
            }
        }
        if (!word.isEmpty()) {
            m_words += word;
            m_words += u' ';
            m_set.insert(word);
            ++m_wordCount;
        }
    }

    const QString& raw() const { return m_raw; }
    const QString& lower() const { return m_lower; }
    int wordCount() const { return m_wordCount; }

    bool has(QStringView phrase) const
    {
        if (!phrase.contains(u' '))
            return m_set.contains(phrase.toString());
        return m_words.contains(u' ' + phrase.toString() + u' ');
    }
    // How many of `phrases` occur, each once.
    int count(std::initializer_list<QStringView> phrases) const
    {
        return int(std::count_if(phrases.begin(), phrases.end(), [this](QStringView p) { return has(p); }));
    }
    bool any(std::initializer_list<QStringView> phrases) const { return count(phrases) > 0; }
    // How many of `pieces` occur anywhere in the lower-case text.
    int countPieces(std::initializer_list<QStringView> pieces) const
    {
        return int(std::count_if(pieces.begin(), pieces.end(), [this](QStringView p) { return m_lower.contains(p); }));
    }
    bool matches(const QRegularExpression& pattern) const { return pattern.match(m_raw).hasMatch(); }
    int matchCount(const QRegularExpression& pattern) const
    {
        int n = 0;
        for (auto it = pattern.globalMatch(m_raw); it.hasNext(); it.next())
            ++n;
        return n;
    }
    // Distinct whole numbers from 1 to `highest` standing as words.
    int smallNumbers(int highest) const
    {
        int n = 0;
        for (int i = 1; i <= highest; ++i)
            n += m_set.contains(QString::number(i));
        return n;
    }

private:
    QString m_raw;
    QString m_lower;
    QString m_words;
    QSet<QString> m_set;
    int m_wordCount = 0;
};

QRegularExpression pattern(const QString& expression,
                           QRegularExpression::PatternOptions options = QRegularExpression::CaseInsensitiveOption)
{
    QRegularExpression compiled(expression, options | QRegularExpression::UseUnicodePropertiesOption);
    compiled.optimize();
    return compiled;
}

// Patterns are compiled once per thread: the analysis threads classify at once.
struct Patterns
{
    QRegularExpression prompt = pattern(u"(^|\\s)[$%❯]\\s+[a-z][\\w./-]*"_s);
    QRegularExpression shellCommand = pattern(
        u"(^|\\s)[$%❯]\\s+(git|npm|npx|yarn|pnpm|docker|kubectl|cargo|python3?|pip3?|ls|cd|ssh|ping|make|sudo|brew|apt|"
        "curl|wget|terraform|node|go|mvn|gradle|grep|cat|vim|nano|cmake|rustc|gcc|helm|aws|gcloud)\\b"_s);
    QRegularExpression codeFile = pattern(u"\\b[\\w-]+\\.(py|ts|tsx|js|jsx|go|rs|c|cc|cpp|h|hpp|java|kt|swift|rb|php|"
                                          "cs|sql|sh|vue|scala)\\b"_s);
    QRegularExpression mailAddress = pattern(u"[\\w.+-]+@[\\w-]+(\\.[\\w-]+)+"_s);
    QRegularExpression price = pattern(u"(^|[\\s$€£])\\d{1,5}[.,]\\d{2}(?![\\d.,%])"_s);
    QRegularExpression quantity = pattern(u"(^|\\s)\\d{1,2}\\s?x\\s"_s);
    QRegularExpression monthYear = pattern(u"\\b(january|february|march|april|may|june|july|august|september|october|"
                                           "november|december)\\s+(19|20)\\d\\d\\b"_s);
    QRegularExpression minutes = pattern(u"\\b\\d+\\s?min\\b"_s);
    QRegularExpression distance = pattern(u"\\b\\d+([.,]\\d+)?\\s?(km|mi|miles|m|ft)\\b"_s);
    QRegularExpression formula = pattern(u"=\\s?[a-z]{2,}\\s?\\("_s);
    QRegularExpression cellRange = pattern(u"\\b[a-z]{1,2}\\d{1,4}:[a-z]{1,2}\\d{1,4}\\b"_s);
    // "xlsx" is often read with an I for the l.
    QRegularExpression sheetFile = pattern(u"\\.(x[li1]sx|x[li1]s|ods|csv|numbers)\\b"_s);
    QRegularExpression documentFile = pattern(u"\\.(docx|doc|odt|pages|rtf|pdf|tex|md)\\b"_s);
    QRegularExpression webAddress = pattern(
        u"(https?://|www\\.|\\b[a-z0-9-]+(\\.[a-z0-9-]+)*\\.(com|org|net|io|dev|co|uk|de|fr|nl|se|example|edu|gov|info|"
        "app)/)"_s);
    QRegularExpression airportCode = pattern(u"\\([A-Z]{3}\\)"_s, QRegularExpression::NoPatternOption);
    QRegularExpression clock = pattern(u"\\b([01]?\\d|2[0-3])[:.][0-5]\\d\\b"_s);
};

const Patterns& patterns()
{
    thread_local const Patterns instance;
    return instance;
}

double terminal(const Evidence& e, const ScreenKindClassifier::Look& look)
{
    const Patterns& p = patterns();
    double score = 0;
    score += e.matches(p.prompt) ? 2.5 : 0;
    score += e.matches(p.shellCommand) ? 1.5 : 0;
    score +=
        e.any({u"bash", u"zsh", u"fish", u"terminal", u"powershell", u"tmux"}) || e.lower().contains(u"~/") ? 1.5 : 0;
    score += e.countPieces({u"drwx", u"-rw-", u"command not found", u"exit code", u"stack trace"}) > 0 ? 1.0 : 0;
    score += look.known && look.darkShare > 0.5 ? 1.0 : 0;
    return score;
}

// Brackets, parentheses and operators are a good share of the characters.
bool isCodeLike(const Evidence& e)
{
    qsizetype punctuation = 0;
    for (const QChar c : e.raw())
        punctuation += QStringView(u"{}();=<>[]").contains(c);
    return e.raw().size() > 40 && double(punctuation) / double(e.raw().size()) > 0.03;
}

double code(const Evidence& e, const ScreenKindClassifier::Look& look)
{
    const Patterns& p = patterns();
    const bool shellPrompt = e.matches(p.prompt);
    const int syntax = e.countPieces(
        {u"import ", u"def ",  u"class ",   u"return ",     u"function", u"const ",  u"let ",     u"var ",
         u"fn ",     u"func ", u"package ", u"public ",     u"private ", u"static ", u"void ",    u"#include",
         u"=>",      u"();",   u") {",      u"){",          u"};",       u" == ",    u"!=",       u"+=",
         u"++",      u"// ",   u"self.",    u"this.",       u"async ",   u"await ",  u"elif ",    u"lambda",
         u"struct ", u"impl ", u"let mut",  u"console.log", u"print(",   u"select ", u"group by", u"order by",
         u"where ",  u"null",  u"none)",    u"::",          u"throw ",   u"if (",    u"!==",      u"===",
         u".map(",   u"open(", u"println!", u"fetch("});
    double score = 0.55 * std::min(syntax, 9);
    score += std::min(2, e.matchCount(p.codeFile)) * 0.75;
    score += e.any({u"editor", u"explorer", u"workspace"}) ? 1.0 : 0;
    score += isCodeLike(e) ? 1.0 : 0;
    score += look.known && look.darkShare > 0.5 ? 0.3 : 0;
    // Code shown at a shell prompt is a terminal's.
    score -= shellPrompt ? 1.5 : 0;
    return score;
}

double chat(const Evidence& e, const ScreenKindClassifier::Look& look)
{
    double score = 0;
    score += look.bubbleTurns >= 3 ? 4.0 : look.bubbleTurns == 2 ? 2.0 : 0;
    score += e.any({u"online", u"last seen", u"typing", u"members", u"active now", u"offline"}) ? 2.0 : 0;
    score += e.any({u"message", u"type a message", u"write a message", u"send"}) ? 1.5 : 0;
    const int talk =
        e.count({u"i",    u"you", u"me",   u"we",    u"my",      u"your",     u"lol", u"haha", u"thanks", u"ok",
                 u"okay", u"yes", u"sure", u"sorry", u"tonight", u"tomorrow", u"ll",  u"don",  u"did",    u"can"});
    score += talk >= 4 ? 1.0 : talk >= 2 ? 0.5 : 0;
    score += e.raw().contains(u'?') ? 0.5 : 0;
    return score;
}

double email(const Evidence& e, const ScreenKindClassifier::Look&)
{
    double score = 0;
    score += e.lower().contains(u"from:") ? 2.0 : 0;
    score += e.countPieces({u"to:", u"cc:", u"subject:"}) > 0 ? 1.0 : 0;
    const int actions = e.count({u"reply", u"forward", u"reply all"});
    score += actions >= 2 ? 1.5 : actions == 1 ? 0.75 : 0;
    score +=
        e.count({u"inbox", u"drafts", u"sent", u"spam", u"starred", u"archive", u"junk", u"outbox"}) >= 2 ? 1.5 : 0;
    score += e.matches(patterns().mailAddress) ? 1.0 : 0;
    score +=
        e.any({u"hi", u"hello", u"dear"}) && e.any({u"regards", u"best", u"cheers", u"sincerely", u"thanks"}) ? 0.5 : 0;
    score += e.any({u"unsubscribe"}) ? 1.0 : 0;
    return score;
}

double receipt(const Evidence& e, const ScreenKindClassifier::Look&)
{
    const Patterns& p = patterns();
    double score = 0;
    score += e.any({u"total"}) ? 1.5 : 0;
    score += e.any({u"subtotal", u"sub total"}) ? 1.0 : 0;
    score += e.any({u"tax", u"vat", u"sales tax"}) ? 0.5 : 0;
    score += e.any({u"visa", u"mastercard", u"amex", u"cash", u"card", u"paid", u"change", u"apple pay", u"contactless",
                    u"approved", u"debit"})
                 ? 1.5
                 : 0;
    score += e.matchCount(p.price) >= 3 ? 1.0 : 0;
    score += e.any({u"thank you", u"thanks", u"grazie", u"merci", u"danke", u"gracias"}) ? 0.5 : 0;
    score += e.any({u"receipt", u"order"}) ? 1.0 : 0;
    score += e.matches(p.quantity) ? 0.5 : 0;
    score -= e.any({u"invoice"}) ? 2.5 : 0;
    score -= e.lower().contains(u"from:") ? 1.0 : 0;
    return score;
}

double invoice(const Evidence& e, const ScreenKindClassifier::Look&)
{
    double score = 0;
    score += e.any({u"invoice", u"rechnung", u"facture"}) ? 3.0 : 0;
    score += e.any({u"bill to", u"billed to", u"client", u"customer", u"billing"}) ? 1.0 : 0;
    score += e.any({u"due", u"due date", u"payment terms", u"payable"}) ? 1.0 : 0;
    score += e.count({u"description", u"qty", u"quantity", u"price", u"amount", u"unit price", u"rate"}) >= 2 ? 1.0 : 0;
    score += e.any({u"vat", u"tax"}) ? 0.5 : 0;
    score += e.any({u"total"}) ? 0.5 : 0;
    score += e.any({u"iban", u"bic", u"swift"}) ? 0.5 : 0;
    score -= e.lower().contains(u"from:") ? 1.0 : 0;
    return score;
}

double calendar(const Evidence& e, const ScreenKindClassifier::Look&)
{
    const int weekdays = e.count({u"mon", u"tue", u"wed", u"thu", u"fri", u"sat", u"sun"}) +
                         e.count({u"monday", u"tuesday", u"wednesday", u"thursday", u"friday", u"saturday", u"sunday"});
    double score = weekdays >= 5 ? 3.0 : weekdays >= 3 ? 1.0 : 0;
    score += e.matches(patterns().monthYear) ? 1.0 : 0;
    score += e.smallNumbers(31) >= 15 ? 1.5 : 0;
    score += e.any({u"today", u"week", u"month", u"agenda", u"all day"}) ? 0.5 : 0;
    return score;
}

double map(const Evidence& e, const ScreenKindClassifier::Look&)
{
    const Patterns& p = patterns();
    double score = 0;
    score += e.matches(p.minutes) ? 1.5 : 0;
    score += e.matches(p.distance) ? 1.5 : 0;
    const int directions =
        e.count({u"route",   u"directions", u"via",   u"head",  u"turn left", u"turn right", u"continue",
                 u"exit",    u"walk",       u"drive", u"bus",   u"tram",      u"transit",    u"traffic",
                 u"fastest", u"north",      u"east",  u"south", u"west",      u"straight",   u"uphill"});
    score += std::min(3.0, 0.6 * directions);
    return score;
}

double spreadsheet(const Evidence& e, const ScreenKindClassifier::Look&)
{
    const Patterns& p = patterns();
    double score = 0;
    score += e.any({u"fx"}) ? 2.0 : 0;
    score += e.matches(p.formula) ? 2.0 : 0;
    score += e.matches(p.cellRange) ? 1.0 : 0;
    score += e.has(u"a b c d") || e.has(u"b c d e") ? 1.5 : 0;
    score += e.matches(p.sheetFile) ? 1.5 : 0;
    score += e.any({u"sheet", u"sheet1"}) ? 0.5 : 0;
    return score;
}

double document(const Evidence& e, const ScreenKindClassifier::Look&)
{
    double score = 0;
    score += e.matches(patterns().documentFile) ? 2.0 : 0;
    const int prose = e.count({u"the", u"of", u"and", u"is", u"was", u"to", u"in", u"by", u"with", u"for", u"on", u"at",
                               u"a", u"an", u"be", u"are", u"this", u"that"});
    score += e.wordCount() >= 40 && prose >= 8 ? 1.0 : 0;
    score += e.any({u"chapter", u"section", u"page", u"appendix", u"agreement", u"minutes", u"report", u"abstract",
                    u"introduction", u"conclusion", u"proposal", u"handbook", u"draft"})
                 ? 0.5
                 : 0;
    return score;
}

double webPage(const Evidence& e, const ScreenKindClassifier::Look&)
{
    double score = 0;
    score += e.matches(patterns().webAddress) ? 2.0 : 0;
    score +=
        e.count({u"home", u"about", u"help", u"search", u"contact", u"blog", u"news", u"shop", u"menu"}) >= 2 ? 1.5 : 0;
    score += e.any({u"privacy", u"terms", u"cookies", u"copyright"}) || e.raw().contains(u'©') ? 1.0 : 0;
    return score;
}

double errorDialog(const Evidence& e, const ScreenKindClassifier::Look&)
{
    double score = 0;
    const int trouble = e.count({u"error", u"failed", u"failure", u"could not", u"cannot", u"can t", u"unable",
                                 u"not responding", u"denied", u"lost", u"stopped", u"locked", u"not enough",
                                 u"incomplete", u"crashed", u"unexpected", u"problem", u"invalid", u"missing"});
    score += std::min(2.4, 1.2 * trouble);
    const int buttons = e.count({u"ok", u"cancel", u"retry", u"quit", u"force quit", u"details", u"report",
                                 u"try again", u"wait", u"close", u"ignore", u"dismiss", u"notify", u"restart"});
    score += buttons >= 2 ? 1.8 : buttons == 1 ? 1.2 : 0;
    score += e.wordCount() <= 60 ? 1.0 : e.wordCount() > 120 ? -1.5 : 0;
    // Code handles errors in words ("throw new Error("failed")") that a
    // dialog shows.
    score -= isCodeLike(e) ? 1.5 : 0;
    return score;
}

double settings(const Evidence& e, const ScreenKindClassifier::Look&)
{
    double score = 0;
    score += e.any({u"settings", u"preferences", u"system settings"}) ? 2.0 : 0;
    const int sections =
        e.count({u"general", u"appearance", u"privacy", u"security",      u"notifications", u"sound",    u"displays",
                 u"display", u"bluetooth",  u"network", u"wi fi",         u"wifi",          u"keyboard", u"battery",
                 u"storage", u"updates",    u"focus",   u"accessibility", u"language",      u"accounts", u"wallpaper",
                 u"mouse",   u"trackpad",   u"sharing", u"users"});
    score += sections >= 5 ? 3.5 : sections >= 3 ? 2.5 : 0;
    score += std::min(1.5, 0.5 * e.count({u"enabled", u"disabled", u"automatic", u"turned on", u"turned off", u"allow",
                                          u"access", u"mode", u"default"}));
    return score;
}

double login(const Evidence& e, const ScreenKindClassifier::Look&)
{
    double score = 0;
    score += e.any({u"sign in", u"log in", u"login", u"signin", u"sign on"}) ? 2.0 : 0;
    score += e.any({u"password", u"passcode", u"pin"}) ? 2.0 : 0;
    score += e.any({u"forgot"}) ? 1.0 : 0;
    score += e.any({u"username", u"remember me", u"create account", u"sign up", u"register", u"sso", u"two factor",
                    u"verification code", u"keep me signed in"})
                 ? 0.5
                 : 0;
    return score;
}

double travelBooking(const Evidence& e, const ScreenKindClassifier::Look&)
{
    double score = 0;
    score += e.any({u"flight", u"boarding pass", u"itinerary"}) ? 1.5 : 0;
    score += e.any({u"booking", u"reservation", u"confirmation", u"confirmed", u"reference", u"pnr"}) ? 1.0 : 0;
    score += e.any({u"check in", u"check out"}) ? 1.5 : 0;
    score += std::min(2.8, 0.7 * e.count({u"passenger", u"seat", u"gate", u"boarding", u"coach", u"departs",
                                          u"departure", u"arrives", u"arrival", u"economy", u"carriage", u"platform",
                                          u"nights", u"room", u"breakfast", u"cancellation", u"train"}));
    score += e.matches(patterns().airportCode) ? 1.5 : 0;
    return score;
}

using Scorer = double (*)(const Evidence&, const ScreenKindClassifier::Look&);

struct Kind
{
    QString name;
    Scorer score;
};

const std::vector<Kind>& allKinds()
{
    static const std::vector<Kind> kinds{
        {u"code"_s, code},         {u"terminal"_s, terminal}, {u"chat"_s, chat},
        {u"email"_s, email},       {u"receipt"_s, receipt},   {u"invoice"_s, invoice},
        {u"calendar"_s, calendar}, {u"map"_s, map},           {u"spreadsheet"_s, spreadsheet},
        {u"document"_s, document}, {u"web page"_s, webPage},  {u"error dialog"_s, errorDialog},
        {u"settings"_s, settings}, {u"login"_s, login},       {u"travel booking"_s, travelBooking},
    };
    return kinds;
}
} // namespace

ScreenKindClassifier::Look ScreenKindClassifier::lookAt(const QImage& image)
{
    if (image.isNull())
        return {};
    const QImage small = image.width() > 256 || image.height() > 256
                             ? image.scaled(256, 256, Qt::KeepAspectRatio, Qt::FastTransformation)
                             : image;
    const QImage rgb = small.convertToFormat(QImage::Format_RGB32);
    qint64 dark = 0;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            dark += qGray(line[x]) < 40;
    }
    const qint64 pixels = qint64(rgb.width()) * rgb.height();
    return {pixels > 0 ? double(dark) / double(pixels) : 0, pixels > 0};
}

void ScreenKindClassifier::addLineLayout(Look& look, const std::vector<QRect>& lines, QSize page)
{
    look.bubbleTurns = 0;
    const int width = page.width();
    if (width <= 0)
        return;
    const auto overlap = [](const QRect& a, const QRect& b) { return a.top() <= b.bottom() && b.top() <= a.bottom(); };
    // On one text row: their middles within a quarter of a line.
    const auto inStep = [](const QRect& a, const QRect& b) {
        return std::abs((a.top() + a.bottom()) - (b.top() + b.bottom())) * 4 <= std::max(a.height(), b.height()) * 2;
    };
    // A bubble of one's own sits at the right, starting past a third of the
    // page; one of the other side's at the left, reaching past a sidebar
    // (a quarter of the page) but not to the right edge.
    std::vector<QRect> right, left;
    int inRows = 0;
    for (const QRect& line : lines) {
        if (line.left() * 100 >= width * 35 && line.right() * 100 >= width * 70) {
            right.push_back(line);
            inRows += std::any_of(lines.begin(), lines.end(), [&](const QRect& other) {
                return other.right() < line.left() && inStep(line, other);
            });
        } else if (line.left() * 100 < width * 45 && line.right() * 100 > width * 25 &&
                   line.right() * 100 <= width * 80) {
            left.push_back(line);
        }
    }
    // Values beside their labels on every row are a form; a bubble meets a
    // sidebar's item on its row only now and then.
    if (inRows >= 2 && inRows * 3 >= int(right.size()) * 2)
        return;
    // Beside one another they are columns, or the cells of rows, not turns
    // of a conversation.
    int besides = 0;
    for (const QRect& mine : right)
        besides +=
            int(std::count_if(left.begin(), left.end(), [&](const QRect& theirs) { return overlap(mine, theirs); }));
    if (right.size() < 2 || besides > 1)
        return;
    std::vector<std::pair<int, bool>> sides;
    for (const QRect& line : right)
        sides.emplace_back(line.top(), true);
    for (const QRect& line : left)
        sides.emplace_back(line.top(), false);
    std::sort(sides.begin(), sides.end());
    for (size_t i = 1; i < sides.size(); ++i)
        look.bubbleTurns += sides[i].second != sides[i - 1].second;
}

std::vector<ScreenKindClassifier::Observation> ScreenKindClassifier::classify(const QString& text, const Look& look)
{
    const Evidence evidence(text);
    std::vector<double> scores;
    double sum = std::exp(kSharpness * noneEvidence);
    for (const Kind& kind : allKinds()) {
        scores.push_back(std::exp(kSharpness * std::max(0.0, kind.score(evidence, look))));
        sum += scores.back();
    }
    std::vector<Observation> observations;
    for (size_t i = 0; i < scores.size(); ++i)
        observations.push_back({allKinds()[i].name, float(scores[i] / sum)});
    std::stable_sort(observations.begin(), observations.end(),
                     [](const Observation& a, const Observation& b) { return a.confidence > b.confidence; });
    return observations;
}

QStringList ScreenKindClassifier::labels(const QString& text, const Look& look, float threshold)
{
    QStringList labels;
    if (text.trimmed().isEmpty())
        return labels;
    for (const Observation& observation : classify(text, look)) {
        if (observation.confidence > threshold)
            labels.append(observation.kind);
    }
    return labels;
}

const QStringList& ScreenKindClassifier::kinds()
{
    static const QStringList names = [] {
        QStringList list;
        for (const Kind& kind : allKinds())
            list.append(kind.name);
        return list;
    }();
    return names;
}

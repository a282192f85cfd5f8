#include "ingest/TextRecognizer.h"

#include "core/LinkDetector.h"

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <QHash>
#include <QRegularExpression>

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <numeric>

using namespace Qt::StringLiterals;

namespace {
// Tesseract's diagnostics ("Estimating resolution as ...") go to one
// process-wide file; pointing it at /dev/null before the first engine
// exists keeps them off the console. Its image library reports to the
// console on its own ("Error in pixScanForForeground: invalid box" for a
// line with no ink at its edge), about nothing the engine does not handle.
void silenceDiagnostics(tesseract::TessBaseAPI& engine)
{
    static std::once_flag once;
    std::call_once(once, [&engine] {
        engine.SetVariable("debug_file", "/dev/null");
        setMsgSeverity(L_SEVERITY_NONE);
    });
}

int lettersAndDigits(const QString& word)
{
    return int(std::count_if(word.cbegin(), word.cend(), [](QChar c) { return c.isLetterOrNumber(); }));
}

// Whether a word the engine doubts still has the shape of one: textures read
// as text give mostly scraps of one to three letters ("Ee", "NS", "oer"), or
// runs of one letter over a pattern strewn with signs ("@eeee¢eeds$e").
bool looksLikeWord(const QString& word)
{
    const int letters = lettersAndDigits(word);
    if (letters < TextRecognizer::doubtfulWordLetters || word.size() > TextRecognizer::longestDoubtfulWord)
        return false;
    QHash<QChar, int> counts;
    int commonest = 0;
    int signs = 0;
    int run = 0;
    for (qsizetype i = 0; i < word.size(); ++i) {
        const QChar c = word[i];
        run = i > 0 && word[i - 1] == c ? run + 1 : 1;
        if (run >= 4)
            return false;
        if (c.isLetterOrNumber())
            commonest = std::max(commonest, ++counts[c.toLower()]);
        else if (!QStringView(u".,-_/:'\"()").contains(c))
            ++signs;
    }
    return commonest * 2 <= letters + 1 && signs <= 1;
}

// Whether `word` is a call in a line of code ("append(entry);",
// "json.load(handle)"): small monospaced code is read with little
// confidence, but a texture's scraps never take that shape.
bool looksLikeCall(const QString& word)
{
    static const QRegularExpression call(uR"(^[A-Za-z_][\w.]*\([\w.,]*\)[;,.:]?$)"_s);
    return lettersAndDigits(word) >= 6 && call.match(word).hasMatch() && looksLikeWord(word);
}

bool startsPath(const QString& piece)
{
    return !piece.isEmpty() && QStringView(u"/?#&").contains(piece.front());
}

// Whether `piece` begins a path, a query or an "&" that the engine split
// from the address before it: with a blank before it on the screen it is a
// word of its own ("git clone https://…/repo.git /home/user/repo",
// "xdg-open https://… &").
bool carriesOnPath(const TextRecognizer::Word& piece)
{
    return startsPath(piece.text) && piece.blankBefore != true;
}

// Whether `piece` is the rest of the host `address` began: after a scheme,
// a host is not whole without a dot inside it ("https://recipes." or
// "https://foru" read apart from "hearthandhome.net/..." or "m.example.de").
bool carriesOnHost(const QString& address, const QString& piece)
{
    static const QRegularExpression unfinished(u"^\\W*[a-z]{3,7}:[il1|]?/+(?!localhost\\.?$)[\\w-]+\\.?$"_s,
                                               QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression rest(u"^[a-z0-9][\\w-]*\\.[a-z]"_s);
    return unfinished.match(address).hasMatch() && rest.match(piece).hasMatch();
}

// Whether `word` ends in a scheme split from the rest of its address
// ("https:", "URL='smtps:/").
bool endsInScheme(const QString& word)
{
    static const QRegularExpression scheme(u"(?:^|[^\\w.\\-/])[a-z]{2,8}:/?$"_s);
    return scheme.match(word).hasMatch();
}

// Whether `piece` goes on from a sign at the seam where the engine split an
// address with no blank on the screen: a monospaced font leaves gaps as wide
// as a proportional font's blank around its narrow signs ("https:"
// "//mail.example.com", "example." "com/a", "harbour-" "road", "…:" "8080",
// "…/" "INBOX").
bool carriesOnAtSign(const QString& address, const TextRecognizer::Word& piece)
{
    if (piece.blankBefore != false || address.isEmpty() || piece.text.isEmpty())
        return false;
    const QChar last = address.back();
    const QChar first = piece.text.front();
    if (QStringView(u".-_/").contains(last))
        return first.isLetterOrNumber();
    if (last == u':')
        return first.isDigit() || first == u'/';
    return QStringView(u".-_:").contains(first);
}

// Whether `piece`, read after `address` and before `next`, carries on its
// path: an address holds no space, but the engine at times takes one for
// the wide side of a narrow sign (after the "1" of many fonts, before a
// "?"). A number carries on an address that ends in a digit when it holds
// a sign of a path, or when the piece after it begins one.
bool carriesOnAddress(const QString& address, const TextRecognizer::Word& word, const QString& next)
{
    static const QRegularExpression pathSign(u"[/?#=&]"_s);
    const QString& piece = word.text;
    if (carriesOnPath(word) || carriesOnHost(address, piece) || carriesOnAtSign(address, word))
        return true;
    if (address.isEmpty() || piece.isEmpty() || !address.back().isDigit() || !piece.front().isDigit())
        return false;
    const bool isNumber = std::all_of(piece.begin(), piece.end(), [](QChar c) { return c.isDigit(); });
    return piece.contains(pathSign) || (isNumber && startsPath(next));
}

// `line` with the pieces of an address that the engine read apart joined
// again, each read as surely as the less sure of its pieces.
std::vector<TextRecognizer::Word> withAddressesJoined(const std::vector<TextRecognizer::Word>& line)
{
    std::vector<TextRecognizer::Word> joined;
    bool inAddress = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const TextRecognizer::Word& word = line[i];
        const QString next = i + 1 < line.size() ? line[i + 1].text : QString();
        if (inAddress && carriesOnAddress(joined.back().text, word, next)) {
            joined.back().text += word.text;
            joined.back().confidence = std::min(joined.back().confidence, word.confidence);
            continue;
        }
        joined.push_back(word);
        inAddress = TextRecognizer::looksLikeAddress(word.text) || endsInScheme(word.text);
    }
    return joined;
}

// The rows of `ink` that hold ink, and the widest run of its columns from
// `from` to `to` that holds none.
int inkedRows(const QImage& ink)
{
    int top = -1;
    int bottom = -1;
    for (int y = 0; y < ink.height(); ++y) {
        const uchar* row = ink.constScanLine(y);
        if (std::any_of(row, row + ink.width(), [](uchar grey) { return grey < 128; })) {
            top = top < 0 ? y : top;
            bottom = y;
        }
    }
    return top < 0 ? 0 : bottom - top + 1;
}

int widestBlank(const QImage& ink, int from, int to)
{
    int widest = 0;
    int run = 0;
    for (int x = std::max(from, 0); x <= std::min(to, ink.width() - 1); ++x) {
        bool blank = true;
        for (int y = 0; y < ink.height() && blank; ++y)
            blank = ink.constScanLine(y)[x] >= 128;
        run = blank ? run + 1 : 0;
        widest = std::max(widest, run);
    }
    return widest;
}

// Sets each word's blankBefore from `ink`, the line the engine read, dark on
// white, and `boxes`, where the engine placed the words: roughly, by what it
// read rather than by their ink, so that a word's box may run over the
// next; the start of the next is the surer. The space between two words is
// the widest gap in the ink around that seam. A blank is wider than the gaps
// between letters, but a monospaced font leaves gaps around its narrow
// signs (":", ".") as wide as a proportional font's blank. So a gap is a
// blank when it is a fifth of the line's height, and near the width of the
// line's other blanks or, on a line with no other, wider than the gaps
// within the words beside it; half the height is always a blank.
void markBlanks(std::vector<TextRecognizer::Word>& line, const std::vector<QRect>& boxes, const QImage& ink)
{
    if (line.size() < 2)
        return;
    const int height = inkedRows(ink);
    const int reach = height * 2 / 5;
    const auto isPlaced = [&boxes](size_t i) { return i < boxes.size() && !boxes[i].isEmpty(); };
    // Where word `i` ends: its box, or the start of the next if sooner.
    const auto endOf = [&](size_t i) {
        return isPlaced(i + 1) ? std::min(boxes[i].right(), boxes[i + 1].left()) : boxes[i].right();
    };
    const auto widestWithin = [&](size_t i) {
        return isPlaced(i) ? widestBlank(ink, boxes[i].left() + reach, endOf(i) - reach) : 0;
    };
    std::vector<int> gaps(line.size(), -1);
    for (size_t i = 1; i < line.size(); ++i) {
        if (isPlaced(i - 1) && isPlaced(i))
            gaps[i] = widestBlank(ink, endOf(i - 1) - reach, boxes[i].left() + reach);
    }
    for (size_t i = 1; i < line.size(); ++i) {
        if (gaps[i] < 0)
            continue;
        std::vector<int> others;
        for (size_t j = 1; j < gaps.size(); ++j) {
            if (j != i && gaps[j] >= 0)
                others.push_back(gaps[j]);
        }
        double like = 0;
        if (!others.empty()) {
            const auto middle = others.begin() + std::ptrdiff_t(others.size() / 2);
            std::nth_element(others.begin(), middle, others.end());
            like = *middle * 0.6;
        } else {
            like = std::max(widestWithin(i - 1), widestWithin(i)) * 1.15 + 1;
        }
        line[i].blankBefore = gaps[i] >= std::max(height * 0.2, std::min(height * 0.5, like));
    }
}

QRect wordBox(const tesseract::ResultIterator& word)
{
    int left = 0, top = 0, right = 0, bottom = 0;
    if (!word.BoundingBox(tesseract::RIL_WORD, &left, &top, &right, &bottom))
        return {};
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

// Pixels this dark or darker are ink in a picture prepared for the engine.
constexpr uchar inkAtMost = 160;

// The boxes of the marks of `marked` (ink 255, paper 0), from left to right.
std::vector<QRect> marksOf(const cv::Mat& marked)
{
    cv::Mat labels, stats, centres;
    const int count = cv::connectedComponentsWithStats(marked, labels, stats, centres, 8, CV_32S);
    std::vector<QRect> marks;
    for (int label = 1; label < count; ++label) {
        const int* mark = stats.ptr<int>(label);
        marks.emplace_back(mark[cv::CC_STAT_LEFT], mark[cv::CC_STAT_TOP], mark[cv::CC_STAT_WIDTH],
                           mark[cv::CC_STAT_HEIGHT]);
    }
    std::sort(marks.begin(), marks.end(), [](const QRect& a, const QRect& b) { return a.left() < b.left(); });
    return marks;
}

// The first colon among `marks`: two dots one above the other, each a third
// of `tallest` at most. Its box, or an empty one.
QRect firstColon(const std::vector<QRect>& marks, int tallest)
{
    const auto isDot = [tallest](const QRect& mark) {
        return mark.width() * 3 <= tallest && mark.height() * 3 <= tallest;
    };
    for (size_t i = 0; i + 1 < marks.size(); ++i) {
        const QRect& upper = marks[i].top() < marks[i + 1].top() ? marks[i] : marks[i + 1];
        const QRect& lower = &upper == &marks[i] ? marks[i + 1] : marks[i];
        if (isDot(upper) && isDot(lower) && upper.right() >= lower.left() && lower.right() >= upper.left() &&
            upper.bottom() < lower.top())
            return upper.united(lower);
    }
    return {};
}

// Whether the picture of `word` (its box in `ink`) shows two slashes after
// the colon that the word begins with. The engine at times reads the second
// slash of "://" as a letter where it comes close to, or touches, the letter
// after it ("https:/Awww" for "https://www"), then reads that letter as
// well. Slashes reach below the line the letters stand on, where the colon
// ends: their feet stand apart there, within a letter's height of the
// colon, whatever their tops touch.
bool showsTwoSlashesAfterColon(const QImage& ink, const QRect& word)
{
    const QRect box = word.intersected(ink.rect());
    if (box.width() < 4 || box.height() < 4)
        return false;
    cv::Mat pixels(box.height(), box.width(), CV_8UC1);
    for (int y = 0; y < box.height(); ++y)
        std::memcpy(pixels.ptr(y), ink.constScanLine(box.top() + y) + box.left(), size_t(box.width()));
    const cv::Mat marked = pixels <= inkAtMost;
    const std::vector<QRect> marks = marksOf(marked);
    const int tallest = std::accumulate(marks.begin(), marks.end(), 0,
                                        [](int most, const QRect& mark) { return std::max(most, mark.height()); });
    const QRect colon = firstColon(marks, tallest);
    if (colon.isEmpty() || colon.bottom() + 1 >= box.height())
        return false;
    const cv::Mat belowLine = marked.rowRange(colon.bottom() + 1, box.height());
    int feet = 0;
    bool inFoot = false;
    for (int x = colon.right() + 1; x <= std::min(box.width() - 1, colon.right() + tallest); ++x) {
        const bool isFoot = cv::countNonZero(belowLine.col(x)) > 0;
        feet += isFoot && !inFoot;
        inFoot = isFoot;
    }
    return feet >= 2;
}

// `word` as the picture shows it: a letter read in place of the second
// slash of its scheme is that slash.
QString withSlashesAsShown(const QString& word, const QImage& ink, const QRect& box)
{
    static const QRegularExpression oneSlashThenLetter(u"^([^\\p{L}]*\\p{L}{3,7}:/)\\p{L}(?=\\S)"_s);
    const QRegularExpressionMatch match = oneSlashThenLetter.match(word);
    if (!match.hasMatch() || !showsTwoSlashesAfterColon(ink, box))
        return word;
    return match.captured(1) + u'/' + word.sliced(match.capturedEnd(0));
}

void addLinesOf(tesseract::TessBaseAPI& engine, const QImage& ink, TextRecognizer::Result& result)
{
    result.lines.emplace();
    const std::unique_ptr<tesseract::ResultIterator> iterator(engine.GetIterator());
    if (!iterator)
        return;
    std::vector<TextRecognizer::Word> line;
    std::vector<QRect> boxes;
    const auto endLine = [&result, &line, &boxes, &ink] {
        markBlanks(line, boxes, ink);
        const TextRecognizer::KeptLine kept = TextRecognizer::keptWords(line);
        // A line dropped as scraps may have held an address read badly.
        result.addressConfidence = std::min(result.addressConfidence, kept.addressConfidence);
        result.addresses += kept.addresses;
        result.addressMended |= kept.addressMended;
        if (!kept.text.isEmpty()) {
            result.lines->append(kept.text);
            result.certainty.push_back(kept.certainty);
        } else if (!line.empty()) {
            ++result.scraps;
        }
        line.clear();
        boxes.clear();
    };
    do {
        if (iterator->IsAtBeginningOf(tesseract::RIL_TEXTLINE))
            endLine();
        const std::unique_ptr<char[]> text(iterator->GetUTF8Text(tesseract::RIL_WORD));
        // Words past a deadline are left empty by the engine.
        const QString word = text ? QString::fromUtf8(text.get()).simplified() : QString();
        if (!word.isEmpty()) {
            const QRect box = wordBox(*iterator);
            line.push_back({withSlashesAsShown(word, ink, box), iterator->Confidence(tesseract::RIL_WORD)});
            boxes.push_back(box);
        }
    } while (iterator->Next(tesseract::RIL_WORD));
    endLine();
}

std::vector<QRect> linesOf(tesseract::PageIterator& page)
{
    std::vector<QRect> lines;
    do {
        // Pictures and rules hold no text the whole page would read.
        if (!PTIsTextType(page.BlockType()))
            continue;
        int left = 0, top = 0, right = 0, bottom = 0;
        if (page.BoundingBox(tesseract::RIL_TEXTLINE, &left, &top, &right, &bottom))
            lines.push_back(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)));
    } while (page.Next(tesseract::RIL_TEXTLINE));
    return lines;
}

// What the engine asks between words.
struct Watch
{
    const TextRecognizer::Limits& limits;
    bool isProcessorTimeSpent = false;
};

// Called by the engine between words: true ends the recognition, which then
// leaves the words it did not reach empty.
bool isToEnd(void* watch, int /*words*/)
{
    auto& self = *static_cast<Watch*>(watch);
    if (self.limits.stop.stop_requested())
        return true;
    self.isProcessorTimeSpent = self.limits.budget.isProcessorTimeSpent();
    return self.isProcessorTimeSpent;
}
} // namespace

// A link is read with little confidence for its length and runs far longer
// than a word, but a texture is never read as one.
bool TextRecognizer::looksLikeAddress(const QString& word)
{
    static const QRegularExpression shape(
        uR"(^(?:(?:[a-z_]\w*=['"]?)?(?<start>[a-z]{3,6}:[il1|]?/+|www\d?\.)(?<name>\S*))"
        uR"(|[a-z0-9][a-z0-9.-]*\.[a-z]{2,12}(?<path>[/?#:]\S*))$)"_s,
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression edges(uR"re(^[^\p{L}\p{N}]+|[)"'\]>.,;:!]+$)re"_s);
    static const QRegularExpression runOfFour(uR"((\D)\1\1\1)"_s);
    const QString bare = QString(word).remove(edges);
    const QRegularExpressionMatch match = shape.match(bare);
    if (!match.hasMatch() || bare.contains(runOfFour))
        return false;
    const bool isAddress = match.hasCaptured(u"start"_s) ? lettersAndDigits(match.captured(u"name"_s)) >= 4
                                                         : lettersAndDigits(match.captured(u"path"_s)) >= 3;
    QHash<QChar, int> counts;
    int letters = 0;
    int commonest = 0;
    for (const QChar c : bare) {
        if (c.isLetter()) {
            ++letters;
            commonest = std::max(commonest, ++counts[c.toLower()]);
        }
    }
    return isAddress && commonest * 3 <= letters + 2;
}

// A line read well as a whole keeps every word: a link or a name the engine
// doubts among plain words is text. So does a line with a word read surely,
// or with a web address however doubted, but for scraps. Textures and
// pictures taken for text give lines of doubtful scraps with no word read
// surely among them: such a line keeps only words read surely enough,
// unless it is a label of a word or two (a file name the engine doubts).
TextRecognizer::KeptLine TextRecognizer::keptWords(const std::vector<Word>& read)
{
    if (read.empty())
        return {};
    std::vector<Word> line = withAddressesJoined(read);
    float total = 0;
    std::vector<bool> isAddress;
    bool addressMended = false;
    for (Word& word : line) {
        total += word.confidence;
        isAddress.push_back(looksLikeAddress(word.text));
        if (!isAddress.back())
            continue;
        // Read in pieces, or with its scheme misread: the engine was unsure
        // of it, whatever its confidence.
        const QString asRead = word.text;
        word.text = LinkDetector::withSchemeMended(word.text);
        addressMended |= word.text != asRead || std::none_of(read.begin(), read.end(), [&asRead](const Word& piece) {
                             return piece.text == asRead;
                         });
    }
    const bool wellRead = total / float(line.size()) >= wellReadLineConfidence;
    const bool holdsAddress = std::find(isAddress.begin(), isAddress.end(), true) != isAddress.end();
    int addresses = 0;
    float addressConfidence = 100;
    for (size_t i = 0; i < line.size(); ++i) {
        addresses += isAddress[i];
        // The start of an address not read as one ("https:" "//host…",
        // "https:www.host…") is in doubt however sure the engine was.
        if (isAddress[i])
            addressConfidence = std::min(addressConfidence, line[i].confidence);
        else if (holdsAddressStart(line[i].text))
            addressConfidence = 0;
    }
    const auto sureWords = std::count_if(line.begin(), line.end(), [](const Word& word) {
        return word.confidence >= sureWordConfidence && lettersAndDigits(word.text) >= sureWordLetters;
    });
    const bool holdsCall =
        std::any_of(line.begin(), line.end(), [](const Word& word) { return looksLikeCall(word.text); });
    const bool anchored = sureWords > 0 || holdsAddress || holdsCall;
    const bool isLabel = line.size() <= size_t(labelWords);
    QStringList kept;
    for (size_t i = 0; i < line.size(); ++i) {
        const Word& word = line[i];
        const bool fairlySure = word.confidence >= minimumWordConfidence;
        const bool sureAlone = word.confidence >= keptAloneConfidence && lettersAndDigits(word.text) >= sureWordLetters;
        if (wellRead || sureAlone || isAddress[i] ||
            ((anchored || isLabel) && (fairlySure || looksLikeWord(word.text))))
            kept.append(word.text);
    }
    // A word or two read fairly well may be a lucky reading of a texture; a
    // label read surely throughout (a day of a calendar, a cell's number) is
    // not, nor is an address.
    const bool sureLabel = isLabel && std::all_of(line.begin(), line.end(), [](const Word& word) {
                               return word.confidence >= sureWordConfidence;
                           });
    const Certainty certainty = sureWords >= 2 || holdsAddress                    ? Certainty::certain
                                : anchored || sureLabel || (wellRead && !isLabel) ? Certainty::sure
                                                                                  : Certainty::doubtful;
    return {kept.join(u' '), certainty, addresses, addressConfidence, addressMended};
}

bool TextRecognizer::holdsAddressStart(const QString& word)
{
    static const QRegularExpression start(u"https?:|:/|www\\."_s, QRegularExpression::CaseInsensitiveOption);
    return word.contains(start);
}

TextRecognizer::TextRecognizer() = default;
TextRecognizer::~TextRecognizer() = default;

bool TextRecognizer::ensureEngine()
{
    if (m_engine || !m_engineError.isEmpty())
        return bool(m_engine);
    auto engine = std::make_unique<tesseract::TessBaseAPI>();
    silenceDiagnostics(*engine);
    if (engine->Init(nullptr, "eng", tesseract::OEM_LSTM_ONLY) != 0) {
        m_engineError = u"The English text model of Tesseract could not be loaded"_s;
        return false;
    }
    // Pictures arrive with the text already dark on white; trying each line
    // inverted as well would only cost time.
    engine->SetVariable("tessedit_do_invert", "0");
    m_engine = std::move(engine);
    return true;
}

void TextRecognizer::setPage(const QImage& ink)
{
    m_engine->SetImage(ink.constBits(), ink.width(), ink.height(), 1, int(ink.bytesPerLine()));
    m_engine->SetSourceResolution(screenResolution);
}

TextRecognizer::Layout TextRecognizer::layOut(const QImage& ink)
{
    if (!ensureEngine())
        return {std::nullopt, m_engineError};
    // Text wherever it is, in no particular order: the order is the reading
    // order's to find, and the layout of columns and blocks would drop a
    // table's small text with the grid around it, and on a fine pattern
    // spend seconds looking for pictures.
    m_engine->SetPageSegMode(tesseract::PSM_SPARSE_TEXT);
    setPage(ink);
    const std::unique_ptr<tesseract::PageIterator> page(m_engine->AnalyseLayout());
    // An empty page has no iterator.
    Layout layout{page ? linesOf(*page) : std::vector<QRect>(), {}};
    // The page is not read from here: its lines are, each on its own.
    m_engine->Clear();
    return layout;
}

TextRecognizer::Result TextRecognizer::readLine(const QImage& ink, const Limits& limits)
{
    if (!ensureEngine())
        return {std::nullopt, Result::Failure::engine, m_engineError};
    // The line as the page's layout found it: a line that runs across
    // columns stays one line, as it does when the page is read whole.
    m_engine->SetPageSegMode(tesseract::PSM_SINGLE_LINE);
    setPage(ink);
    return read(ink, limits);
}

TextRecognizer::Result TextRecognizer::read(const QImage& ink, const Limits& limits)
{
    tesseract::ETEXT_DESC monitor;
    Watch watch{limits};
    monitor.cancel = &isToEnd;
    monitor.cancel_this = &watch;
    // The engine checks its deadline between words as well.
    if (limits.budget.deadline != TimeBudget::Clock::time_point::max())
        monitor.end_time = limits.budget.deadline;
    const bool recognised = m_engine->Recognize(&monitor) == 0;
    Result result;
    // A stopped recognition may have read part of the page: none of it counts.
    if (limits.stop.stop_requested()) {
        result = {std::nullopt, Result::Failure::stopped, {}};
    } else if (recognised || monitor.deadline_exceeded() || watch.isProcessorTimeSpent) {
        addLinesOf(*m_engine, ink, result);
        result.reachedDeadline = monitor.deadline_exceeded() || watch.isProcessorTimeSpent;
    } else {
        result = {std::nullopt, Result::Failure::recognition, u"Tesseract could not analyse the image"_s};
    }
    // The page and its results stay in the engine until the next image; a
    // long batch should not hold on to the last one.
    m_engine->Clear();
    return result;
}

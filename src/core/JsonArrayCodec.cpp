#include "core/JsonArrayCodec.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {
void appendEscaped(QByteArray& out, const QString& text)
{
    static constexpr char hex[] = "0123456789abcdef";
    const QByteArray utf8 = text.toUtf8();
    out.append('"');
    for (const char c : utf8) {
        switch (c) {
        case '"':
            out.append("\\\"");
            break;
        case '\\':
            out.append("\\\\");
            break;
        case '/':
            out.append("\\/");
            break;
        case '\b':
            out.append("\\b");
            break;
        case '\f':
            out.append("\\f");
            break;
        case '\n':
            out.append("\\n");
            break;
        case '\r':
            out.append("\\r");
            break;
        case '\t':
            out.append("\\t");
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                out.append("\\u00");
                out.append(hex[(c >> 4) & 0xF]);
                out.append(hex[c & 0xF]);
            } else {
                out.append(c);
            }
        }
    }
    out.append('"');
}

// A cursor over one JSON text that accepts exactly the array grammar.
class Parser
{
public:
    explicit Parser(QByteArrayView json)
        : m_at(json.data())
        , m_end(json.data() + json.size())
    {}

    // Reads "[" and reports whether the array is empty ("[]"), consuming "]".
    bool openArray(bool& isEmpty)
    {
        skipBlanks();
        if (!take('['))
            return false;
        skipBlanks();
        isEmpty = take(']');
        return true;
    }
    // After an element: "," continues (true), "]" ends (done set), else fails.
    bool nextElement(bool& done)
    {
        skipBlanks();
        if (take(',')) {
            skipBlanks();
            return true;
        }
        done = take(']');
        return done;
    }
    bool atEndAfterBlanks()
    {
        skipBlanks();
        return m_at == m_end;
    }

    std::optional<double> number()
    {
        const char* start = m_at;
        if (!scanNumberGrammar())
            return std::nullopt;
        double value = 0;
        const auto [ptr, ec] = std::from_chars(start, m_at, value);
        // Out-of-range literals ("1e999") have no double; reject rather than guess.
        if (ec != std::errc() || ptr != m_at)
            return std::nullopt;
        return value;
    }

    std::optional<QString> string()
    {
        if (!take('"'))
            return std::nullopt;
        const char* runStart = m_at;
        // The common case has no escapes: one conversion of the whole run.
        while (m_at < m_end && *m_at != '"' && *m_at != '\\' && static_cast<unsigned char>(*m_at) >= 0x20)
            ++m_at;
        if (m_at < m_end && *m_at == '"') {
            QString text = QString::fromUtf8(runStart, m_at - runStart);
            ++m_at;
            return text;
        }
        QByteArray utf8(runStart, m_at - runStart);
        return escapedRest(utf8);
    }

private:
    bool take(char c)
    {
        if (m_at < m_end && *m_at == c) {
            ++m_at;
            return true;
        }
        return false;
    }
    void skipBlanks()
    {
        while (m_at < m_end && (*m_at == ' ' || *m_at == '\t' || *m_at == '\n' || *m_at == '\r'))
            ++m_at;
    }
    bool digits()
    {
        const char* start = m_at;
        while (m_at < m_end && *m_at >= '0' && *m_at <= '9')
            ++m_at;
        return m_at != start;
    }
    // -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
    bool scanNumberGrammar()
    {
        take('-');
        if (take('0')) {
            if (m_at < m_end && *m_at >= '0' && *m_at <= '9')
                return false;
        } else if (!digits()) {
            return false;
        }
        if (take('.') && !digits())
            return false;
        if (take('e') || take('E')) {
            if (!take('+'))
                take('-');
            if (!digits())
                return false;
        }
        return true;
    }
    std::optional<char32_t> hex4()
    {
        if (m_end - m_at < 4)
            return std::nullopt;
        char32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = *m_at++;
            value <<= 4;
            if (c >= '0' && c <= '9')
                value |= char32_t(c - '0');
            else if (c >= 'a' && c <= 'f')
                value |= char32_t(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                value |= char32_t(c - 'A' + 10);
            else
                return std::nullopt;
        }
        return value;
    }
    // \uXXXX, joining a surrogate pair; a lone surrogate is not a character.
    std::optional<char32_t> unicodeEscape()
    {
        const auto first = hex4();
        if (!first || (*first >= 0xDC00 && *first <= 0xDFFF))
            return std::nullopt;
        if (*first < 0xD800 || *first > 0xDBFF)
            return first;
        if (!take('\\') || !take('u'))
            return std::nullopt;
        const auto second = hex4();
        if (!second || *second < 0xDC00 || *second > 0xDFFF)
            return std::nullopt;
        return 0x10000 + ((*first - 0xD800) << 10) + (*second - 0xDC00);
    }
    std::optional<QString> escapedRest(QByteArray& utf8)
    {
        while (m_at < m_end) {
            const char c = *m_at++;
            if (c == '"')
                return QString::fromUtf8(utf8);
            if (static_cast<unsigned char>(c) < 0x20)
                return std::nullopt;
            if (c != '\\') {
                utf8.append(c);
                continue;
            }
            if (m_at == m_end)
                return std::nullopt;
            const char kind = *m_at++;
            switch (kind) {
            case '"':
            case '\\':
            case '/':
                utf8.append(kind);
                break;
            case 'b':
                utf8.append('\b');
                break;
            case 'f':
                utf8.append('\f');
                break;
            case 'n':
                utf8.append('\n');
                break;
            case 'r':
                utf8.append('\r');
                break;
            case 't':
                utf8.append('\t');
                break;
            case 'u': {
                const auto code = unicodeEscape();
                if (!code)
                    return std::nullopt;
                utf8.append(QString::fromUcs4(&*code, 1).toUtf8());
                break;
            }
            default:
                return std::nullopt;
            }
        }
        return std::nullopt;
    }

    const char* m_at;
    const char* m_end;
};

// `expectedSize`, when known, allocates the list once at its size: lists read
// from the store live as long as their rows.
template <typename List, typename ReadElement>
std::optional<List> decodeArray(QByteArrayView json, ReadElement readElement, qsizetype expectedSize = 0)
{
    Parser parser(json);
    List result;
    bool isEmpty = false;
    if (!parser.openArray(isEmpty))
        return std::nullopt;
    if (!isEmpty)
        result.reserve(expectedSize);
    for (bool done = isEmpty; !done;) {
        auto element = readElement(parser);
        if (!element)
            return std::nullopt;
        result.append(std::move(*element));
        if (!parser.nextElement(done))
            return std::nullopt;
    }
    if (!parser.atEndAfterBlanks())
        return std::nullopt;
    return result;
}
} // namespace

QByteArray JsonArrayCodec::encodeStrings(const QStringList& strings)
{
    QByteArray out;
    out.append('[');
    for (qsizetype i = 0; i < strings.size(); ++i) {
        if (i > 0)
            out.append(',');
        appendEscaped(out, strings[i]);
    }
    out.append(']');
    return out;
}

std::optional<QByteArray> JsonArrayCodec::encodeNumbers(const QList<double>& numbers)
{
    QByteArray out;
    out.reserve(numbers.size() * 20 + 2);
    out.append('[');
    char buffer[32];
    for (qsizetype i = 0; i < numbers.size(); ++i) {
        if (!std::isfinite(numbers[i]))
            return std::nullopt;
        if (i > 0)
            out.append(',');
        // Shortest text that reads back as the same double.
        const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, numbers[i]);
        out.append(buffer, end - buffer);
    }
    out.append(']');
    return out;
}

std::optional<QStringList> JsonArrayCodec::decodeStrings(QByteArrayView json)
{
    return decodeArray<QStringList>(json, [](Parser& parser) { return parser.string(); });
}

std::optional<QList<double>> JsonArrayCodec::decodeNumbers(QByteArrayView json)
{
    // No number holds a comma: one element more than there are commas.
    const qsizetype elements = std::count(json.begin(), json.end(), ',') + 1;
    return decodeArray<QList<double>>(
        json, [](Parser& parser) { return parser.number(); }, elements);
}

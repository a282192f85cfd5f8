#include "library/TextFolder.h"

using namespace Qt::StringLiterals;

TextFolder::TextFolder(const QLocale& locale)
    : m_locale(locale)
    , m_localeName(locale.name())
{
    const QString upper = u"ABCDEFGHIJKLMNOPQRSTUVWXYZ"_s;
    m_asciiFoldsPlainly = m_locale.toLower(upper).toCaseFolded() == upper.toLower();
}

bool TextFolder::appendAsciiLower(QStringView text, std::string& out)
{
    const size_t before = out.size();
    out.resize(before + size_t(text.size()));
    char* target = out.data() + before;
    const char16_t* source = text.utf16();
    char16_t seen = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = source[i];
        seen |= c;
        target[i] = char(c + (char16_t(c - u'A') < 26 ? 32 : 0));
    }
    if (seen < 0x80)
        return true;
    out.resize(before);
    return false;
}

bool TextFolder::foldsToAsciiLower(QStringView text) const
{
    const char16_t* source = text.utf16();
    char16_t seen = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        seen |= source[i];
    return m_asciiFoldsPlainly && seen < 0x80;
}

void TextFolder::appendUtf8(const QString& text, std::string& out)
{
    const QByteArray utf8 = text.normalized(QString::NormalizationForm_C).toUtf8();
    out.append(utf8.constData(), size_t(utf8.size()));
}

void TextFolder::appendForContains(QStringView text, std::string& out) const
{
    if (m_asciiFoldsPlainly && appendAsciiLower(text, out))
        return;
    appendUtf8(m_locale.toLower(text.toString()).toCaseFolded(), out);
}

void TextFolder::appendForEquality(QStringView text, std::string& out) const
{
    if (appendAsciiLower(text, out))
        return;
    appendUtf8(text.toString().toCaseFolded(), out);
}

std::string TextFolder::forContains(QStringView text) const
{
    std::string folded;
    appendForContains(text, folded);
    return folded;
}

std::string TextFolder::forEquality(QStringView text) const
{
    std::string folded;
    appendForEquality(text, folded);
    return folded;
}

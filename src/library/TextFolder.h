#pragma once

#include <QLocale>
#include <QString>
#include <QStringView>

#include <string>

// Folds texts for case-insensitive substring tests on bytes: the folded
// UTF-8 of a needle occurs in the folded UTF-8 of a text exactly when the
// text contains the needle ignoring case. Two foldings:
// - for "contains", case is ignored the way the locale sees it (a Turkish
//   dotless ı is not an i);
// - for "equal", case is ignored the same way in every locale.
// Folded text is valid UTF-8, so it never holds the bytes 0xFE and 0xFF:
// callers use those as separators.
class TextFolder
{
public:
    explicit TextFolder(const QLocale& locale = QLocale());

    void appendForContains(QStringView text, std::string& out) const;
    void appendForEquality(QStringView text, std::string& out) const;
    std::string forContains(QStringView text) const;
    std::string forEquality(QStringView text) const;

    const QString& localeName() const { return m_localeName; }

    // Whether `text` folds for "contains" to its own ASCII bytes with A-Z
    // made a-z, so a search can read the text itself instead of a folded
    // copy.
    bool foldsToAsciiLower(QStringView text) const;

private:
    // Plain ASCII folds byte by byte; returns false, leaving `out` as it
    // was, when the text holds anything else.
    static bool appendAsciiLower(QStringView text, std::string& out);
    static void appendUtf8(const QString& text, std::string& out);

    QLocale m_locale;
    QString m_localeName;
    // Whether the locale lower-cases ASCII letters to ASCII letters (not so
    // in Turkish, where I becomes ı).
    bool m_asciiFoldsPlainly;
};

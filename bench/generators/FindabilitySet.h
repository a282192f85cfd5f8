#pragma once

#include "generators/ScreenTypes.h"

#include <QHash>
#include <QList>
#include <QString>

// Screens a user will look for again, among everyday screens of the same
// kinds, and the queries a user types to find them, worded the way people
// remember things: a word or a phrase from the screen, the start of a word,
// a web address, a number, the wrong letter case, a misspelt name or
// technical word, or other words for what the screen is about. The queries
// were written from the screens' content, before any recognition ran on
// them. Deterministic for a seed.
struct FindabilitySet
{
    enum class QueryKind { word, phrase, prefix, domain, number, mixedCase, misspelt, paraphrase, count };

    struct Query
    {
        QString text;
        QueryKind kind = QueryKind::word;
        int target = -1; // index into screens
        // Paraphrases alternate, in the order of the set, between a half a
        // search may be tuned on (even positions) and a half kept apart to
        // judge it (odd positions).
        bool heldOut = false;
    };

    // A file in which nothing can be read, named and tagged the way people
    // name things: words that mean nearly what some queries ask for, never
    // the queries' own words, so that only meaning could make it an answer.
    struct TextlessFile
    {
        enum class Kind { recording, wallpaper, unreadable };
        Kind kind = Kind::recording;
        QString name; // with its extension
        QStringList customTags;
    };

    QList<ScreenTypes::Screen> screens;
    QList<Query> queries;
    // Besides the screens: screen recordings, wallpapers and a picture cut
    // short, none of which answers any query.
    QList<TextlessFile> textless;
    // Custom tags a user gave some everyday screens (by index into screens):
    // words near a query's in meaning, never its own, so that they must
    // not outrank the screen that holds the query's words.
    QHash<int, QStringList> customTags;

    // The sought screens and `distractorsPerKind` everyday screens of every
    // kind, shuffled.
    static FindabilitySet make(quint32 seed, int distractorsPerKind = 9);

    static QString kindName(QueryKind kind);
};

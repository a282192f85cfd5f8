#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Recognised texts of a screenshot library for retrieval checks: a handful of
// screenshots a user will look for again, hidden among everyday ones (code,
// chats, news, shops, settings, ...), and the queries a user would type to
// find them. Deterministic for a seed.
struct ScreenshotCorpus
{
    struct Query
    {
        QString text;
        int target = -1; // index into texts
    };

    QStringList texts;
    QList<Query> queries;

    static ScreenshotCorpus generate(quint32 seed, int size = 200);
};

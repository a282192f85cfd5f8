#pragma once

#include <QString>
#include <QStringList>

#include <random>

// Deterministic filler for benchmark data: the same seed gives the same words,
// sentences and paths on every run.
class TextGenerator
{
public:
    explicit TextGenerator(quint32 seed);

    QString word();
    QString sentence(int words);
    // About `bytes` of sentence text.
    QString paragraph(int bytes);
    // An absolute path of `depth` folders below `root` ending in a screenshot name.
    QString screenshotPath(const QString& root, int depth);

private:
    std::mt19937 m_random;
};

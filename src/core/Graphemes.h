#pragma once

#include <QString>

// Lengths and cuts in user-perceived characters (extended grapheme clusters),
// so that an emoji with modifiers or a letter with combining marks counts once
// and is never split.
qsizetype graphemeLength(const QString& text);
QString graphemePrefix(const QString& text, qsizetype count);

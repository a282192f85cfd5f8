#pragma once

#include <QString>
#include <QUuid>

#include <optional>

// Identifiers are stored and compared as upper-case text without braces;
// QUuid prints lower-case, so every conversion goes through these two.
QString uuidText(const QUuid& id);

// Accepts the 36-character form in either case; anything else (braces,
// blanks, the nil UUID's shorter forms) is not an identifier.
std::optional<QUuid> parseUuid(QStringView text);

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QStringList>

#include <optional>

// The store's JSON columns: flat arrays of strings or of numbers, written
// compact with every "/" escaped as "\/" (the form the database file has always
// held) and read back strictly. Hand-written because a library load decodes
// some ten million numbers and a general JSON document costs several times more.
namespace JsonArrayCodec {
QByteArray encodeStrings(const QStringList& strings);
// Absent when a value is not finite: JSON has no form for it.
std::optional<QByteArray> encodeNumbers(const QList<double>& numbers);

// Absent unless the whole text is one JSON array of only strings (or only
// numbers); blanks around tokens are allowed.
std::optional<QStringList> decodeStrings(QByteArrayView json);
std::optional<QList<double>> decodeNumbers(QByteArrayView json);
} // namespace JsonArrayCodec

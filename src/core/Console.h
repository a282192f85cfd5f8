#pragma once

#include <QString>

#include <functional>

// The program's console output: one UTF-8 line at a time on standard output,
// whole lines even when several threads print at once.
namespace Console {
void printLine(const QString& line);

// Redirects every line to `sink` instead of standard output (tests capture
// lines this way); an empty sink restores standard output.
using Sink = std::function<void(const QString&)>;
void setSink(Sink sink);
} // namespace Console

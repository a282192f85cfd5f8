#pragma once

#include <QString>

#include <atomic>
#include <optional>

// Spelling correction of a short English text, such as a search query.
class SpellChecker
{
public:
    virtual ~SpellChecker() = default;

    // The text with its misspelt words replaced, or nothing when there is
    // nothing to correct. May take tens of milliseconds per misspelt word:
    // never call it on the GUI thread. Gives up (nothing) once `cancelled`
    // turns true. Callable from any thread.
    virtual std::optional<QString> correction(const QString& text, const std::atomic<bool>& cancelled) = 0;
};

// Corrects nothing: for tests, and where no dictionary is installed.
class NullSpellChecker : public SpellChecker
{
public:
    std::optional<QString> correction(const QString&, const std::atomic<bool>&) override { return std::nullopt; }
};

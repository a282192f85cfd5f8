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
    // Lets go of what it keeps to answer the next keystroke sooner; the next
    // question works it out again. Callable from any thread.
    virtual void dropCaches() {}
};

// A dictionary asked one word at a time, for a corrector that weighs other
// candidates as well. Callable from any thread.
class WordDictionary
{
public:
    virtual ~WordDictionary() = default;

    // Whether the dictionary takes the word as spelt right; a word it cannot
    // check (no dictionary, another alphabet) counts as right.
    virtual bool accepts(const QString& word) = 0;
    // Its first suggestion for a word it rejects; nothing when it has none.
    // May take tens of milliseconds.
    virtual std::optional<QString> suggestion(const QString& word) = 0;
    // As SpellChecker::dropCaches().
    virtual void dropCaches() {}
};

// Corrects nothing: for tests, and where no dictionary is installed.
class NullSpellChecker : public SpellChecker
{
public:
    std::optional<QString> correction(const QString&, const std::atomic<bool>&) override { return std::nullopt; }
};

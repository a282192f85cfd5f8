#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <memory>

struct psl_ctx_st;

// Finds the links written in a text, in order of occurrence, duplicates kept:
// - http, https and ftp URLs as written;
// - "www." hosts and bare host names ("example.com", "example.com/path",
//   "example.com:8080"), given the scheme "http://"; a bare host counts
//   only when it does not look like a file name ("readme.md", "notes.zip");
// - in all of them, a host named under a top-level domain of the public
//   suffix list (reserved names such as "calendar.example" are no links), or
//   with a scheme also a dotted IPv4 address, an address in brackets or
//   "localhost";
// - what text recognition makes of hosts read back: a first label misread
//   from "www" ("wwi.", "ww.", "vww.") is read as "www", and a host broken
//   by a blank after a dot is joined when a public suffix in lower case
//   follows ("stackoverflow. com/questions"), or after a scheme wherever
//   lower-case labels ending in a top-level domain follow
//   ("https://calendar. example. org/event"), or where the word after the
//   blank completes a top-level domain cut short ("example.co m/cart"); the
//   tail of a host broken at a blank after a lower-case label
//   ("calendar. example.org"), which would name another site, is no link;
//   a scheme misread ("hittps://", "hitps:/") is read as the "https://" it
//   was, and may follow a sign glued to it ("/https://", a padlock);
// - e-mail addresses, as "mailto:" URLs.
// Trailing punctuation and closing brackets without an opening one inside the
// link are left out ("(see example.com/a)." gives "http://example.com/a").
// Immutable after construction; safe to use from any thread.
class LinkDetector
{
public:
    // The detector of this process, built on first use. Null, with `error`
    // set, when no public suffix list can be loaded.
    static std::shared_ptr<const LinkDetector> shared(QString* error = nullptr);

private:
    struct PslFree
    {
        void operator()(psl_ctx_st* context) const;
    };
    struct Key
    {
        explicit Key() = default;
    };

public:
    using PslContext = std::unique_ptr<psl_ctx_st, PslFree>;
    // Only shared() makes detectors (Key is private); public for make_shared.
    LinkDetector(Key, PslContext context);
    ~LinkDetector();
    LinkDetector(const LinkDetector&) = delete;
    LinkDetector& operator=(const LinkDetector&) = delete;

    QList<QUrl> detect(const QString& text) const;

    // `word` with a scheme that text recognition misread at its start read
    // as written: "hittps://", "htps:i/" or "Nhitps://" (the padlock of an
    // address bar taken in) as "https://", when a host follows; the signs
    // before it ("(", a quote) stay. Only "http" and "https" are mended:
    // other schemes (tcp://, smtp://, rtmp://, help:/...) and links written
    // defanged on purpose ("hxxps://") stay as they are.
    static QString withSchemeMended(const QString& word);

    // Whether `label` (any case) is a top-level domain of the public suffix list.
    bool isTopLevelDomain(QStringView label) const;
    // Whether `name` (any case, "com" or "co.uk") is a public suffix under
    // which names are registered; reserved names such as "example" are not.
    bool isPublicSuffix(QStringView name) const;

private:
    class Scanner;

    PslContext m_psl;
};

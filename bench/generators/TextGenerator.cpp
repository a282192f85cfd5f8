#include "generators/TextGenerator.h"

#include <array>

namespace {
constexpr std::array kWords{"invoice",  "payment", "terminal",  "error",   "build",  "meeting", "design", "screenshot",
                            "receipt",  "order",   "shipping",  "account", "report", "chart",   "budget", "release",
                            "commit",   "branch",  "deploy",    "server",  "window", "folder",  "search", "settings",
                            "profile",  "message", "calendar",  "ticket",  "review", "draft",   "photo",  "network",
                            "password", "login",   "dashboard", "export",  "import", "summary", "total",  "status"};
}

TextGenerator::TextGenerator(quint32 seed)
    : m_random(seed)
{}

QString TextGenerator::word()
{
    std::uniform_int_distribution<size_t> pick(0, kWords.size() - 1);
    return QString::fromLatin1(kWords[pick(m_random)]);
}

QString TextGenerator::sentence(int words)
{
    QStringList parts;
    for (int i = 0; i < words; ++i)
        parts.append(word());
    return parts.join(u' ');
}

QString TextGenerator::paragraph(int bytes)
{
    QString text;
    while (text.size() < bytes) {
        if (!text.isEmpty())
            text.append(u' ');
        text.append(sentence(8) + u'.');
    }
    return text;
}

QString TextGenerator::screenshotPath(const QString& root, int depth)
{
    QString path = root;
    for (int i = 0; i < depth; ++i)
        path += u'/' + word();
    std::uniform_int_distribution<int> number(0, 999999);
    return path + QStringLiteral("/Screenshot %1.png").arg(number(m_random));
}

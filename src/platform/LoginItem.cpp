#include "platform/LoginItem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
// Exec= escapes twice. First an argument with reserved characters goes in
// double quotes with \ " ` $ escaped...
QString quotedArgument(const QString& argument)
{
    static const QString reserved = u" \t\n\"'\\><~|&;$*?#()`"_s;
    const bool needsQuotes =
        std::any_of(argument.begin(), argument.end(), [](QChar c) { return reserved.contains(c); });
    if (!needsQuotes)
        return argument;
    QString quoted = u"\""_s;
    for (const QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    return quoted + u'"';
}

// ...then the value escapes \ again and writes line breaks and tabs as escapes
// (a raw line break would end the entry).
QString escapedValue(const QString& text)
{
    QString value;
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\\':
            value += u"\\\\"_s;
            break;
        case u'\n':
            value += u"\\n"_s;
            break;
        case u'\t':
            value += u"\\t"_s;
            break;
        case u'\r':
            value += u"\\r"_s;
            break;
        default:
            value += c;
        }
    }
    return value;
}
} // namespace

LoginItem::LoginItem(QString executable)
    : m_executable(executable.isEmpty() ? QCoreApplication::applicationFilePath() : std::move(executable))
{}

bool LoginItem::setRegistered(bool registered, QString& error)
{
    return registered ? writeEntry(error) : removeEntry(error);
}

bool LoginItem::isRegistered() const
{
    return QFileInfo::exists(desktopFilePath());
}

QString LoginItem::desktopFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           u"/autostart/org.brindlework.Glimmerdeck.desktop"_s;
}

QByteArray LoginItem::desktopEntry(const QString& executable)
{
    const QString text = u"[Desktop Entry]\n"
                         u"Type=Application\n"
                         u"Name=Glimmerdeck\n"
                         u"Exec="_s +
                         execArgument(executable) +
                         u"\n"
                         u"Terminal=false\n"
                         u"X-GNOME-Autostart-enabled=true\n"_s;
    return text.toUtf8();
}

QString LoginItem::execArgument(const QString& executable)
{
    // A literal % is always written %% so it is not taken as a field code.
    QString argument = executable;
    argument.replace(u'%', u"%%"_s);
    return escapedValue(quotedArgument(argument));
}

bool LoginItem::writeEntry(QString& error) const
{
    const QString path = desktopFilePath();
    const QString folder = QFileInfo(path).path();
    if (!QDir().mkpath(folder)) {
        error = u"Could not create the folder "_s + folder;
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(desktopEntry(m_executable)) < 0 || !file.commit()) {
        error = u"Could not write "_s + path + u": "_s + file.errorString();
        return false;
    }
    return true;
}

bool LoginItem::removeEntry(QString& error) const
{
    QFile file(desktopFilePath());
    if (!file.exists() || file.remove())
        return true;
    error = u"Could not remove "_s + file.fileName() + u": "_s + file.errorString();
    return false;
}

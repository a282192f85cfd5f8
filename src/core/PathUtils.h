#pragma once

#include <QString>

// True when `path` is `folder` itself or lies somewhere below it. The test is
// exact and separator-aware: "/a/Desktop2/x" is not inside "/a/Desktop", and
// case matters as it does on the file system. Trailing slashes on `folder`
// are ignored.
bool isInside(QStringView path, QStringView folder);

// `folder` without the separators it ends in; the root stays "/".
QStringView withoutTrailingSlashes(QStringView folder);

// The extension of the path's last component without the dot, as written
// (callers lower-case it when comparing). A leading dot does not start an
// extension: ".mov" and "notes" have none.
QString pathExtension(QStringView path);

// The last component of `path`: all of it when it holds no separator.
QStringView lastPathComponent(QStringView path);

// The folder `path` lies directly in: everything before its last separator,
// "/" for a name directly below the root (and for a path without one).
QStringView parentFolder(QStringView path);

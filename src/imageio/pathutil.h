#pragma once
// Path arithmetic shared by the windows: "/" is the separator everywhere.

#include <QString>

namespace pathutil {

// Every backslash turned into "/".
QString slashes(const QString &path);

// Everything before the last "/"; a path without "/" is returned whole.
QString beforeLastSlash(const QString &path);

// Everything after the last "/" (the whole path when there is none).
QString fileName(const QString &path);

// Joins folder and name with exactly one "/" between them.
QString join(const QString &folder, const QString &name);

// The user's Desktop folder, with a trailing "/".
QString desktopFolder();

} // namespace pathutil

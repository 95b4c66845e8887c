#pragma once
// Path arithmetic for the whole program: "/" is the separator everywhere.
// Every caller splits, joins and compares paths through here.

#include <QString>

namespace pathutil {

// Every backslash turned into "/".
QString slashes(const QString &path);

// Everything before the last "/"; a path without "/" is returned whole.
QString beforeLastSlash(const QString &path);

// Everything up to and including the last "/"; empty when there is none.
QString folderWithSlash(const QString &path);

// Everything after the last "/" (the whole path when there is none).
QString fileName(const QString &path);

// Joins folder and name with exactly one "/" between them.
QString join(const QString &folder, const QString &name);

// folder with one "/" at its end (an empty folder stays empty).
QString withTrailingSlash(const QString &folder);

// The absolute form of path with "." and ".." worked out (no links followed).
QString absoluteClean(const QString &path);

// True when both paths name one file: the same absolute, cleaned path, or
// two existing paths that resolve (links followed) to one file.
bool sameFile(const QString &a, const QString &b);

// The user's Desktop folder, with a trailing "/".
QString desktopFolder();

// path with the user's home folder at its start written as "~", as the
// user reads it in a message ("~/prints/a.jpg"); other paths unchanged.
QString homeAsTilde(const QString &path);

} // namespace pathutil

#pragma once

#include <QString>

// Local paths are joined with "/" and a doubled "/" at the joint is collapsed.
// A "\" inside a Linux file name is an ordinary character.
QString JoinLocalPath(const QString &folder, const QString &name);

// Remote paths: the same rule, "/" separators.
QString JoinRemotePath(const QString &folder, const QString &name);

// Names read from a server are untrusted. Returns true when the name may become
// one element of a local path: not empty, not "." or "..", no "/" and no NUL.
[[nodiscard]] bool IsSafeRemoteName(const QString &name);

// A symbolic link standing at `path` is taken away, never the file it points
// to, so that what is written there next is a file of its own. False when a
// link is still there.
[[nodiscard]] bool RemoveLinkAt(const QString &path);

// A folder of the program's own at `path`: a link standing there is taken
// away (never what it points to) and a real folder made in its place. False
// when no real folder is there afterwards.
[[nodiscard]] bool RealFolderAt(const QString &path);

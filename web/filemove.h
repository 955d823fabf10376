#pragma once

#include <QString>

// Gives a file another name in the same folder, but never the name of a file
// that is there, even one that came a moment ago: the check and the rename
// are one step of the file system. False with `error` set otherwise.
bool renameWithoutReplacing(const QString &from, const QString &to, QString *error);

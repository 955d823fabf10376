#pragma once

#include <QString>

// How giving a file another name went.
enum class MoveResult {
    Moved,
    // The file has the new name, but the old name could not be removed:
    // both name the same file.
    MovedOldNameKept,
    NameTaken,
    Failed,
};

// Gives a file another name in the same folder, but never the name of a file
// that is there, even one that came a moment ago: the check and the rename
// are one step of the file system where it has such a rename, or else a
// second link (refused where the name is taken). Where it has neither (some
// FAT, network and FUSE folders), the name is checked first and then given.
// `error` says why, for MovedOldNameKept and Failed.
MoveResult renameWithoutReplacing(const QString &from, const QString &to, QString *error);

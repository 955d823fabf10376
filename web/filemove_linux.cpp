// Giving a saved file its name on Linux: renameat2 without replacing, then safer fallbacks.
#include "web/filemove.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString lastError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// The file system says it has no such call, rather than that the call failed.
bool isUnsupported(int error)
{
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == EPERM;
}

} // namespace

MoveResult renameWithoutReplacing(const QString &from, const QString &to, QString *error)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return MoveResult::Moved;
    if (errno == EEXIST)
        return MoveResult::NameTaken;
    if (!isUnsupported(errno)) {
        *error = lastError();
        return MoveResult::Failed;
    }
    if (::link(source.constData(), target.constData()) == 0) {
        if (::unlink(source.constData()) == 0)
            return MoveResult::Moved;
        *error = lastError();
        return MoveResult::MovedOldNameKept;
    }
    if (errno == EEXIST)
        return MoveResult::NameTaken;
    // Neither: a file that comes between the check and the rename is
    // replaced, a moment no other way closes here.
    struct stat taken;
    if (::lstat(target.constData(), &taken) == 0)
        return MoveResult::NameTaken;
    if (::rename(source.constData(), target.constData()) == 0)
        return MoveResult::Moved;
    *error = lastError();
    return MoveResult::Failed;
}

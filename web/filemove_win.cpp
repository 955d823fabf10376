#include "web/filemove.h"

#include <QDir>

#include <windows.h>

MoveResult renameWithoutReplacing(const QString &from, const QString &to, QString *error)
{
    // Without MOVEFILE_REPLACE_EXISTING a taken name is refused, on every
    // file system Windows writes to.
    if (MoveFileExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(from).utf16()),
                    reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(to).utf16()), 0))
        return MoveResult::Moved;
    const DWORD code = GetLastError();
    if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS)
        return MoveResult::NameTaken;
    wchar_t *text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                           | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    *error = text ? QString::fromWCharArray(text).trimmed() : QStringLiteral("The file could not be renamed.");
    LocalFree(text);
    return MoveResult::Failed;
}

#pragma once

#include "common/ratelimit.h"

#include <QString>
#include <QStringList>

// The decisions about a file a page sends, apart from any browser or disk.

// What a name from a web page becomes before it touches the download folder:
// one plain file name, never a path. Separators, control and invisible
// formatting characters and the characters Windows refuses become "_";
// leading dots and spaces go (no hidden files, no "..") and so do trailing
// ones (Windows drops them); Windows device names (CON, NUL, COM1, ...) get a
// "_" in front; an empty result is "download". A name too long for the file
// system (255 bytes of UTF-8) is shortened before its extension, leaving room
// for " (n)" and the temporary suffix.
QString safeFileName(const QString &suggested);

// The name a download is saved under: the safe name, or "name (1).ext",
// "name (2).ext", ... where that name or its temporary name is among `taken`
// (compared without case, as Windows and macOS do). Never longer than the
// file system allows.
QString savedFileName(const QString &suggested, const QStringList &taken);

// The name a download is written under until it is complete.
QString temporaryFileName(const QString &savedName);

// What the browser engine writes while it receives a file: the name it was
// given with this suffix, renamed to the given name once complete.
inline constexpr char kEngineSuffix[] = ".download";

// The tooltip's line for a download that is running:
// "Saving notes.zip: 45 % of 12 MB", or "Saving notes.zip: 3.4 MB so far"
// while the total is unknown (totalBytes <= 0).
QString progressLine(const QString &name, qint64 receivedBytes, qint64 totalBytes);

// "12 MB", "3.4 MB", "512 bytes": sizes as the owner reads them.
QString readableSize(qint64 bytes);

// How many downloads a page gets saved: at most `count` within `windowMs`;
// the rest are refused, and the owner is told once for each burst of refusals
// (the first refusal after a download was let through, or the first at all).
class DownloadPace {
public:
    enum Verdict { Save, Refuse, RefuseAndTell };

    DownloadPace(qint64 windowMs, int count,
                 RateLimit::Clock clock = RateLimit::monotonicClock())
        : m_limit(windowMs, count, std::move(clock))
    {
    }

    Verdict take()
    {
        if (m_limit.take()) {
            m_told = false;
            return Save;
        }
        if (m_told)
            return Refuse;
        m_told = true;
        return RefuseAndTell;
    }

private:
    RateLimit m_limit;
    bool m_told = false;
};

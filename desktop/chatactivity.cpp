#include "desktop/chatactivity.h"

#include <QRegularExpression>

namespace {

// The page's own count, "(3) Chat"; -1 without one.
int countInTitle(const QString &title)
{
    static const QRegularExpression counted(QStringLiteral("^\\((\\d{1,6})\\)\\s"));
    const QRegularExpressionMatch match = counted.match(title);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

} // namespace

void ChatActivity::pageLoading()
{
    m_loading = true;
    m_pageCounts = false;
}

void ChatActivity::pageLoaded()
{
    m_loading = false;
}

ChatActivity::Title ChatActivity::titleChanged(const QString &title, bool ownerLooking)
{
    if (m_loading) {
        m_ownTitle = title;
        return Title::PageOwn;
    }
    const int count = countInTitle(title);
    if (count >= 0) {
        // The page counts for itself: its count stands, and only a higher
        // one is news (a counted title blinks too).
        m_pageCounts = true;
        if (ownerLooking)
            return Title::BlinkBack;
        const bool isNew = count > m_unread;
        m_unread = count;
        return isNew ? Title::NewMessage : Title::BlinkBack;
    }
    if (title == m_ownTitle || title == m_lastMessage)
        return Title::BlinkBack;
    m_lastMessage = title;
    if (!ownerLooking)
        ++m_unread;
    return Title::NewMessage;
}

void ChatActivity::notificationArrived(bool ownerLooking)
{
    // A page that counts in its title counts this message there as well.
    if (!ownerLooking && !m_pageCounts)
        ++m_unread;
}

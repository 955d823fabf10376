#pragma once

#include <QString>

// What the chat page's activity means to the owner: which changes of its title
// are new messages and how many messages wait unread. Web chats announce a
// message by changing the page's title: to the message itself, often blinking
// between it and the page's own title, or to the page's own count of unread
// messages in the form "(3) Chat".
class ChatActivity {
public:
    enum class Title {
        PageOwn, // the title a freshly loaded page starts with
        BlinkBack, // back to the page's own title, or the same message again
        NewMessage,
    };

    // A fresh page (first shown, reloaded, renderer replaced): until it has
    // loaded, its titles are its own and announce nothing.
    void pageLoading();
    void pageLoaded();

    // ownerLooking: the window is shown and active, so nothing is unread.
    Title titleChanged(const QString &title, bool ownerLooking);
    void notificationArrived(bool ownerLooking);
    void ownerLooked() { m_unread = 0; }

    int unreadCount() const { return m_unread; }

private:
    bool m_loading = true;
    bool m_pageCounts = false;
    QString m_ownTitle;
    QString m_lastMessage;
    int m_unread = 0;
};

#pragma once

#include "desktop/chatactivity.h"
#include "desktop/traymessagepacer.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QWebEnginePage;
class QWidget;

// Keeps the chat's messages from going unseen while the owner is away from
// the window: counts what arrives while the window is hidden or inactive,
// shows a hidden chat's new messages beside the tray icon at a readable pace,
// and marks the window as wanting attention. It wakes only for the chat's own
// events: its one timer runs only while a tray message is held back.
class ChatAttention : public QObject {
    Q_OBJECT
public:
    // A hidden chat's new messages go beside the tray icon at most this often.
    static constexpr int kTrayMessageGapMs = 10000;

    // The tray messages' pace: at most one every trayMessageGapMs.
    ChatAttention(QWidget *window, int trayMessageGapMs, QObject *parent = nullptr);

    // The page webChat shows now; a fresh page starts with its own title.
    void watch(QWebEnginePage *page);

public slots:
    void pageLoading();
    void pageLoaded();
    void titleChanged(const QString &title);
    // Web notifications always go out as tray messages, hidden window or not.
    void notificationArrived(const QString &title, const QString &text);
    // The owner brought the window back to read the chat: what was unread is
    // read, whether or not the window manager gives the window the focus.
    void ownerLooked();

signals:
    void unreadChanged(int unread);
    void trayMessage(const QString &title, const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool isOwnerLooking() const;
    void setUnread(int unread);
    void showHeldMessage();

    QWidget *m_window;
    ChatActivity m_activity;
    TrayMessagePacer m_pacer;
    QElapsedTimer m_clock;
    QTimer m_heldMessage;
    int m_unread = 0;
};

#include "desktop/chatattention.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QWebEnginePage>
#include <QWidget>
#include <QWindow>

Q_LOGGING_CATEGORY(lcAttention, "talvorin.attention", QtWarningMsg)

ChatAttention::ChatAttention(QWidget *window, int trayMessageGapMs, QObject *parent)
    : QObject(parent), m_window(window), m_pacer(trayMessageGapMs)
{
    m_clock.start();
    m_heldMessage.setSingleShot(true);
    connect(&m_heldMessage, &QTimer::timeout, this, &ChatAttention::showHeldMessage);
    m_window->installEventFilter(this);
}

void ChatAttention::watch(QWebEnginePage *page)
{
    pageLoading();
    connect(page, &QWebEnginePage::loadStarted, this, &ChatAttention::pageLoading);
    connect(page, &QWebEnginePage::loadFinished, this, &ChatAttention::pageLoaded);
    connect(page, &QWebEnginePage::titleChanged, this, &ChatAttention::titleChanged);
}

void ChatAttention::pageLoading()
{
    m_activity.pageLoading();
}

void ChatAttention::pageLoaded()
{
    m_activity.pageLoaded();
}

void ChatAttention::titleChanged(const QString &title)
{
    const ChatActivity::Title meaning = m_activity.titleChanged(title, isOwnerLooking());
    qCDebug(lcAttention) << "title" << title << int(meaning);
    setUnread(m_activity.unreadCount());
    if (meaning != ChatActivity::Title::NewMessage || m_window->isVisible() || title.isEmpty())
        return;
    if (m_pacer.offer(title, m_clock.elapsed()))
        emit trayMessage(m_window->windowTitle(), title);
    else if (!m_heldMessage.isActive())
        m_heldMessage.start(int(m_pacer.heldDueIn(m_clock.elapsed())));
}

void ChatAttention::notificationArrived(const QString &title, const QString &text)
{
    m_activity.notificationArrived(isOwnerLooking());
    setUnread(m_activity.unreadCount());
    m_pacer.shown(m_clock.elapsed());
    emit trayMessage(title, text);
}

void ChatAttention::showHeldMessage()
{
    const QString title = m_pacer.takeHeld(m_clock.elapsed());
    // Back on screen meanwhile: the owner reads the chat itself.
    if (!m_window->isVisible())
        emit trayMessage(m_window->windowTitle(), title);
}

// A window hidden and shown again quickly keeps the input focus for Qt
// without being made the active window again, though it is in front of the
// owner: the focus counts as well.
bool ChatAttention::isOwnerLooking() const
{
    return m_window->isVisible()
            && (m_window->isActiveWindow()
                || QGuiApplication::focusWindow() == m_window->windowHandle());
}

void ChatAttention::setUnread(int unread)
{
    if (unread == m_unread)
        return;
    // Only a rise asks for attention; the desktop ends it when the window
    // becomes active.
    if (unread > m_unread)
        QApplication::alert(m_window);
    m_unread = unread;
    emit unreadChanged(unread);
}

bool ChatAttention::eventFilter(QObject *watched, QEvent *event)
{
    const bool looks = event->type() == QEvent::WindowActivate
            || (event->type() == QEvent::Show && isOwnerLooking());
    if (watched == m_window && looks)
        ownerLooked();
    return QObject::eventFilter(watched, event);
}

void ChatAttention::ownerLooked()
{
    m_activity.ownerLooked();
    m_pacer.dropHeld();
    m_heldMessage.stop();
    setUnread(0);
}

#pragma once

#include "common/ratelimit.h"
#include "web/webview.h"

#include <QObject>

#include <functional>

class BadgePage;
class CallQuestionBar;
class QToolBar;
class BrowserProfile;
class DownloadSaver;
class LoginWindow;
class QWebEnginePage;
class QWebEngineView;
class QWidget;

// The chat as the owner gets it: the badge page loaded unseen in WebBrowser1
// with its first link clicked, the chat it opens shown in webChat, a
// logged-out badge's login window handed to the owner, and the recoveries
// (a chat that closes itself, a dying renderer, a hung badge on Reload).
class ChatScreen : public QObject {
    Q_OBJECT
public:
    // webChat goes into `container`; `window` is the one that message boxes
    // and login windows stand in front of. The badge link is read at each load.
    ChatScreen(QWidget *window, QWidget *container, std::function<QString()> badgeLink);
    ~ChatScreen() override;

    WebView *chatView() const { return webChat; }
    BadgePage *badgePage() const { return m_badgePage; }
    // The files the pages send; there once started.
    DownloadSaver *downloads() const { return m_downloads; }
    // The pages' questions of calls, to stand above webChat.
    QToolBar *callQuestionBar() const;

    // The browser profile and the pages, made once the site has heard of the
    // start: the engine takes a while to start up.
    void start();
    void loadBadge();
    // The badge once more, on a fresh page where the old one hangs.
    void reload();
    void contacteaza();
    // The program ends: no page loads on.
    void stop();

signals:
    // A fresh page in webChat, before it loads anything.
    void chatPageInstalled(QWebEnginePage *page);
    void chatLoaded();
    void notificationArrived(const QString &title, const QString &text);
    // A page asks for a call while the window is hidden; the question waits
    // in the call question bar.
    void callQuestionUnseen(const QString &title, const QString &text);

private:
    // A fresh badge page in place of the current one, whose renderer may be hung.
    void replaceBadgePage();
    // Where the program's pages may go, by the badge link as it stands.
    std::function<bool(const QUrl &)> navigationRule() const;
    // A fresh page for webChat, replacing (and releasing) the one it shows.
    QWebEnginePage *installChatPage();
    void onChatLoaded();
    // A chat that closed itself: the next one comes through the badge.
    void onChatClosed();
    // A window of its own for the badge service's login, shown once the
    // owner has been told to log in.
    QWebEnginePage *openLoginWindow();

    QWidget *m_window;
    std::function<QString()> m_badgeLink;
    RateLimit m_chatCloseReload;
    WebView *webChat;
    CallQuestionBar *m_callQuestion;
    BrowserProfile *m_profile = nullptr;
    DownloadSaver *m_downloads = nullptr;
    // The badge page's view, never shown. A chat window that keeps the badge
    // as its opener is painted only while the badge page has a view.
    QWebEngineView *WebBrowser1 = nullptr;
    BadgePage *m_badgePage = nullptr;
    QWebEnginePage *m_chatPage = nullptr; // the page webChat shows
};

#pragma once

#include "web/webpage.h"

#include <QElapsedTimer>
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcBadge)

// The badge page, loaded unseen. Each time it completes, its body is read
// and, when the badge allows it, its first link is clicked as a user would;
// the chat window that this opens goes where the router sends it.
class BadgePage : public WebPage {
    Q_OBJECT
public:
    // Gives the page that is to receive a window the badge opens.
    using WindowRouter = std::function<QWebEnginePage *()>;

    // `routeChat` receives the chat; `routeLogin` a window opened while the
    // owner is logged out, where logging in happens.
    BadgePage(QWebEngineProfile *profile, NavigationRule allows, WindowRouter routeChat,
              WindowRouter routeLogin, const QString &previousHtml, QObject *parent);

    // The body's HTML at the last completion; it keeps the previous page's
    // when a body could not be read.
    QString badgeHtml() const { return m_badgeHtml; }

    void loadBadge(const QUrl &url);
    // Clicks the first element, in document order, whose node name is "A".
    void clickFirstAnchor();

    // False while a load or a script has gone unanswered for seconds: the
    // page's renderer is hung, and only a fresh page gets anywhere.
    bool isResponsive() const;

    // After a crashed renderer the badge is loaded once more; a second crash
    // before a load completes waits for the user's Reload.
    void recoverOnce();

protected:
    QWebEnginePage *createWindow(WebWindowType type) override;

private:
    void onLoadFinished(bool ok);
    // Once the chat shows, the badge only waits for the next Reload. A chat in
    // a renderer of its own lets the badge's renderer go; a chat that keeps
    // the badge as its opener shares it, and the badge stays as it is.
    void restBeside(QWebEnginePage *chat);

    WindowRouter m_routeChat;
    WindowRouter m_routeLogin;
    QString m_badgeHtml;
    QUrl m_badgeUrl;
    QElapsedTimer m_waitingSince; // valid while a load or a script is unanswered
    bool m_recovered = false;
};

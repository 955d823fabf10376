#pragma once

#include <QLoggingCategory>
#include <QWebEnginePage>

#include <functional>

Q_DECLARE_LOGGING_CATEGORY(lcBadge)

// The badge page, loaded unseen. Each time it completes, its body is read
// and, when the badge allows it, its first link is clicked as a user would;
// the chat window that this opens goes where the router sends it.
class BadgePage : public QWebEnginePage
{
    Q_OBJECT
public:
    // Gives the page that is to receive the chat window.
    using ChatRouter = std::function<QWebEnginePage *()>;

    BadgePage(QWebEngineProfile *profile, ChatRouter routeChat, QObject *parent);

    // The body's HTML at the last completion; it keeps the previous page's
    // when a body could not be read.
    QString badgeHtml() const { return m_badgeHtml; }

    // Clicks the first element, in document order, whose node name is "A".
    void clickFirstAnchor();

signals:
    // The page asked for a window while the owner is logged out; that window
    // opens outside the main window.
    void loggedOutWindowOpened();

protected:
    QWebEnginePage *createWindow(WebWindowType type) override;

private:
    void onLoadFinished();

    ChatRouter m_routeChat;
    QString m_badgeHtml;
};

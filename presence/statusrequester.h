#pragma once

#include <QLoggingCategory>
#include <QObject>
#include <QUrl>

#include <deque>
#include <functional>

class QNetworkAccessManager;
class QThread;

Q_DECLARE_LOGGING_CATEGORY(lcStatus)

// Opens a status link of the owner's site (a script that changes the status
// shown there) and keeps of the answer only its status line: the site needs
// nothing but the request, the owner needs to know whether it got there.
// Redirects are followed; file:// links work too. A plain http:// link with
// no proxy in between is asked with a GET of the program's own (see
// PlainHttpGet), so that the site hears each request once; the others go
// through the network access manager.
class StatusRequester : public QObject {
    Q_OBJECT
public:
    // How a request ended, as far as the owner's site is concerned.
    enum class Outcome {
        Answered, // the site answered, whatever its status (404 and 500 too)
        Unreachable, // refused, host not found, timed out: the network may come back
        Failed, // no address, or a failure no later attempt would change
    };
    Q_ENUM(Outcome)
    // What the site said (its HTTP status and reason), or why it said nothing.
    struct Reply {
        Outcome outcome;
        int httpStatus = 0; // 0: no HTTP answer
        QString words; // "Internal Server Error", "connection refused"
    };

    // A request with no answer after answerTimeoutMs is Unreachable.
    StatusRequester(QNetworkAccessManager *network, const QString &name, int answerTimeoutMs,
                    QObject *parent);

    // A link is taken as a browser's address bar takes it ("www.example.com/on"
    // is an http address). A link that names no address sends nothing but is
    // still reported as completed, so that whoever waits for it goes on.
    // whenDone, if given, hears of this one request's end.
    void open(const QString &link, std::function<void(const Reply &)> whenDone = {});

    ~StatusRequester() override;

    QNetworkAccessManager *network() const { return m_network; }

signals:
    // Once for every open(), whatever the outcome: an error is a completion too.
    void completed(const QUrl &url, StatusRequester::Outcome outcome);

private:
    // One step: `url` is the link itself or where the site sent it.
    void request(const QUrl &link, const QUrl &url, int redirectsLeft,
                 const std::function<void(const Reply &)> &whenDone);
    // Lets the next waiting plain GET go.
    void plainGetEnded();
    void requestThroughNetwork(const QUrl &link, const QUrl &url, int redirectsLeft,
                               const std::function<void(const Reply &)> &whenDone);
    void finish(const QUrl &url, const Reply &reply,
                const std::function<void(const Reply &)> &whenDone);

    QNetworkAccessManager *m_network;
    const int m_answerTimeoutMs;
    int m_plainInFlight = 0;
    std::deque<std::function<void()>> m_plainWaiting;
    // The plain GETs run here, as the network access manager's requests run
    // in a thread of its own: the start-up request goes out while the window
    // is still being built.
    QThread *m_plainThread = nullptr;
};

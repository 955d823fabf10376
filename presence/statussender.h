#pragma once

#include "presence/presencetimings.h"
#include "presence/statusrequester.h"

#include <QObject>
#include <QTimer>

#include <functional>

class QNetworkAccessManager;

// webStart: the requests that do not end the program, each sent once or, for
// the owner's coming, again and again until the site answers at all. The
// attempts come after a first pause that doubles each time up to a longest
// one. Only the latest request is ever retried.
class StatusSender : public QObject {
    Q_OBJECT
public:
    StatusSender(QNetworkAccessManager *network, const PresenceTimings &timings, QObject *parent);

    // whenDone hears of the first attempt's end, whatever it was.
    void send(const QString &link, bool untilAnswered, std::function<void()> whenDone = {});
    // The request being retried, if any, is given up. One already on its way
    // is left to arrive: it left before whatever comes next.
    void cancelRetry();
    // A request waiting for its next attempt is tried now, with short pauses again.
    void retryNow();

    bool isRetrying() const { return m_pause.isActive(); }

signals:
    // Each attempt of the latest request, and the pause before the next
    // one (-1: none will come).
    void attemptEnded(const StatusRequester::Reply &reply, int nextTryInMs);

private:
    void attempt(std::function<void()> whenDone);

    StatusRequester *m_requester;
    QTimer m_pause;
    const int m_firstRetryMs;
    const int m_longestRetryMs;
    int m_nextPauseMs;
    QString m_link;
    bool m_untilAnswered = false;
    // Counts sends and cancels: an attempt of an older one is not retried.
    quint64 m_generation = 0;
};

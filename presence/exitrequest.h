#pragma once

#include <QObject>
#include <QTimer>

class QNetworkAccessManager;
class StatusRequester;

// The exit link, requested through webClose as the program ends. The program
// ends as soon as that request completes in any way (an answer, an error, a
// refused connection), or at the deadline for a status page that never answers.
class ExitRequest : public QObject {
    Q_OBJECT
public:
    ExitRequest(QNetworkAccessManager *network, QObject *parent);

    // How long the exit waits for the status page before it ends anyway.
    void setTimeout(int milliseconds) { m_deadline.setInterval(milliseconds); }

    // Requests `link`; an empty link ends at once. Asking again requests it
    // again but does not push the deadline back.
    void send(const QString &link);

signals:
    // Once: the program may end.
    void finished();

private:
    void finish();

    StatusRequester *webClose;
    QTimer m_deadline;
    bool m_finished = false;
};

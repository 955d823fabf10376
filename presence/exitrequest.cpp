#include "presence/exitrequest.h"

#include "presence/guardian.h"
#include "presence/presencetimings.h"
#include "presence/statusrequester.h"

namespace {

const int kExitTimeoutMs = 10000;

} // namespace

ExitRequest::ExitRequest(QNetworkAccessManager *network, QObject *parent)
    : QObject(parent), webClose(new StatusRequester(network, QStringLiteral("webClose"),
                                    PresenceTimings().answerTimeoutMs, this))
{
    // Any end of the request, an error included, ends the program.
    connect(webClose, &StatusRequester::completed, this, &ExitRequest::finish);
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(kExitTimeoutMs);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        qCDebug(lcStatus) << "exit status page did not answer in time";
        finish();
    });
}

void ExitRequest::send(const QString &link)
{
    Guardian *guardian = Guardian::ofThisProgram();
    // A guardian that took the program for hung (a logout during a slow
    // start) has sent it already: the site hears it once.
    if (link.isEmpty() || (guardian && guardian->hasSentExitLink())) {
        finish();
        return;
    }
    // Should the program be killed while the request is on its way, the
    // guardian sends it again: a second "offline" beats none.
    if (guardian)
        guardian->exitSending(link);
    webClose->open(link);
    if (!m_deadline.isActive())
        m_deadline.start();
}

void ExitRequest::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_deadline.stop();
    if (Guardian *guardian = Guardian::ofThisProgram())
        guardian->exitDone();
    emit finished();
}

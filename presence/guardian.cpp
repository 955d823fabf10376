#include "presence/guardian.h"

#include "presence/exitrequest.h"
#include "presence/guardianprotocol.h"
#include "presence/statusrequester.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>

void Guardian::setOwedExitLink(const QString &link)
{
    if (link == m_owed)
        return;
    // A guardian that is gone cannot be told; the program runs on unguarded.
    if (!tell(GuardianProtocol::message(link.toStdString())))
        qCDebug(lcStatus) << "the guardian is gone: an end without Exit goes unreported";
    m_owed = link;
}

// The program's own request, with the proxy of the environment it inherited.
int Guardian::sendExitLink(int argc, char **argv, const QString &link)
{
    QCoreApplication app(argc, argv);
    QNetworkAccessManager network;
    ExitRequest request(&network, nullptr);
    QObject::connect(&request, &ExitRequest::finished, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    request.send(link);
    qCDebug(lcStatus).noquote() << "guardian: the program ended owing" << link;
    return app.exec();
}

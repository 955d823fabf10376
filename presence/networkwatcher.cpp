#include "presence/networkwatcher.h"

#include "presence/statusrequester.h"

#include <QNetworkInformation>

namespace {

bool isConnected(QNetworkInformation::Reachability reachability)
{
    return reachability != QNetworkInformation::Reachability::Unknown
            && reachability != QNetworkInformation::Reachability::Disconnected;
}

} // namespace

NetworkWatcher::NetworkWatcher(QObject *parent) : QObject(parent)
{
    if (!QNetworkInformation::loadBackendByFeatures(
                QNetworkInformation::Feature::Reachability)) {
        qCDebug(lcStatus) << "no network information here; retries follow their timer alone";
        return;
    }
    QNetworkInformation *information = QNetworkInformation::instance();
    qCDebug(lcStatus).noquote() << "network information from" << information->backendName();
    // Every change to a connected state counts: a network that goes from a
    // local one to the internet may now reach the site.
    connect(information, &QNetworkInformation::reachabilityChanged, this,
            [this](QNetworkInformation::Reachability reachability) {
                if (isConnected(reachability))
                    emit reachable();
            });
}

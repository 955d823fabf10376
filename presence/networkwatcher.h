#pragma once

#include <QObject>

// Tells when the computer gets a network back, as far as the platform's
// network information (Qt's QNetworkInformation: NetworkManager or GLib on
// Linux, the Network List Manager on Windows) knows. Without a backend it
// never tells, and retries go by their timer alone.
class NetworkWatcher : public QObject {
    Q_OBJECT
public:
    explicit NetworkWatcher(QObject *parent);

signals:
    void reachable();
};

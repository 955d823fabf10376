#pragma once

#include "presence/presencerules.h"
#include "presence/presencetimings.h"
#include "presence/sitestatus.h"
#include "presence/statusrequester.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class Guardian;
class IdleWatcher;
class LockWatcher;
class NetworkWatcher;
class QNetworkAccessManager;
class SleepWatcher;
class StatusSender;

// The status the owner's site shows: it follows the owner's choice of Online
// or Offline, and hides a chosen Online while the computer sleeps and, with
// "Away when idle", while the screen is locked or the owner idle. The
// requests go through webStart; the Exit request is the main window's.
class Presence : public QObject {
    Q_OBJECT
public:
    // The links as they stand when a request is made; the owner may change
    // them at any time.
    struct Links {
        std::function<QString()> start;
        std::function<QString()> close;
    };

    Presence(QNetworkAccessManager *network, Links links, const PresenceTimings &timings,
             QObject *parent);

    // The owner's links are read at each request; until the window has read
    // the settings file, they may be those of a first early reading.
    void setLinks(Links links) { m_links = std::move(links); }
    // The owner changed the links: the guardian hears of a new exit link at once.
    void linksChanged() { tellGuardian(); }
    // Kept told of the exit link owed, should the program end without Exit.
    void setGuardian(Guardian *guardian);
    QNetworkAccessManager *network() const { return m_networkAccess; }

    // The start-up request, tried until the site answers.
    void start();
    // The "Online" check mark as it stands after a click of Online or Offline.
    void onlineClicked(bool onlineChecked);
    void offlineClicked(bool onlineChecked);
    // Exit sends the exit link: nothing older may reach the site after it.
    void exiting();
    void setAwayWhenIdle(bool on);
    // The computer has a network again: a request waiting for its next
    // attempt goes now. The platform's network watcher calls it.
    void networkBack();

    const SiteStatus &siteStatus() const { return m_site; }

signals:
    void siteStatusChanged(const SiteStatus &status);
    // The owner's coming online has not reached the site for a while.
    void siteUnheard();

private:
    void watch();
    // Runs the rules' step; true when a request went out, and whenSent then
    // hears when its first attempt has ended.
    bool handle(PresenceEvent event, std::function<void()> whenSent = {});
    void noteRequest(PresenceEvent event, StatusLink link, bool sent);
    void attemptEnded(const StatusRequester::Reply &reply, int nextTryInMs);
    void siteChanged();
    void scheduleUnheardMessage();
    void tellGuardian();

    Links m_links;
    PresenceTimings m_timings;
    PresenceRules m_rules;
    SiteStatus m_site;
    QTimer m_unheard;
    QNetworkAccessManager *m_networkAccess;
    StatusSender *m_sender;
    bool m_awayWhenIdle = false;
    SleepWatcher *m_sleep = nullptr;
    LockWatcher *m_lock = nullptr;
    IdleWatcher *m_idle = nullptr;
    NetworkWatcher *m_network = nullptr;
    Guardian *m_guardian = nullptr;
};
